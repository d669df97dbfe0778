"""The footer links and the menu's web-site item, as far as the clipboard and the browser."""

import subprocess

from harness.program import APP_TITLE
from harness.suite import E2ETestCase
from harness.wait import wait_until
from tests.test_menu_and_exit import SITE, footer_gap

QQ_NUMBER = "436817592"
SITE_URL = "http://www.quorvel.example"


class Links(E2ETestCase):
    def clipboard(self):
        # xclip reads the clipboard only while its owner runs; a bounded call either way.
        return self.x.run("xclip", "-o", "-selection", "clipboard", timeout=10, check=False)

    def hold_clipboard(self, text):
        """Another program's clipboard content, held until someone takes the clipboard."""
        holder = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard", "-i"],
                                  stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL, env=self.x.env)
        self.addCleanup(lambda: holder.poll() is None and holder.kill())
        holder.stdin.write(text.encode())
        holder.stdin.close()
        wait_until(lambda: self.clipboard() == text, 10, "the clipboard to hold the earlier text")
        return holder

    def test_contact_link_copies_exactly_the_number_and_confirms(self):
        program = self.launch()
        window = program.main_window()
        window.wait_active()
        self.assertTrue(window.control("Label4").name.endswith(QQ_NUMBER),
                        "the link shows the number it copies")
        holder = self.hold_clipboard("以前复制的文字")

        window.click("Label4")
        box = program.box(APP_TITLE)
        self.assertEqual(box.texts(), ["QQ号码已复制！"])
        self.assertEqual(box.buttons(), ["OK"])
        self.assertFalse(box.has_icon())
        self.assertEqual(self.clipboard(), QQ_NUMBER, "nine digits, nothing around them")
        holder.wait(timeout=10)  # it lost the clipboard: what it held is gone
        self.x.key("Return")     # the box has the keyboard; Enter closes it
        box.wait_closed()

        # Pasting gives the number, exactly.
        window.enter_keyword("")
        self.x.key("ctrl+v")
        wait_until(lambda: window.keyword() == QQ_NUMBER, 10, "the pasted number")

    def test_double_click_on_the_contact_link_acts_once(self):
        program = self.launch()
        window = program.main_window()
        window.wait_active()
        window.click("Label4", repeat=2)
        box = program.box(APP_TITLE)
        box.press("OK")
        box.wait_closed()
        # Whatever the second click did has been handled before this later click is.
        window.click("CheckBox1")
        wait_until(window.checked, 10, "模糊查询 to be ticked")
        self.assertEqual(program.boxes(), [], "one confirmation only")

    def test_site_link_and_menu_item_reach_the_default_browser(self):
        program = self.launch()
        window = program.main_window()
        window.wait_active()
        window.click("Label2")
        self.assertEqual(program.wait_browser_calls(1), [SITE_URL])
        window.choose_from_menu(footer_gap(window), SITE)
        self.assertEqual(program.wait_browser_calls(2), [SITE_URL, SITE_URL])
        window.click("Label2")
        self.assertEqual(program.wait_browser_calls(3), [SITE_URL] * 3, "each click opens it again")
        self.assertEqual(program.fallback_browser_calls(), [],
                         "the registered handler for web addresses, not a fallback, was used")
        self.assertEqual(program.boxes(), [])
        self.assertTrue(program.running())
