"""Whatever lies in the folder as smra.mdb, the user gets a result or a clear message, and the
program carries on."""

import csv
import io
import os
import random
import select
import shutil
import sqlite3
import subprocess
import sys

from harness import a11y, screen
from harness.databases import content_for, dream_database
from harness.program import APP_TITLE
from harness.suite import E2ETestCase, current


def _head_of(path, size):
    def write(target):
        with open(path, "rb") as source, open(target, "wb") as f:
            f.write(source.read(size))
    return write


def _empty(path):
    open(path, "wb").close()


def _random_bytes(path):
    with open(path, "wb") as f:
        f.write(random.Random(20240611).randbytes(64 * 1024))


def _other_table(path):
    db = sqlite3.connect(path)
    db.execute("CREATE TABLE Other (名称 TEXT, 说明 TEXT)")
    db.execute("INSERT INTO Other VALUES ('猫', '不是梦')")
    db.commit()
    db.close()


def _directory(path):
    os.mkdir(path)
    open(os.path.join(path, "smra.mdb"), "wb").close()  # a decoy one level down


# Holds the database the way a program writing it does: an exclusive lock, a change pending.
LOCKER = r"""
import sqlite3, sys
db = sqlite3.connect(sys.argv[1], isolation_level=None)
db.execute("BEGIN EXCLUSIVE")
db.execute("UPDATE Somnara SET 内容 = 内容 || '' WHERE rowid = (SELECT min(rowid) FROM Somnara)")
print("locked", flush=True)
sys.stdin.readline()
db.execute("ROLLBACK")
"""


def access_rows(path):
    """The rows of an Access file as an independent reader (mdbtools) sees them."""
    out = subprocess.run(["mdb-export", path, "Somnara"], capture_output=True, text=True,
                         check=True, timeout=30).stdout
    return list(csv.DictReader(io.StringIO(out)))


def _text(value):
    return (value or "").replace("\r\n", "\n")


class DatabaseFiles(E2ETestCase):
    def _error_box(self, program, expected):
        box = program.box(APP_TITLE)
        texts = box.texts()
        self.assertEqual(len(texts), 1, texts)
        self.assertIn(expected, texts[0])
        self.assertNotIn("\ufffd", texts[0], "no garbled text")
        self.assertEqual(box.buttons(), ["OK"])
        self.assertTrue(box.has_icon(), "the error box shows the critical icon")
        icon = screen.grab(self.x, a11y.extents(a11y.images(box.node)[0]))
        self.assertTrue(any(map(screen.is_red, screen.pixels(icon))), "a red stop icon")
        box.press("OK")
        box.wait_closed()
        return texts[0]

    def test_missing_at_start_then_put_in_place(self):
        program = self.launch(database=None)
        box = program.box(APP_TITLE)
        self.assertEqual(self.x.windows_of(program.pid), [box.x_window],
                         "the window comes up only after the box")
        self._error_box(program, program.database_path)  # the message says where it looked

        window = program.main_window()
        window.wait_active()
        self.assertEqual(window.keyword(), "父母")
        self.assertEqual(window.memo(), "")

        shutil.copyfile(current().database, program.database_path)
        window.click("Edit1")
        self.x.key("Return")
        window.wait_memo(_text(content_for(program.database_path, "父母")))
        self.assertEqual(program.boxes(), [])

    def test_damaged_files_give_a_clear_message_at_start_and_at_each_lookup(self):
        built = current().database
        jet = os.path.join(current().fixtures, "jet", "dreams.mdb")
        cases = [
            # what lies there, how it is made, what the message says
            ("empty file", _empty, "既不是 SQLite 也不是 Access 数据库文件"),
            ("random bytes", _random_bytes, "既不是 SQLite 也不是 Access 数据库文件"),
            ("a directory", _directory, "是一个文件夹"),
            ("header only", _head_of(built, 100), "无法读取梦境数据库“smra.mdb”"),
            ("first page only", _head_of(built, 4096), "无法读取梦境数据库“smra.mdb”"),
            ("half the file", _head_of(built, os.path.getsize(built) // 2),
             "无法读取梦境数据库“smra.mdb”"),
            ("no table Somnara", _other_table, "没有数据表 Somnara"),
        ]
        if os.path.exists(jet):
            cases.append(("truncated Access file", _head_of(jet, 6000), "文件已损坏或不完整"))
        else:
            print(f"\n  note: {jet} is absent; the truncated Access file is not tried")
        for what, make, expected in cases:
            with self.subTest(what):
                program = self.launch(f"damaged-{what}", database=make)
                self._error_box(program, expected)
                window = program.main_window()
                window.wait_active()
                self.assertEqual(window.memo(), "")
                # Each lookup tries the file again and fails the same clear way.
                window.look_up("猫")
                self._error_box(program, expected)
                self.assertEqual(window.memo(), "")
                self.assertEqual(window.keyword(), "猫", "the keyword stays for the user to correct")
                self.assertTrue(program.running())
                program.stop()

    def test_locked_by_a_writer_then_released(self):
        program = self.launch(start=False)
        locker = subprocess.Popen([sys.executable, "-c", LOCKER, program.database_path],
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.addCleanup(locker.kill)
        ready, _, _ = select.select([locker.stdout], [], [], 20 * current().scale)
        self.assertTrue(ready and locker.stdout.readline().strip() == "locked")

        program.start()
        self._error_box(program, "database is locked")
        window = program.main_window()
        window.wait_active()
        self.assertEqual(window.memo(), "")

        locker.stdin.write("\n")
        locker.stdin.flush()
        self.assertEqual(locker.wait(timeout=20), 0)
        window.look_up("狗")
        window.wait_memo(_text(content_for(program.database_path, "狗")))

    def test_overwritten_in_place_while_running_then_restored(self):
        program = self.launch()
        window = program.main_window()
        window.wait_active()
        saved = os.path.join(program.base, "saved.mdb")
        shutil.copyfile(program.database_path, saved)
        size = os.path.getsize(saved)

        with open(program.database_path, "r+b") as f:  # the same file, new bytes
            f.write(random.Random(7).randbytes(size))
        window.look_up("狗")
        self._error_box(program, "smra.mdb")  # the message names the file at fault
        self.assertEqual(window.memo(), "")

        with open(program.database_path, "r+b") as f:
            f.write(open(saved, "rb").read())
        window.look_up("马")
        window.wait_memo(_text(content_for(saved, "马")))

    def test_replaced_by_another_file_while_running(self):
        program = self.launch()
        window = program.main_window()
        window.wait_active()
        original = os.path.join(program.base, "original.mdb")
        shutil.copyfile(program.database_path, original)
        incoming = os.path.join(program.base, "incoming.mdb")
        dream_database([("龙", "新文件里的龙")])(incoming)
        os.replace(incoming, program.database_path)

        # The connection made at start stays until the program ends: it reads the file it
        # opened, untouched by the replacement, and says nothing.
        window.look_up("龙")
        window.wait_memo(_text(content_for(original, "龙")))
        self.assertEqual(program.boxes(), [])

    def test_lookups_in_an_access_file(self):
        jet = os.path.join(current().fixtures, "jet", "dreams.mdb")
        if not os.path.exists(jet):
            self.skipTest(f"the Access fixture {jet} is absent")
        rows = access_rows(jet)
        by_topic = {row["主题"]: _text(row["内容"]) for row in rows if row["主题"]}
        program = self.launch(database=jet)
        window = program.main_window()
        window.wait_active()
        self.assertEqual(window.memo(), _text(rows[0]["内容"]), "the table's first row at start")
        cases = [
            ("猫", False, by_topic["猫"]),
            ("头鹰", True, by_topic["猫头鹰"]),
            ("水", False, by_topic["水"]),          # three lines
            ("猫'狗", False, by_topic["猫'狗"]),
            ("空白", False, ""),                      # 内容 is NULL
            ("UFO", False, by_topic["UFO"]),
            ("龙", True, ""),
        ]
        for keyword, containment, expected in cases:
            with self.subTest(keyword=keyword, containment=containment):
                self.assertNotEqual(window.memo(), expected, "precondition: the memo must change")
                window.look_up(keyword, containment)
                window.wait_memo(expected)
                self.assertEqual(window.checked(), containment)
        self.assertEqual(program.boxes(), [])
