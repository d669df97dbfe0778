"""Input as a person gives it, and what the X server and window manager know of windows."""

import re
import subprocess

from .wait import wait_until


class X11:
    def __init__(self, env):
        self.env = env
        self._bound = {}  # keysym name -> keycode we bound it to
        self._spare = None
        self._to_bind = []

    def run(self, *argv, timeout=20, check=True):
        done = subprocess.run(argv, env=self.env, capture_output=True, text=True, timeout=timeout)
        if check and done.returncode != 0:
            raise RuntimeError(f"{argv[0]} failed ({done.returncode}): {done.stderr.strip()}")
        return done.stdout

    def xdotool(self, *args, check=True):
        return self.run("xdotool", *args, check=check)

    # --- pointer -------------------------------------------------------------------------

    def pointer(self):
        out = self.xdotool("getmouselocation", "--shell")
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(values["X"]), int(values["Y"])

    def move(self, x, y):
        # "mousemove --sync" hangs when the pointer is already there; poll instead.
        self.xdotool("mousemove", str(x), str(y))
        wait_until(lambda: self.pointer() == (x, y), 10, f"the pointer to reach {x},{y}")

    def click(self, x, y, button=1, repeat=1):
        self.move(x, y)
        args = ["click"]
        if repeat > 1:
            args += ["--repeat", str(repeat), "--delay", "60"]
        self.xdotool(*args, str(button))

    # --- keyboard ------------------------------------------------------------------------

    def key(self, *keys):
        """Presses and releases each key (xdotool names: Return, Tab, ctrl+a, alt+F4 …)."""
        self.xdotool("key", "--delay", "30", *keys)

    def type_text(self, text, arrived):
        """Types `text` key by key, the way a person with an input method would.

        Keysyms missing from the keyboard map (Chinese characters, full-width punctuation) are
        first bound to spare keycodes; a temporary mapping that is undone before the program
        reads it loses characters, so the binding stays until `arrived()` says the text is in.
        """
        pending = list(text)
        while pending:
            batch = []
            for ch in pending:
                if not self._ensure_bound(keysym_name(ch), batch):
                    break
                batch.append(ch)
            if not batch:
                raise RuntimeError("no spare keycode to bind a character to")
            self._flush_bindings()
            self.key(*[keysym_name(ch) for ch in batch])
            pending = pending[len(batch):]
            typed = text[: len(text) - len(pending)]
            wait_until(lambda: arrived(typed), 15, f"the typed text {typed!r} to arrive")

    def _keymap(self):
        table = {}
        for line in self.run("xmodmap", "-pke").splitlines():
            m = re.match(r"keycode\s+(\d+)\s*=\s*(.*)", line)
            if m:
                table[int(m.group(1))] = m.group(2).split()
        return table

    def _ensure_bound(self, keysym, batch):
        if keysym in self._bound or len(keysym) == 1 or keysym == "space":
            return True  # letters, digits and the space bar are on every keyboard
        if self._spare is None:
            # Keycodes that no key uses, clear of the low ones a real keyboard has.
            self._spare = [code for code, syms in sorted(self._keymap().items())
                           if not syms and code > 150]
        if not self._spare:
            # Reuse keycodes of keysyms bound earlier that the current batch does not need.
            in_batch = {keysym_name(ch) for ch in batch}
            for sym, code in list(self._bound.items()):
                if sym not in in_batch:
                    del self._bound[sym]
                    self._spare.append(code)
            if not self._spare:
                return False
        code = self._spare.pop(0)
        self._to_bind.append(f"keycode {code} = {keysym} {keysym}")
        self._bound[keysym] = code
        return True

    def _flush_bindings(self):
        if self._to_bind:
            argv = ["xmodmap"]
            for line in self._to_bind:
                argv += ["-e", line]
            self.run(*argv)
            self._to_bind = []

    # --- windows -------------------------------------------------------------------------

    def windows_of(self, pid):
        """Visible top-level windows of process `pid`."""
        out = self.xdotool("search", "--onlyvisible", "--pid", str(pid), check=False)
        return [int(w) for w in out.split()]

    def active_window(self):
        out = self.xdotool("getactivewindow", check=False).strip()
        return int(out) if out else None

    def prop(self, window, name):
        return self.run("xprop", "-id", str(window), name, check=False)

    def title(self, window):
        """The title the window manager shows (xprop prints it as UTF-8 in a UTF-8 locale)."""
        out = self.run("xprop", "-notype", "-id", str(window), "_NET_WM_NAME", check=False)
        m = re.search(r'= "(.*)"\s*$', out)
        return m.group(1) if m else None

    def frame_extents(self, window):
        """(left, right, top, bottom) the window manager's frame adds; zeros when undecorated."""
        out = self.prop(window, "_NET_FRAME_EXTENTS")
        numbers = [int(n) for n in re.findall(r"\d+", out.split("=", 1)[-1])] if "=" in out else []
        return tuple(numbers) if len(numbers) == 4 else (0, 0, 0, 0)

    def geometry(self, window):
        """(x, y, width, height) of the window's client area on the screen."""
        info = self.run("xwininfo", "-id", str(window))
        return (_field(info, "Absolute upper-left X"), _field(info, "Absolute upper-left Y"),
                _field(info, "Width"), _field(info, "Height"))

    def outer_geometry(self, window):
        """The window with the frame the window manager adds."""
        x, y, w, h = self.geometry(window)
        left, right, top, bottom = self.frame_extents(window)
        return x - left, y - top, w + left + right, h + top + bottom

    def wm_close_button(self, window):
        """Centre of the close button the window manager draws in `window`'s title bar.

        The window manager draws each title-bar button as a window of its own; with the title
        layout ending in C, the close button is the rightmost button of the title bar.
        """
        frame = self._frame_of(window)
        tree = self.run("xwininfo", "-tree", "-id", hex(frame))
        x, y, w, h = self.geometry(window)
        left, right, top, bottom = self.frame_extents(window)
        frame_x, frame_y = x - left, y - top
        best = None
        # Children of the frame's title bar are listed with geometry relative to their parent;
        # absolute positions come from xwininfo on each small square-ish window.
        for wid in re.findall(r"^\s+(0x[0-9a-f]+)", tree, re.M):
            info = self.run("xwininfo", "-id", wid, check=False)
            ax = _field(info, "Absolute upper-left X")
            ay = _field(info, "Absolute upper-left Y")
            ww = _field(info, "Width")
            wh = _field(info, "Height")
            mapped = "IsViewable" in info
            if None in (ax, ay, ww, wh) or not mapped:
                continue
            in_title = frame_y <= ay and ay + wh <= frame_y + top
            buttonish = 6 <= ww <= 40 and 6 <= wh <= 40
            if in_title and buttonish and frame_x <= ax < x + w + right:
                if best is None or ax > best[0]:
                    best = (ax, ay, ww, wh)
        if best is None:
            raise AssertionError("no close button in the window manager's title bar")
        return best[0] + best[2] // 2, best[1] + best[3] // 2

    def _frame_of(self, window):
        """The window manager's frame: the child of the root that holds `window`."""
        current = window
        while True:
            info = self.run("xwininfo", "-children", "-id", hex(current))
            m = re.search(r"Parent window id: (0x[0-9a-f]+)(.*)", info)
            root = re.search(r"Root window id: (0x[0-9a-f]+)", info)
            if not m or not root:
                return current
            parent = int(m.group(1), 16)
            if parent == int(root.group(1), 16):
                return current
            current = parent

    def screenshot(self, path, window="root"):
        self.run("import", "-window", str(window), path, timeout=30)
        return path


def _field(info, label):
    m = re.search(re.escape(label) + r":\s+(-?\d+)", info)
    return int(m.group(1)) if m else None


def keysym_name(ch):
    """The keysym that types `ch`: its Unicode keysym, which X maps to Latin-1 below U+0100."""
    cp = ord(ch)
    if ch == " ":
        return "space"
    if cp < 0x100 and ch.isalnum() and ch.isascii():
        return ch
    return f"U{cp:04X}"
