"""What a test does when something it needs cannot be had: a tool that
scripts/deps installs, or files it downloads.

Outside CI the test is skipped (status 77, which ctest reports as
skipped): a developer without the network still gets the other results.
Under CI=true it fails instead, naming what was missing, so that a run
that could not do the comparison cannot pass as if it had.
"""

import os
import sys

SKIP = 77


def in_ci():
    return os.environ.get("CI", "").lower() in ("true", "1")


def missing(what):
    """Reports `what` (a sentence without a full stop) and returns the
    test's exit status: 1 under CI, 77 otherwise."""
    if in_ci():
        print(f"FAILED (CI=true, where a test that cannot run fails): {what}", file=sys.stderr)
        return 1
    print(f"{what}; skipping")
    return SKIP
