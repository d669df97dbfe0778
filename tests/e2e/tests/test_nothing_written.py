"""The program writes nothing: a whole session leaves its folder as it was, and the
dictionary is only ever opened for reading."""

import os
import shutil
import subprocess

from harness import syscalls
from harness.databases import content_for
from harness.program import APP_TITLE
from harness.suite import E2ETestCase, current
from tests.test_links import SITE_URL
from tests.test_menu_and_exit import EXIT, footer_gap


class NothingWritten(E2ETestCase):
    def test_a_full_session_changes_nothing_and_reads_the_dictionary_read_only(self):
        program = self.launch(start=False)
        binary = os.path.join(program.folder, "somnara")
        shutil.copy2(current().program, binary)  # the folder as installed: program and data
        trace = os.path.join(program.base, "strace")
        program.binary = binary
        program.wrapper = syscalls.strace_command(trace)
        before = syscalls.snapshot(program.folder)

        program.start()
        window = program.main_window(timeout=60)
        window.wait_active(timeout=30)
        database = program.database_path
        session = [
            ("猫", False, "Return"),
            ("头", True, "button"),
            ("猫'狗", False, "Return"),   # an apostrophe in the keyword
            ("父母' OR '1'='1", True, "Return"),
        ]
        for keyword, containment, trigger in session:
            expected = content_for(database, keyword, containment).replace("\r\n", "\n")
            if window.memo() == expected:  # make the lookup visible
                window.look_up("蛇", False)
                window.wait_memo(content_for(database, "蛇").replace("\r\n", "\n"))
            window.look_up(keyword, containment, trigger)
            window.wait_memo(expected, timeout=30)
            self.assertEqual(program.boxes(), [])
        window.click("Label2")
        self.assertEqual(program.wait_browser_calls(1, timeout=30), [SITE_URL])
        window.click("Label4")
        box = program.box(APP_TITLE, timeout=30)
        self.x.key("Return")
        box.wait_closed()
        window.choose_from_menu(footer_gap(window), EXIT)
        self.assertEqual(program.wait_exit(timeout=30), 0)

        after = syscalls.snapshot(program.folder)
        self.assertEqual(after, before, "no file in the program's folder changed, came or went")

        opens, changes = syscalls.file_activity(trace, program.folder, program.folder)
        self.assertEqual(changes, [], "no call that writes touched the folder")
        database_opens = [call for path, call in opens if path == database]
        self.assertTrue(any(call.succeeded for call in database_opens),
                        "the trace shows the dictionary being opened")
        for call in database_opens:
            self.assertIn("O_RDONLY", syscalls.open_flags(call), call)
            self.assertFalse(syscalls.writes_to(call), call)


class TraceReading(E2ETestCase):
    """The trace reading above must see a write wherever one happens; shown on commands whose
    effect is known."""

    CASES = [
        # command run in the folder, whether it changes the folder
        ("cat smra.mdb > /dev/null", False),
        ("echo x >> smra.mdb", True),
        ("mkdir sub && cd sub && touch ../new", True),
        ("mv smra.mdb other.mdb", True),
        ("rm smra.mdb", True),
        ("touch 梦境.txt", True),
        ("chmod 600 smra.mdb", True),
        ("touch \"$OUTSIDE\"", False),
    ]

    def test_writes_are_seen_and_reads_are_not(self):
        for command, changes_folder in self.CASES:
            with self.subTest(command):
                base = self.suite.new_folder("trace")
                folder = os.path.join(base, "app")
                os.makedirs(folder)
                with open(os.path.join(folder, "smra.mdb"), "wb") as f:
                    f.write(b"SQLite format 3\0")
                trace = os.path.join(base, "strace")
                env = dict(self.x.env, OUTSIDE=os.path.join(base, "outside"))
                subprocess.run(syscalls.strace_command(trace) + ["sh", "-c", command], cwd=folder,
                               env=env, check=True, timeout=30)
                opens, changes = syscalls.file_activity(trace, folder, folder)
                self.assertEqual(bool(changes), changes_folder, changes)
                if command.startswith("cat"):
                    self.assertEqual([os.path.basename(p) for p, call in opens], ["smra.mdb"])
