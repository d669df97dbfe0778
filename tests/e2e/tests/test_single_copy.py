"""Only one copy runs at a time: a second one says so and ends; a dead one leaves no trace."""

import os
import signal

from harness.databases import content_for
from harness.suite import E2ETestCase

NOTICE = "软件已在运行中！"
NOTICE_CAPTION = "提示"


class SingleCopy(E2ETestCase):
    def test_second_copy_shows_its_notice_and_ends_while_the_first_goes_on(self):
        first = self.launch("first")
        window = first.main_window()
        window.wait_active()
        keyword, memo = window.keyword(), window.memo()

        # However the notice is dismissed, the second copy ends with exit code 0.
        for dismiss in ("click OK", "Return", "Escape"):
            with self.subTest(dismiss=dismiss):
                second = self.launch(f"second-{dismiss.split()[-1]}", runtime_dir=first.runtime)
                box = second.box(NOTICE_CAPTION)
                self.assertEqual(box.texts(), [NOTICE])
                self.assertEqual(box.buttons(), ["OK"])
                self.assertFalse(box.has_icon(), "the notice shows no icon")
                box_x_window = box.x_window
                # The second copy's window never comes up: the notice is all it shows.
                self.assertEqual(self.x.windows_of(second.pid), [box_x_window])
                self.assertEqual([w.name for w in second.top_levels()], [NOTICE_CAPTION])

                if dismiss == "click OK":
                    box.press("OK")
                else:
                    self.x.key(dismiss)  # the box has the keyboard once it is ready
                self.assertEqual(second.wait_exit(), 0)
                self.assertTrue(first.running())

        # The first copy is as it was, and still answers.
        self.assertEqual((window.keyword(), window.memo()), (keyword, memo))
        self.assertEqual(first.boxes(), [])
        window.look_up("蛇")
        window.wait_memo(content_for(first.database_path, "蛇").replace("\r\n", "\n"))

    def test_a_copy_started_after_one_was_killed_starts_normally(self):
        first = self.launch("killed")
        first.main_window()
        os.kill(first.pid, signal.SIGKILL)
        self.assertEqual(first.wait_exit(), -signal.SIGKILL)

        again = self.launch("again", runtime_dir=first.runtime)
        again.main_window().wait_active()
        self.assertEqual(again.boxes(), [], "no notice: the killed copy's marker went with it")
        self.assertTrue(os.listdir(first.runtime), "the marker lives in the runtime folder")

    def test_copies_of_different_sessions_do_not_see_each_other(self):
        first = self.launch("session-one")
        first.main_window().wait_active()
        other = self.launch("session-two")  # its own runtime folder: another logon
        other.main_window()
        self.assertEqual(other.boxes(), [])
        self.assertTrue(first.running() and other.running())
