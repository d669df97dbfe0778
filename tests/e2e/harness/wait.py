"""Waiting on conditions, each with a bound; never on a fixed time."""

import os
import time

# Bounds are generous so that a loaded CI machine passes; a condition that holds returns at
# once. SOMNARA_E2E_TIMEOUT_SCALE stretches every bound on a very slow machine.
SCALE = float(os.environ.get("SOMNARA_E2E_TIMEOUT_SCALE", "1"))
DEFAULT_TIMEOUT = 15


class WaitTimeout(AssertionError):
    pass


def wait_until(predicate, timeout=DEFAULT_TIMEOUT, what="the condition", interval=0.02):
    """Polls `predicate` until it returns something true, which is returned."""
    deadline = time.monotonic() + timeout * SCALE
    last_error = None
    while True:
        try:
            value = predicate()
            if value:
                return value
        except Exception as error:  # a window still coming up answers with errors
            last_error = error
        if time.monotonic() > deadline:
            detail = f" (last error: {last_error!r})" if last_error else ""
            raise WaitTimeout(f"timed out after {timeout * SCALE:g} s waiting for {what}{detail}")
        time.sleep(interval)
        interval = min(interval * 1.5, 0.2)
