#!/usr/bin/python3
"""Runs the end-to-end tests: the real program in a private X desktop, driven as a person.

    run_e2e.py --program BUILD/somnara --database BUILD/smra.mdb [-k PATTERN] [--artifacts DIR]

One X server, window manager, D-Bus session and accessibility bus serve the whole run; each
test starts the program in a folder of its own. Everything started is stopped at the end.
A failing test leaves a screenshot in the artifacts folder.

SOMNARA_E2E_TIMEOUT_SCALE=3 stretches every bounded wait on a very slow machine;
SOMNARA_E2E_KEEP=1 keeps the run's folders (program output, traces) for a look afterwards.
"""

import argparse
import os
import re
import sys

sys.dont_write_bytecode = True  # the suite runs from the source tree; leave nothing there
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from harness.desktop import Desktop  # noqa: E402
from harness import suite as suite_module  # noqa: E402


class Result(unittest.TextTestResult):
    """On a failure, keeps a screenshot of the screen and what the programs printed."""

    def __init__(self, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.failed_tests = set()

    def _keep_evidence(self, test):
        suite = suite_module.current()
        # ImageMagick reads brackets and the like in a file name as options: keep it plain.
        name = re.sub(r"[^A-Za-z0-9_.-]+", "_", test.id().split(".", 1)[-1]).strip("_")
        try:
            os.makedirs(suite.artifacts, exist_ok=True)
            shot = os.path.join(suite.artifacts, name + ".png")
            suite.x.screenshot(shot)
            self.stream.writeln(f"\n  screenshot: {shot}")
        except Exception as error:
            self.stream.writeln(f"\n  (no screenshot: {error})")
        for program in suite.running:
            log = program.log().strip()
            if log:
                self.stream.writeln(f"  output of the program in {program.folder}:\n    "
                                    + log.replace("\n", "\n    "))

    def addFailure(self, test, err):
        self.failed_tests.add(test.id())
        self._keep_evidence(test)
        super().addFailure(test, err)

    def addError(self, test, err):
        self.failed_tests.add(test.id())
        self._keep_evidence(test)
        super().addError(test, err)

    def addSubTest(self, test, subtest, err):
        if err is not None:
            self.failed_tests.add(test.id())
            self._keep_evidence(subtest)
        super().addSubTest(test, subtest, err)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--database", required=True)
    parser.add_argument("--fixtures", required=True,
                        help="the shared test fixtures (holds jet/dreams.mdb)")
    parser.add_argument("--artifacts", default=os.path.join(os.getcwd(), "e2e-artifacts"))
    parser.add_argument("-k", dest="patterns", action="append", default=None,
                        help="run only tests whose name contains this")
    args = parser.parse_args()

    for path in (args.program, args.database):
        if not os.path.isfile(path):
            sys.exit(f"run_e2e.py: {path} does not exist; build first")

    started = time.monotonic()
    desktop = Desktop()
    try:
        desktop.start()
        # The accessibility library connects to the session bus named here when imported.
        os.environ.update({k: v for k, v in desktop.base_env().items()
                           if k in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR")})
        from harness.x11 import X11

        suite = suite_module.Suite(desktop, X11(desktop.base_env()), os.path.abspath(args.program),
                                   os.path.abspath(args.database), os.path.abspath(args.artifacts))
        suite.fixtures = os.path.abspath(args.fixtures)
        suite_module.install(suite)

        loader = unittest.TestLoader()
        if args.patterns:
            loader.testNamePatterns = [f"*{p}*" for p in args.patterns]
        tests = loader.discover(os.path.join(HERE, "tests"), top_level_dir=HERE)
        runner = unittest.TextTestRunner(verbosity=2, resultclass=Result, stream=sys.stdout)
        result = runner.run(tests)
        suite.stop_all()
    finally:
        desktop.stop()

    ran = result.testsRun
    failed = len(result.failed_tests) + len(result.unexpectedSuccesses)
    skipped = len(result.skipped)
    print(f"end-to-end run took {time.monotonic() - started:.0f} s")
    print(f"e2e: {ran - failed - skipped} passed, {failed} failed, {skipped} skipped")
    sys.exit(0 if ran and result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
