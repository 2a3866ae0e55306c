"""Shared fixtures: the files the tests read and kvres-tool's JSON for them.

ctest sets KVRES_TOOL (the built kvres-tool), KVRES_EXAMPLES (the example
series) and KVRES_MATRIX (every encoding and kind, series, damaged files).
"""
import json
import os
import pathlib
import subprocess

import pytest

EXAMPLES = pathlib.Path(os.environ.get("KVRES_EXAMPLES", "build/examples"))
MATRIX = pathlib.Path(os.environ.get("KVRES_MATRIX", "build/python-matrix"))
TOOL = os.environ.get("KVRES_TOOL", "build/bin/kvres-tool")


def result_files():
    """The example set and every matrix file (series members included)."""
    files = [EXAMPLES / "beam.res"]
    files += sorted(p for p in MATRIX.iterdir() if p.suffix.lower() == ".res")
    return files


def tool_dump(path, read):
    """kvres-tool dump --format json of `path` with entity ids, forced."""
    run = subprocess.run(
        [TOOL, "dump", str(path), "--format", "json", "--entity-ids", "--force",
         "--read", read],
        capture_output=True, check=False)
    assert run.returncode in (0, 1), run.stderr.decode()
    return json.loads(run.stdout.decode("utf-8"))


@pytest.fixture
def beam():
    return EXAMPLES / "beam.res"


@pytest.fixture
def matrix():
    return MATRIX
