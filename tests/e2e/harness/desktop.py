"""A private desktop for the suite: X server, D-Bus session, accessibility bus, window manager.

Nothing of the caller's desktop is used: the display is chosen by the X server itself
(-displayfd), every service gets its own runtime folder, and everything started here is
stopped by its process id when the suite ends, whatever happened in between.
"""

import os
import shutil
import signal
import subprocess
import tempfile
import time

from .wait import wait_until

# Openbox's stock configuration: Alt+F4 closes, the title bar ends in the close button (NLIMC).
OPENBOX_RC = "/etc/xdg/openbox/rc.xml"

SCREEN = (1024, 768)


class Desktop:
    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="somnara-e2e-")
        self.runtime = self._folder("runtime")
        self.home = self._folder("home")
        self.display = None
        self.bus_address = None
        self._started = []  # (name, Popen), in start order

    def _folder(self, name):
        path = os.path.join(self.root, name)
        os.makedirs(path, mode=0o700)
        return path

    def base_env(self):
        """The environment every process on this desktop gets; nothing of the caller's leaks."""
        env = {
            "PATH": "/usr/local/bin:/usr/bin:/bin",
            "HOME": self.home,
            "XDG_RUNTIME_DIR": self.runtime,
            "XDG_CONFIG_HOME": os.path.join(self.home, ".config"),
            "XDG_CACHE_HOME": os.path.join(self.home, ".cache"),
            "XDG_DATA_HOME": os.path.join(self.home, ".local", "share"),
            "LANG": "C.UTF-8",
        }
        if self.display:
            env["DISPLAY"] = self.display
        if self.bus_address:
            env["DBUS_SESSION_BUS_ADDRESS"] = self.bus_address
        return env

    def _spawn(self, name, argv, pass_fd=None, env=None):
        log = open(os.path.join(self.root, name + ".log"), "wb")
        proc = subprocess.Popen(
            argv,
            stdin=subprocess.DEVNULL,
            stdout=log if pass_fd is None else log,
            stderr=log,
            env=env or self.base_env(),
            pass_fds=(pass_fd,) if pass_fd is not None else (),
            start_new_session=True,
        )
        log.close()
        self._started.append((name, proc))
        return proc

    def _read_line_from(self, name, proc, fd, timeout):
        """Reads one line that a service writes to `fd` once it is ready."""
        data = b""
        deadline = time.monotonic() + timeout
        os.set_blocking(fd, False)
        while not data.endswith(b"\n"):
            if proc.poll() is not None:
                raise RuntimeError(f"{name} ended early; see {self.root}/{name}.log")
            if time.monotonic() > deadline:
                raise TimeoutError(f"{name} did not report ready within {timeout} s")
            try:
                chunk = os.read(fd, 256)
            except BlockingIOError:
                chunk = None
            if chunk:
                data += chunk
            else:
                time.sleep(0.02)
        os.close(fd)
        return data.decode().strip()

    def start(self):
        try:
            self._start_x()
            self._start_bus()
            self._start_accessibility()
            self._start_window_manager()
        except BaseException:
            self.stop()
            raise
        return self

    def _start_x(self):
        read_end, write_end = os.pipe()
        proc = self._spawn(
            "xvfb",
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{SCREEN[0]}x{SCREEN[1]}x24",
             "-nolisten", "tcp", "-dpi", "96", "-noreset"],
            pass_fd=write_end,
        )
        os.close(write_end)
        self.display = ":" + self._read_line_from("xvfb", proc, read_end, 20)

    def _start_bus(self):
        read_end, write_end = os.pipe()
        proc = self._spawn(
            "dbus",
            ["dbus-daemon", "--session", "--nofork", "--nopidfile",
             f"--address=unix:path={self.runtime}/bus", f"--print-address={write_end}"],
            pass_fd=write_end,
        )
        os.close(write_end)
        self.bus_address = self._read_line_from("dbus", proc, read_end, 20)

    def _start_accessibility(self):
        self._spawn("at-spi-bus", ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
        env = self.base_env()

        def bus_ready():
            done = subprocess.run(
                ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                 "org.a11y.Bus.GetAddress"], env=env, capture_output=True, timeout=10)
            return done.returncode == 0 and b"unix:" in done.stdout

        wait_until(bus_ready, 20, "the accessibility bus to start")

    def _start_window_manager(self):
        self._spawn("openbox", ["openbox", "--sm-disable", "--config-file", OPENBOX_RC])
        env = self.base_env()

        def managed():
            done = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=env,
                                  capture_output=True, text=True, timeout=10)
            return "window id" in done.stdout

        wait_until(managed, 20, "the window manager to start")

    def stop(self):
        """Stops every service started here, newest first, each by its own process group."""
        for name, proc in reversed(self._started):
            stop_process_group(proc)
        self._started.clear()
        if os.environ.get("SOMNARA_E2E_KEEP"):
            print(f"desktop files kept in {self.root}")
        else:
            shutil.rmtree(self.root, ignore_errors=True)


def stop_process_group(proc, grace=5.0):
    """Ends `proc` and what it started (it leads its own session), politely first."""
    if proc.poll() is None:
        _signal_group(proc.pid, signal.SIGTERM)
        try:
            proc.wait(timeout=grace)
        except subprocess.TimeoutExpired:
            pass
    # Children (an activated service, a browser a program opened) may outlive their leader.
    _signal_group(proc.pid, signal.SIGKILL)
    if proc.poll() is None:
        proc.wait(timeout=grace)


def _signal_group(pgid, sig):
    try:
        os.killpg(pgid, sig)
    except ProcessLookupError:
        pass
