"""Reading a running program as an assistive tool does, over AT-SPI.

Import this only once the private desktop's D-Bus address is in the environment: the
accessibility library connects on import.
"""

import pyatspi
from gi.repository import GLib

from .wait import wait_until

ROLE = pyatspi  # role constants live on the module: ROLE.ROLE_TEXT …

_registry_uncached = False


def desktop():
    global _registry_uncached
    root = pyatspi.Registry.getDesktop(0)
    if not _registry_uncached:
        # Values are read live: a cached name or state could lag behind the window.
        root.setCacheMask(pyatspi.cache.NONE)
        _registry_uncached = True
    return root


def application(pid):
    """The accessible application of process `pid`, or None while it has not registered."""
    for app in desktop():
        try:
            if app is not None and app.get_process_id() == pid:
                app.setCacheMask(pyatspi.cache.NONE)
                return app
        except Exception:  # an application that just ended
            continue
    return None


def walk(node):
    yield node
    try:
        children = list(node)
    except Exception:
        return
    for child in children:
        if child is not None:
            yield from walk(child)


def role(node):
    return node.getRole()


def name(node):
    return node.name or ""


def states(node):
    return set(node.getState().getStates())


def has_state(node, state):
    return node.getState().contains(state)


def showing(node):
    return has_state(node, pyatspi.STATE_SHOWING)


def text(node):
    """The whole text of a text control, read afresh."""
    t = node.queryText()
    return t.getText(0, -1)


def extents(node):
    """(x, y, width, height) on the screen."""
    e = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return e.x, e.y, e.width, e.height


def centre(node):
    x, y, w, h = extents(node)
    return x + w // 2, y + h // 2


def find_all(root, predicate):
    return [node for node in walk(root) if _safe(predicate, node)]


def find(root, predicate):
    for node in walk(root):
        if _safe(predicate, node):
            return node
    return None


def _safe(predicate, node):
    try:
        return predicate(node)
    except Exception:
        return False


def top_levels(app):
    """The application's windows that are on screen: main window, message boxes."""
    return [w for w in app if w is not None and _safe(showing, w)]


def labels(window):
    """The texts a person reads in a window (its labels), in tree order."""
    return [name(n) for n in walk(window)
            if _safe(lambda n: role(n) == pyatspi.ROLE_LABEL and showing(n), n) and name(n)]


def buttons(window):
    return [n for n in walk(window)
            if _safe(lambda n: role(n) == pyatspi.ROLE_PUSH_BUTTON and showing(n), n)]


def images(window):
    return [n for n in walk(window)
            if _safe(lambda n: role(n) in (pyatspi.ROLE_IMAGE, pyatspi.ROLE_ICON) and showing(n), n)]


def title_bar(window):
    """The title bar a skin draws inside a frameless window: the child that carries the
    window's caption and the title-bar buttons. None when the system draws the frame."""
    for child in window:
        if child is None or name(child) != name(window):
            continue
        if any(_safe(lambda n: role(n) == pyatspi.ROLE_PUSH_BUTTON and name(n) == "Close", n)
               for n in walk(child)):
            return child
    return None


def title_bar_button(bar, button):
    for node in walk(bar):
        if _safe(lambda n: role(n) == pyatspi.ROLE_PUSH_BUTTON and name(n) == button, node):
            return node
    raise AssertionError(f"no {button!r} button in the title bar")


class EventLog:
    """Collects AT-SPI events of the given types while it is open.

    Popup menus do not appear in an application's tree; their items are seen through the focus
    events that keyboard moves in the menu raise.
    """

    def __init__(self, *event_types):
        self.event_types = event_types or ("object:state-changed:focused",)
        self.events = []

    def __enter__(self):
        pyatspi.Registry.registerEventListener(self._on_event, *self.event_types)
        return self

    def __exit__(self, *exc):
        pyatspi.Registry.deregisterEventListener(self._on_event, *self.event_types)

    def _on_event(self, event):
        try:
            self.events.append((event.type, event.source.getRole(), event.source.name or "",
                                event.detail1, event.host_application.get_process_id()))
        except Exception:
            pass

    def pump(self):
        context = GLib.MainContext.default()
        while context.iteration(False):
            pass

    def wait_for(self, predicate, timeout=15, what="an accessibility event"):
        """Waits until some collected event satisfies `predicate`; returns it."""
        def seen():
            self.pump()
            for event in self.events:
                if predicate(event):
                    return event
            return None
        return wait_until(seen, timeout, what)

    def focused_items(self, pid):
        """Names of menu items that gained focus in process `pid`, in order."""
        self.pump()
        return [e[2] for e in self.events
                if e[0].startswith("object:state-changed:focused") and e[3] == 1
                and e[1] == pyatspi.ROLE_MENU_ITEM and e[4] == pid]

    def clear(self):
        self.pump()
        self.events.clear()


