"""What every end-to-end test shares: the desktop, the program under test, its dictionary."""

import os
import re
import tempfile
import unittest

from .wait import SCALE

_suite = None


class Suite:
    def __init__(self, desktop, x, program, database, artifacts):
        self.desktop = desktop
        self.x = x
        self.program = program
        self.database = database
        self.artifacts = artifacts
        self.scale = SCALE
        self.running = []
        self._folders = tempfile.mkdtemp(prefix="tests-", dir=desktop.root)
        self._count = 0

    def new_folder(self, name):
        self._count += 1
        path = os.path.join(self._folders, f"{self._count:02d}-{re.sub(r'[^A-Za-z0-9_-]', '_', name)}")
        os.makedirs(path)
        return path

    def stop_all(self):
        for program in list(self.running):
            program.stop()


def install(suite):
    global _suite
    _suite = suite


def current():
    if _suite is None:
        raise RuntimeError("the end-to-end tests run through run_e2e.py, which sets up the desktop")
    return _suite


class E2ETestCase(unittest.TestCase):
    """A test that starts the real program; every program it started is stopped afterwards."""

    @property
    def suite(self):
        return current()

    @property
    def x(self):
        return current().x

    def launch(self, name=None, start=True, **options):
        from .program import Program
        program = Program(current(), name or self._testMethodName, **options)
        self.addCleanup(program.stop)
        if start:
            program.start()
        return program
