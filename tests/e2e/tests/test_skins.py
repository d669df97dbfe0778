"""The skin draws the windows: the main window's frame and title bar, and every message box."""

import os
import re

from harness import a11y, screen
from harness.program import APP_TITLE, WINDOW_CAPTION
from harness.suite import E2ETestCase
from harness.wait import wait_until

SKIN_FILE = os.path.join(os.path.dirname(__file__), "..", "..", "..", "resources", "skins",
                         "default.qss")


def start_skin():
    """The measures and colours the start skin 默认 declares in its header."""
    with open(SKIN_FILE, encoding="utf-8") as f:
        header = f.read().split("*/", 1)[0]
    values = dict(re.findall(r"^([a-z-]+):\s*(.+?)\s*$", header, re.M))
    colour = lambda text: tuple(int(text[i:i + 2], 16) for i in (1, 3, 5))  # noqa: E731
    return {
        "name": values["name"],
        "title": [colour(c) for c in values["title"].split()],
        "caption": colour(values["caption"]),
    }


def near_gradient(p, ends, tolerance=40):
    """Whether `p` lies near the straight run of colours between the two ends."""
    (r0, g0, b0), (r1, g1, b1) = ends
    for step in range(11):
        t = step / 10
        q = (r0 + (r1 - r0) * t, g0 + (g1 - g0) * t, b0 + (b1 - b0) * t)
        if sum(abs(a - b) for a, b in zip(p, q)) <= tolerance:
            return True
    return False


class Skins(E2ETestCase):
    def assert_skinned_title_bar(self, node, x_window, caption, buttons):
        """The system draws no frame; the skin's title bar carries the caption and buttons,
        in the start skin's colours."""
        self.assertEqual(self.x.frame_extents(x_window), (0, 0, 0, 0),
                         "no frame from the window manager")
        bar = a11y.title_bar(node)
        self.assertIsNotNone(bar, "a title bar drawn by the skin")
        self.assertEqual(a11y.name(bar), caption)
        shown = [a11y.name(b) for b in a11y.buttons(bar)]
        self.assertEqual(shown, buttons)

        # The strip above the client area, inside the frame, is the title bar.
        wx, wy, ww, wh = self.x.geometry(x_window)
        top_of_client = min(a11y.extents(c)[1] for c in node if c is not None and c != bar
                            and a11y.showing(c))
        strip = screen.grab(self.x, (wx + ww // 4, wy + 2, ww // 2, top_of_client - wy - 4))
        skin = start_skin()
        flat = screen.pixels(strip)
        share = sum(near_gradient(p, skin["title"]) for p in flat) / len(flat)
        self.assertGreater(share, 0.5, f"the title bar in the colours of {skin['name']}")
        caption_ink = [p for p in flat if sum(abs(a - b) for a, b in zip(p, skin["caption"])) < 90]
        self.assertTrue(caption_ink, "the caption is written in the skin's caption colour")

    def test_main_window_frame_and_title_bar(self):
        program = self.launch()
        window = program.main_window()
        x_window = window.wait_active()
        self.assert_skinned_title_bar(window.node, x_window, WINDOW_CAPTION,
                                      ["System", "Minimize", "Close"])
        self.assertEqual(window.client_rect()[2:], (393, 323), "the client area keeps its size")

    def test_title_bar_moves_the_window_and_minimise_restores_it_in_place(self):
        program = self.launch()
        window = program.main_window()
        x_window = window.wait_active()
        bar = window.title_bar()
        start = self.x.geometry(x_window)
        bx, by, bw, bh = a11y.extents(bar)
        grip = (bx + bw // 3, by + 8)  # on the caption, clear of the buttons
        self.x.move(*grip)
        self.x.xdotool("mousedown", "1")
        for step in (10, 20, 30, 40):
            self.x.move(grip[0] + step, grip[1] + step * 3 // 4)
        self.x.xdotool("mouseup", "1")
        moved = (start[0] + 40, start[1] + 30)
        wait_until(lambda: self.x.geometry(x_window)[:2] == moved, 10, "the window to follow")
        wait_until(lambda: a11y.extents(window.node)[:2] == moved, 10,
                   "the program to know where its window is")

        window.click_title_bar_button("Minimize")
        wait_until(lambda: "IsUnMapped" in self.x.run("xwininfo", "-id", str(x_window)), 10,
                   "the window to be minimised")
        self.x.xdotool("windowactivate", str(x_window))
        window.wait_active()
        self.assertEqual(self.x.geometry(x_window)[:2], moved, "restored where it was moved")

    def test_message_boxes_are_skinned_and_keep_their_keys(self):
        # The error box, before the main window: closed by its own title-bar button.
        program = self.launch(database=None)
        box = program.box(APP_TITLE)
        self.assert_skinned_title_bar(box.node, box.x_window, APP_TITLE, ["Close"])
        icon = screen.grab(self.x, a11y.extents(a11y.images(box.node)[0]))
        self.assertTrue(any(map(screen.is_red, screen.pixels(icon))), "the red stop icon stays")
        self.x.click(*a11y.centre(a11y.title_bar_button(a11y.title_bar(box.node), "Close")))
        box.wait_closed()
        window = program.main_window()
        window.wait_active()

        # The confirmation box: Esc closes it.
        window.click("Label4")
        box = program.box(APP_TITLE)
        self.assert_skinned_title_bar(box.node, box.x_window, APP_TITLE, ["Close"])
        self.assertEqual(box.buttons(), ["OK"])
        self.x.key("Escape")
        box.wait_closed()

        # The second copy's notice: its close button ends that copy like OK.
        second = self.launch("second", runtime_dir=program.runtime)
        notice = second.box("提示")
        self.assert_skinned_title_bar(notice.node, notice.x_window, "提示", ["Close"])
        self.x.click(*a11y.centre(a11y.title_bar_button(a11y.title_bar(notice.node), "Close")))
        self.assertEqual(second.wait_exit(), 0)
        self.assertTrue(program.running())
