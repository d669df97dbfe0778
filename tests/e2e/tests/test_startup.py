"""What a user sees when the program starts, and where the keyboard goes."""

import pyatspi

from harness import a11y, screen
from harness.databases import first_content
from harness.desktop import SCREEN
from harness.program import WINDOW_CAPTION, normalise
from harness.suite import E2ETestCase
from harness.wait import wait_until


class StartUp(E2ETestCase):
    def test_first_showing_centred_with_the_first_row_and_the_focus_on_the_tab(self):
        program = self.launch()
        window = program.main_window()
        x_window = window.wait_active()

        self.assertEqual(self.x.title(x_window), WINDOW_CAPTION,
                         "the title bar reads the window's own caption, nothing appended")
        self.assertEqual(window.keyword(), "父母")
        self.assertFalse(window.checked(), "模糊查询 starts unticked")
        # The keyword is not looked up at start: the memo shows the whole table's first row.
        self.assertEqual(window.memo(), normalise(first_content(program.database_path)))
        self.assertTrue(window.memo(), "the built dictionary's first row has a text")
        wait_until(lambda: window.focused("PageControl1"), 10, "the focus on the tab 电脑解梦")
        self.assertFalse(window.focused("Edit1"))
        self.assertEqual(program.boxes(), [], "a sound start shows no message")

        self.assertEqual(window.client_rect()[2:], (393, 323), "client area")
        outer_x, outer_y, outer_w, outer_h = self.x.outer_geometry(x_window)
        self.assertEqual((outer_x, outer_y),
                         (max(0, (SCREEN[0] - outer_w) // 2), max(0, (SCREEN[1] - outer_h) // 2)),
                         "centred on the screen, frame and title bar included")

    def test_footer_links_are_blue_and_other_labels_are_not(self):
        program = self.launch()
        window = program.main_window()
        window.wait_active()
        for name, blue in (("Label2", True), ("Label4", True)):
            glyphs = screen.ink(screen.grab(self.x, a11y.extents(window.control(name))))
            self.assertTrue(glyphs, f"{name} shows its caption")
            share = sum(map(screen.is_blue, glyphs)) / len(glyphs)
            self.assertGreater(share, 0.5, f"{name} is drawn in blue")
        prompt = a11y.find(window.node, lambda n: a11y.name(n) == "梦的解释："
                           and a11y.role(n) == pyatspi.ROLE_LABEL)
        glyphs = screen.ink(screen.grab(self.x, a11y.extents(prompt)))
        self.assertTrue(glyphs)
        self.assertLess(sum(map(screen.is_blue, glyphs)) / len(glyphs), 0.1, "labels stay black")

    def test_tab_cycles_through_the_controls_and_selects_the_keyword(self):
        program = self.launch()
        window = program.main_window()
        window.wait_active()
        wait_until(lambda: window.focused("PageControl1"), 10, "the focus on the tab")

        for name in ("Edit1", "Button1", "DBMemo1", "CheckBox1", "PageControl1"):
            self.x.key("Tab")
            wait_until(lambda: window.focused(name), 10, f"Tab to reach {name}")
            if name == "Edit1":
                selection = window.control("Edit1").queryText().getSelection(0)
                self.assertEqual((selection[0], selection[1]), (0, len("父母")),
                                 "entering the keyword box by keyboard selects its whole text")
        for name in ("CheckBox1", "DBMemo1", "Button1", "Edit1", "PageControl1"):
            self.x.key("shift+Tab")
            wait_until(lambda: window.focused(name), 10, f"Shift+Tab to reach {name}")

    def test_memo_is_read_only_for_the_keyboard(self):
        program = self.launch()
        window = program.main_window()
        window.wait_active()
        before = window.memo()
        window.click("DBMemo1")
        wait_until(lambda: window.focused("DBMemo1"), 10, "the memo to take the focus")
        self.assertTrue(a11y.has_state(window.control("DBMemo1"), pyatspi.STATE_READ_ONLY))
        self.x.type_text("梦x", lambda typed: True)
        self.x.key("BackSpace", "Delete", "Return", "ctrl+End")
        # The caret reaching the end shows that every key before it has been handled.
        memo = window.control("DBMemo1").queryText()
        wait_until(lambda: memo.caretOffset == memo.characterCount, 10, "the caret at the end")
        self.assertEqual(window.memo(), before)
