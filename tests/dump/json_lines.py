"""objlens-dump's JSON Lines, parsed and each line checked against the
schema the manual ships (docs/objlens-dump.schema.json).  Every test that
reads the tool's JSON reads it through documents(), so no line the tests
make escapes the schema.

jsonschema comes from Debian's python3-jsonschema (scripts/deps); without
it the lines are still parsed, and under CI=true that is a failure.
"""

import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from unavailable import in_ci  # noqa: E402

SCHEMA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "docs",
                      "objlens-dump.schema.json")

try:
    import jsonschema
except ImportError:
    if in_ci():
        raise
    jsonschema = None
    print("jsonschema is not installed: JSON lines are parsed, not checked against the schema",
          file=sys.stderr)

_validator = None


def validator():
    global _validator
    if _validator is None and jsonschema is not None:
        with open(SCHEMA) as f:
            schema = json.load(f)
        jsonschema.Draft202012Validator.check_schema(schema)
        _validator = jsonschema.Draft202012Validator(schema)
    return _validator


def documents(text):
    """The JSON documents of `text`, one a line, each checked."""
    found = [json.loads(line) for line in text.splitlines()]
    check = validator()
    if check is not None:
        for document in found:
            check.validate(document)
    return found
