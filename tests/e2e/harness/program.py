"""The real program, started as a user starts it: from the folder that holds its smra.mdb."""

import os
import re
import shutil
import stat
import subprocess

import pyatspi

from . import a11y
from .desktop import stop_process_group
from .wait import WaitTimeout, wait_until

APP_TITLE = "Somnara大全"
WINDOW_CAPTION = "Somnara大全 2.0"

# How an assistive tool recognises each control the window's design names. Kept in one place
# so that a change of layout or look touches one table.
CONTROLS = {
    "PageControl1": lambda n: a11y.role(n) == pyatspi.ROLE_PAGE_TAB and a11y.name(n) == "电脑解梦",
    "Edit1": lambda n: (a11y.role(n) == pyatspi.ROLE_TEXT
                        and not a11y.has_state(n, pyatspi.STATE_MULTI_LINE)
                        and a11y.has_state(n, pyatspi.STATE_EDITABLE)),
    "Button1": lambda n: a11y.role(n) == pyatspi.ROLE_PUSH_BUTTON and a11y.name(n) == "开始解梦",
    "DBMemo1": lambda n: (a11y.role(n) == pyatspi.ROLE_TEXT
                          and a11y.has_state(n, pyatspi.STATE_MULTI_LINE)),
    "CheckBox1": lambda n: a11y.role(n) == pyatspi.ROLE_CHECK_BOX and a11y.name(n) == "模糊查询",
    "Label2": lambda n: (a11y.role(n) == pyatspi.ROLE_LABEL
                         and a11y.name(n) == "Quorvel软件 | 获取更新版本"),
    "Label4": lambda n: (a11y.role(n) == pyatspi.ROLE_LABEL
                         and a11y.name(n).startswith("程序定制 | 咨询 QQ：")),
}

BOX_ROLES = (pyatspi.ROLE_ALERT, pyatspi.ROLE_DIALOG)


class Program:
    """One run of the program in its own folder, with its own runtime folder and home."""

    def __init__(self, suite, name, database="built", runtime_dir=None, lang="zh_CN.UTF-8",
                 wrapper=(), binary=None):
        """`database`: "built" for a copy of the built dictionary, a path to copy, a function
        that writes the file at the path it is given, or None for no file at all."""
        self.suite = suite
        self.x = suite.x
        self.base = suite.new_folder(name)
        self.folder = self._dir("app", 0o755)
        self.home = self._dir("home", 0o700)
        self.runtime = runtime_dir or self._dir("runtime", 0o700)
        self.binary = binary or suite.program
        self.wrapper = list(wrapper)
        self.proc = None
        self._pid = None
        self.log_path = os.path.join(self.base, "program.log")
        self.browser_log = os.path.join(self.base, "browser.log")
        self.fallback_log = os.path.join(self.base, "browser-variable.log")
        if database == "built":
            shutil.copyfile(suite.database, self.database_path)
        elif callable(database):
            database(self.database_path)
        elif database is not None:
            shutil.copyfile(database, self.database_path)
        self.env = self._environment(lang)
        self._register_browser()

    @property
    def database_path(self):
        return os.path.join(self.folder, "smra.mdb")

    def _dir(self, name, mode):
        path = os.path.join(self.base, name)
        os.makedirs(path, mode=mode)
        os.chmod(path, mode)
        return path

    def _environment(self, lang):
        env = self.suite.desktop.base_env()
        env.update({
            "HOME": self.home,
            "XDG_RUNTIME_DIR": self.runtime,
            "XDG_CONFIG_HOME": os.path.join(self.home, ".config"),
            "XDG_CACHE_HOME": os.path.join(self.home, ".cache"),
            "XDG_DATA_HOME": os.path.join(self.home, ".local", "share"),
            "LANG": lang,
            "QT_QPA_PLATFORM": "xcb",
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
            # Should the system's handler for web addresses be bypassed, this decoy says so.
            "BROWSER": self._script("browser-variable", self.fallback_log),
        })
        return env

    def _script(self, name, log):
        path = os.path.join(self.base, name)
        with open(path, "w") as f:
            f.write("#!/bin/sh\n"
                    f"printf '%s\\n' \"$*\" >> '{log}'\n")
        os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR | stat.S_IXGRP | stat.S_IXOTH)
        return path

    def _register_browser(self):
        """A stand-in browser, registered as the user's default handler for web addresses."""
        script = self._script("standin-browser", self.browser_log)
        apps = os.path.join(self.env["XDG_DATA_HOME"], "applications")
        os.makedirs(apps)
        os.makedirs(self.env["XDG_CONFIG_HOME"])
        with open(os.path.join(apps, "standin-browser.desktop"), "w") as f:
            f.write("[Desktop Entry]\nType=Application\nName=Stand-in browser\n"
                    f"Exec={script} %u\n"
                    "MimeType=x-scheme-handler/http;x-scheme-handler/https;text/html;\n")
        for scheme in ("http", "https"):
            subprocess.run(["xdg-mime", "default", "standin-browser.desktop",
                            f"x-scheme-handler/{scheme}"], env=self.env, check=True,
                           capture_output=True, timeout=20)

    def wait_browser_calls(self, count, timeout=15):
        """Waits until the stand-in browser has been started `count` times; returns its calls."""
        return wait_until(lambda: len(self.browser_calls()) >= count and self.browser_calls(),
                          timeout, f"the browser to be started {count} time(s)")

    def browser_calls(self):
        return _lines(self.browser_log)

    def fallback_browser_calls(self):
        return _lines(self.fallback_log)

    # --- life ----------------------------------------------------------------------------

    def start(self):
        log = open(self.log_path, "ab")
        self.proc = subprocess.Popen(self.wrapper + [self.binary], cwd=self.folder, env=self.env,
                                     stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                     start_new_session=True)
        log.close()
        self.suite.running.append(self)
        return self

    @property
    def pid(self):
        """The program's own process, also when it runs under a wrapper such as strace."""
        if not self.wrapper:
            return self.proc.pid
        if self._pid is None:
            self._pid = wait_until(self._wrapped_program, 20, "the wrapped program to start")
        return self._pid

    def _wrapped_program(self):
        target = os.path.realpath(self.binary)
        for task in os.listdir(f"/proc/{self.proc.pid}/task"):
            with open(f"/proc/{self.proc.pid}/task/{task}/children") as f:
                for child in f.read().split():
                    try:
                        if os.path.realpath(f"/proc/{child}/exe") == target:
                            return int(child)
                    except OSError:
                        continue
        return None

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def wait_exit(self, timeout=15):
        try:
            return self.proc.wait(timeout=timeout * self.suite.scale)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"the program did not end within {timeout} s") from None

    def stop(self):
        if self.proc is not None:
            stop_process_group(self.proc)
        if self in self.suite.running:
            self.suite.running.remove(self)

    def log(self):
        try:
            with open(self.log_path, encoding="utf-8", errors="replace") as f:
                return f.read()
        except FileNotFoundError:
            return ""

    # --- what the program shows ------------------------------------------------------------

    def app(self, timeout=20):
        def registered():
            if not self.running():
                raise AssertionError(f"the program ended (code {self.proc.returncode})")
            return a11y.application(self.pid)
        return wait_until(registered, timeout, "the program to appear to assistive tools")

    def top_levels(self):
        app = a11y.application(self.pid)
        return a11y.top_levels(app) if app is not None else []

    def main_window(self, timeout=20):
        app = self.app(timeout)

        def shown():
            for window in a11y.top_levels(app):
                if a11y.name(window) == WINDOW_CAPTION and a11y.find(window, CONTROLS["Edit1"]):
                    return MainWindow(self, window)
            return None
        return wait_until(shown, timeout, "the main window to show")

    def box(self, caption, timeout=20):
        """Waits for a message box captioned `caption`; returns it."""
        app = self.app(timeout)

        def shown():
            for window in a11y.top_levels(app):
                if a11y.role(window) in BOX_ROLES and a11y.name(window) == caption:
                    return MessageBox(self, window)
            return None
        box = wait_until(shown, timeout, f"a message box captioned {caption!r}")
        box.wait_ready()
        return box

    def boxes(self):
        return [w for w in self.top_levels() if a11y.role(w) in BOX_ROLES]


class MainWindow:
    def __init__(self, program, node):
        self.program = program
        self.x = program.x
        self.node = node
        self._controls = {}

    def control(self, name):
        if name not in self._controls:
            node = a11y.find(self.node, CONTROLS[name])
            if node is None:
                raise AssertionError(f"{name} is not in the window")
            self._controls[name] = node
        return self._controls[name]

    def text(self, name):
        return normalise(a11y.text(self.control(name)))

    def memo(self):
        return self.text("DBMemo1")

    def keyword(self):
        return self.text("Edit1")

    def checked(self):
        return a11y.has_state(self.control("CheckBox1"), pyatspi.STATE_CHECKED)

    def focused(self, name):
        return a11y.has_state(self.control(name), pyatspi.STATE_FOCUSED)

    def click(self, name, button=1, repeat=1):
        x, y = a11y.centre(self.control(name))
        self.x.click(x, y, button, repeat)

    def wait_active(self, timeout=15):
        """Waits until the window is placed and has the keyboard; returns its X window."""
        return wait_placed_and_active(self.program, self.node, WINDOW_CAPTION, False, timeout,
                                      "the main window")

    def title_bar(self):
        """The title bar the skin draws inside the window, or None under the system's frame."""
        return a11y.title_bar(self.node)

    def click_title_bar_button(self, name):
        self.x.click(*a11y.centre(a11y.title_bar_button(self.title_bar(), name)))

    def client_rect(self):
        """The client area: what the window holds inside any frame the skin draws."""
        bar = self.title_bar()
        parts = [a11y.extents(c) for c in self.node if c is not None and c != bar and a11y.showing(c)]
        left = min(p[0] for p in parts)
        top = min(p[1] for p in parts)
        right = max(p[0] + p[2] for p in parts)
        bottom = max(p[1] + p[3] for p in parts)
        return left, top, right - left, bottom - top

    def close_button(self, x_window):
        """Where a person clicks to close the window: the skin's close button, or the window
        manager's when the system draws the frame."""
        bar = self.title_bar()
        if bar is not None:
            return a11y.centre(a11y.title_bar_button(bar, "Close"))
        return self.x.wm_close_button(x_window)

    def enter_keyword(self, keyword):
        """Replaces the keyword the way a person does: click into the box, select all, type."""
        self.click("Edit1")
        wait_until(lambda: self.focused("Edit1"), 10, "the keyword box to take the focus")
        if self.keyword():
            self._select_all_keyword()
            self.x.key("BackSpace")
            wait_until(lambda: self.keyword() == "", 10, "the keyword box to empty")
        if keyword:
            self.x.type_text(keyword, lambda typed: self.keyword() == typed)

    def _select_all_keyword(self):
        text = self.control("Edit1").queryText()

        def all_selected():
            if text.getNSelections() != 1:
                return False
            start, end = text.getSelection(0)
            return (start, end) == (0, text.characterCount)
        # The selection is what counts: it is checked, and Ctrl+A given once more should the
        # first not have taken (seen once, on a loaded machine).
        for attempt in range(2):
            self.x.key("ctrl+a")
            try:
                return wait_until(all_selected, 5, "Ctrl+A to select the keyword")
            except AssertionError:
                if attempt:
                    raise
                print("  note: Ctrl+A had no effect; pressed again")

    def choose_from_menu(self, point, caption):
        """Opens the context menu at `point` and chooses `caption` with the keyboard."""
        with a11y.EventLog() as log:
            self.x.click(*point, button=3)
            for step in range(1, 7):
                self.x.key("Down")
                log.wait_for(lambda e: len(log.focused_items(self.program.pid)) >= step, 10,
                             "a menu item to take the focus")
                if plain_caption(log.focused_items(self.program.pid)[-1]) == caption:
                    self.x.key("Return")
                    return
        raise AssertionError(f"the menu has no item {caption!r}")

    def set_containment(self, ticked):
        """Ticks or clears 模糊查询 with a click, as needed."""
        if self.checked() != ticked:
            self.click("CheckBox1")
            wait_until(lambda: self.checked() == ticked, 10, "模糊查询 to change")

    def look_up(self, keyword, containment=None, trigger="Return"):
        """Starts a lookup of `keyword`: by Enter in the keyword box, or by the button."""
        if containment is not None:
            self.set_containment(containment)
        self.enter_keyword(keyword)
        if trigger == "Return":
            self.x.key("Return")
        else:
            self.click("Button1")

    def wait_memo(self, expected, timeout=15):
        wait_until(lambda: self.memo() == expected, timeout, f"the memo to show {expected[:40]!r}")


class MessageBox:
    def __init__(self, program, node):
        self.program = program
        self.node = node

    @property
    def caption(self):
        return a11y.name(self.node)

    def texts(self):
        return a11y.labels(self.node)

    def own_buttons(self):
        """The box's buttons, not those of a title bar the skin draws."""
        bar = a11y.title_bar(self.node)
        skip = set(a11y.walk(bar)) if bar is not None else set()
        return [b for b in a11y.buttons(self.node) if b not in skip]

    def buttons(self):
        return [a11y.name(b) for b in self.own_buttons()]

    def wait_ready(self, timeout=15):
        """Waits until the box is placed and has the keyboard."""
        self.x_window = wait_placed_and_active(self.program, self.node, self.caption, True,
                                               timeout, f"the box {self.caption!r}")

    def has_icon(self):
        return bool(a11y.images(self.node))

    def press(self, button="OK"):
        """Clicks the button captioned `button`, as a person does."""
        for node in self.own_buttons():
            if a11y.name(node) == button:
                x, y = a11y.centre(node)
                self.program.x.click(x, y)
                return
        raise AssertionError(f"no button {button!r} in the box; it has {self.buttons()}")

    def wait_closed(self, timeout=15):
        wait_until(lambda: not a11y.showing(self.node) or self.node not in
                   self.program.top_levels(), timeout, f"the box {self.caption!r} to close")


def wait_placed_and_active(program, node, title, exact, timeout, what):
    """Waits until the window `node` is active, and the program knows where it is: the place
    it reports to assistive tools, from which clicks are aimed, lies on its X window."""
    x = program.x
    seen = {}

    def ready():
        # Asked afresh each time: a window that changes its frame gets a new X window.
        active = x.active_window()
        seen["active"] = (active, active and x.title(active))
        if active is None or active not in x.windows_of(program.pid):
            return None
        shown = x.title(active) or ""
        if not (shown == title or (not exact and shown.startswith(title))):
            return None
        seen["reported"], seen["actual"] = a11y.extents(node), x.geometry(active)
        return active if _inside(seen["reported"], seen["actual"]) else None
    try:
        return wait_until(ready, timeout, f"{what} to be placed and active")
    except WaitTimeout as error:
        raise WaitTimeout(f"{error}; last seen: active window {seen.get('active')}, the program "
                          f"puts the window at {seen.get('reported')}, the X server at "
                          f"{seen.get('actual')}") from None


def plain_caption(caption):
    """A menu caption without the accelerator the menu may have appended ("退出程序(Z)")."""
    return re.sub(r"\(&?[0-9A-Z]\)$", "", caption)


def _inside(inner, outer):
    ix, iy, iw, ih = inner
    ox, oy, ow, oh = outer
    return ox <= ix and oy <= iy and ix + iw <= ox + ow and iy + ih <= oy + oh


def normalise(value):
    """Line ends as a person sees them: a line break is a line break."""
    return value.replace("\r\n", "\n").replace("\r", "\n").replace("\u2029", "\n")


def _lines(path):
    try:
        with open(path, encoding="utf-8") as f:
            return [line.rstrip("\n") for line in f]
    except FileNotFoundError:
        return []
