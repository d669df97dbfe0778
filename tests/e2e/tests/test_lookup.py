"""Looking a keyword up, by Enter and by the button, exactly and by containment."""

from harness.databases import content_for, dream_database
from harness.suite import E2ETestCase
from harness.wait import wait_until

# Decoys make a wrong answer visible: 猫头鹰 contains 猫, 猫'狗 holds an apostrophe.
ROWS = [
    ("父母", "父母之梦：家宅平安。"),
    ("猫", "猫之梦：提防小人。"),
    ("猫头鹰", "猫头鹰之梦：夜有所思。"),
    ("猫'狗", "猫狗之梦：口舌是非。"),
    ("水", "水之梦第一行\r\n第二行\r\n第三行"),
    ("100%把握", "百分之百之梦：稳操胜券。"),
]
TEXT = {topic: content.replace("\r\n", "\n") for topic, content in ROWS}

# keyword, 模糊查询 ticked, how the lookup starts, what the memo then shows. Each row's
# result differs from the one before, so that a lookup that did nothing cannot pass.
CASES = [
    ("猫", False, "Return", TEXT["猫"]),
    ("猫头鹰", False, "button", TEXT["猫头鹰"]),
    ("头鹰", False, "Return", ""),                    # exact: a part of a topic is no match
    ("头鹰", True, "button", TEXT["猫头鹰"]),          # containment finds it
    ("父", True, "Return", TEXT["父母"]),
    ("龙", True, "button", ""),                        # nothing contains it
    ("猫'狗", False, "Return", TEXT["猫'狗"]),         # an apostrophe is just a character
    ("水", False, "button", TEXT["水"]),                # line breaks survive
    (" 猫", False, "Return", ""),                       # blanks take part in the comparison
    ("1%握", True, "Return", TEXT["100%把握"]),      # % inside matches any run, as around it
]


class Lookup(E2ETestCase):
    def test_exact_and_containment_by_enter_and_by_the_button(self):
        program = self.launch(database=dream_database(ROWS))
        window = program.main_window()
        window.wait_active()
        self.assertEqual(window.memo(), TEXT["父母"], "the first row shows at start")

        for keyword, containment, trigger, expected in CASES:
            with self.subTest(keyword=keyword, containment=containment, trigger=trigger):
                self.assertNotEqual(window.memo(), expected, "precondition: the memo must change")
                window.look_up(keyword, containment, trigger)
                window.wait_memo(expected)
                self.assertEqual(program.boxes(), [], "a lookup with or without a match says nothing")
                self.assertEqual(window.keyword(), keyword, "the keyword stays as typed")
                self.assertEqual(window.checked(), containment)

    def test_ticking_the_box_alone_changes_nothing(self):
        program = self.launch(database=dream_database(ROWS))
        window = program.main_window()
        window.wait_active()
        window.click("CheckBox1")
        wait_until(window.checked, 10, "模糊查询 to be ticked")
        window.click("CheckBox1")
        wait_until(lambda: not window.checked(), 10, "模糊查询 to be clear again")
        self.assertEqual(window.memo(), TEXT["父母"])

    def test_everyday_words_in_the_built_dictionary(self):
        program = self.launch()
        window = program.main_window()
        window.wait_active()
        previous = window.memo()
        for keyword, containment in (("蛇", False), ("考试", False), ("掉牙", True), ("飞", True)):
            with self.subTest(keyword=keyword, containment=containment):
                expected = content_for(program.database_path, keyword, containment)
                expected = expected.replace("\r\n", "\n")
                self.assertTrue(expected, f"the dictionary has an entry for {keyword}")
                self.assertNotEqual(expected, previous, "precondition: the memo must change")
                window.look_up(keyword, containment)
                window.wait_memo(expected)
                previous = expected
        self.assertEqual(program.boxes(), [])
