"""The popup menu, and every way of ending the program."""

from harness import a11y
from harness.program import plain_caption as plain
from harness.suite import E2ETestCase

SITE = "官方网站"
EXIT = "退出程序"


def footer_gap(window):
    """A point on the footer panel itself, between its two links."""
    x2, y2, w2, h2 = a11y.extents(window.control("Label2"))
    x4, _, _, _ = a11y.extents(window.control("Label4"))
    return (x2 + w2 + x4) // 2, y2 + h2 // 2


class PopupMenu(E2ETestCase):
    def _open_menu_items(self, program, point, log, walk=True, close=True):
        """Opens the context menu at `point` and walks it with the Down key; returns the
        captions of the items in the order the keyboard meets them, once round. Without
        `walk`, only the first item the keyboard reaches; without `close`, the menu stays open."""
        log.clear()
        self.x.click(*point, button=3)
        seen = []
        for _ in range(6 if walk else 1):
            self.x.key("Down")
            count = len(seen) + 1
            log.wait_for(lambda e: len(log.focused_items(program.pid)) >= count, 10,
                         "a menu item to take the focus")
            seen = log.focused_items(program.pid)
            if len(seen) > 1 and seen[-1] == seen[0]:
                seen.pop()
                break
        if close:
            self.x.key("Escape")
        return seen

    def test_right_click_opens_the_window_menu_or_the_edit_menu(self):
        program = self.launch()
        window = program.main_window()
        window.wait_active()
        places = [
            ("footer", lambda: footer_gap(window), True),
            ("Button1", lambda: a11y.centre(window.control("Button1")), True),
            ("CheckBox1", lambda: a11y.centre(window.control("CheckBox1")), True),
            ("Label4", lambda: a11y.centre(window.control("Label4")), True),
            ("Edit1", lambda: a11y.centre(window.control("Edit1")), False),
            ("DBMemo1", lambda: a11y.centre(window.control("DBMemo1")), False),
        ]
        with a11y.EventLog() as log:
            for place, point, window_menu in places:
                with self.subTest(place):
                    if window_menu:
                        items = self._open_menu_items(program, point(), log)
                        # Only the site and the exit; the skin submenu never shows.
                        self.assertEqual([plain(i) for i in items], [SITE, EXIT])
                    else:
                        # The edit menu, whose first item the keyboard can reach is not ours.
                        items = self._open_menu_items(program, point(), log, walk=False)
                        self.assertNotIn(plain(items[0]), (SITE, EXIT))
        self.assertTrue(program.running())
        self.assertEqual(program.boxes(), [])

    def test_menu_opens_again_at_once_after_escape(self):
        # The next right-click at the same place comes within the double-click time, as a
        # quick hand's does: the menu must open for it as for the first.
        program = self.launch()
        window = program.main_window()
        window.wait_active()
        with a11y.EventLog() as log:
            for opening in range(1, 6):
                with self.subTest(opening=opening):
                    items = self._open_menu_items(program, footer_gap(window), log, walk=False)
                    self.assertEqual(plain(items[0]), SITE)
        self.assertTrue(program.running())

    def test_chinese_system_gives_the_items_accelerators_that_choose_them(self):
        program = self.launch(lang="zh_CN.UTF-8")
        window = program.main_window()
        window.wait_active()
        with a11y.EventLog() as log:
            for opening in ("first", "second"):
                with self.subTest(opening=opening):
                    items = self._open_menu_items(program, footer_gap(window), log)
                    self.assertEqual(items, [f"{SITE}(Y)", f"{EXIT}(Z)"])
            # Y chooses the site…
            self._open_menu_items(program, footer_gap(window), log, walk=False, close=False)
            self.x.key("y")
            program.wait_browser_calls(1)
            # …and Z the exit.
            self._open_menu_items(program, footer_gap(window), log, walk=False, close=False)
            self.x.key("z")
        self.assertEqual(program.wait_exit(), 0)

    def test_other_systems_give_no_accelerators(self):
        program = self.launch(lang="C.UTF-8")
        window = program.main_window()
        window.wait_active()
        with a11y.EventLog() as log:
            items = self._open_menu_items(program, footer_gap(window), log)
        self.assertEqual(items, [SITE, EXIT])


class Exit(E2ETestCase):
    def test_every_way_out_ends_at_once_with_code_0(self):
        ways = ["menu item 退出程序", "close button", "Alt+F4"]
        for way in ways:
            with self.subTest(way):
                program = self.launch(f"exit-{way.split()[-1]}")
                window = program.main_window()
                x_window = window.wait_active()
                if way == "close button":
                    self.x.click(*window.close_button(x_window))
                elif way == "Alt+F4":
                    self.x.key("alt+F4")
                else:
                    window.choose_from_menu(footer_gap(window), EXIT)
                # No question is asked: the program ends by itself.
                self.assertEqual(program.wait_exit(), 0)
                self.assertEqual(self.x.windows_of(program.pid), [])
