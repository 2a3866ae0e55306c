"""The three readers of a file agree: the C++ API (kvres_api_dump), this
module and kvres-tool's JSON dump give the same ids, value bits and complete
flags for every data set of random files from the tests' writer (every
encoding and kind, special floats, repeated ids) and of copies cut short at
random offsets."""
import codecs
import os
import pathlib
import subprocess

import numpy as np
import pytest
from hypothesis import HealthCheck, given, settings, strategies as st

import kvres
from conftest import tool_dump

MAKE_RANDOM = os.environ.get("KVRES_MAKE_RANDOM", "build/bin/make_random_res")
API_DUMP = os.environ.get("KVRES_API_DUMP", "build/bin/kvres_api_dump")


def api_dump(path):
    """{(read, sim, name hex): (complete, ids, value bits) or None},
    {name hex: entity ids} and the rest (kinds, summary ids per binding,
    histories), as the C++ API gives them."""
    run = subprocess.run([API_DUMP, os.fspath(path)], capture_output=True, check=False)
    assert run.returncode == 0, run.stdout.decode() + run.stderr.decode()
    sets, ids = {}, {}
    rest = {"kinds": {}, "summary": {}, "history": {}}
    for line in run.stdout.decode().splitlines():
        fields = line.split(" ")
        if fields[0] == "I":
            ids[fields[1]] = [int(x) for x in fields[2:]]
        elif fields[0] == "K":
            rest["kinds"][fields[1]] = int(fields[2])
        elif fields[0] == "S":
            rest["summary"][fields[1]] = [int(x) for x in fields[2:]]
        elif fields[0] == "H":
            rest["history"][(fields[1], fields[2])] = (
                int(fields[3]), int(fields[4]), [int(x, 16) for x in fields[5:]])
        elif fields[0] == "N":
            sets[(fields[1], int(fields[2]), fields[3])] = None
        else:
            count = int(fields[5])
            sets[(fields[1], int(fields[2]), fields[3])] = (
                fields[4] == "1", [int(x) for x in fields[6:6 + count]],
                [int(x, 16) for x in fields[6 + count:]])
    return sets, ids, rest


def name_hex(name):
    return name.encode("utf-8", "surrogateescape").hex() or "-"


def _bytes_as_characters(error):
    return error.object[error.start:error.end].decode("latin-1"), error.end


codecs.register_error("kvres-tool-shown", _bytes_as_characters)


def shown(name):
    # A name as the tool's JSON gives it: valid UTF-8 as itself, each byte
    # outside it (written \u00XX) as the character U+00XX.
    return name.encode("utf-8", "surrogateescape").decode("utf-8", "kvres-tool-shown")


def bits(values):
    return np.ascontiguousarray(values, dtype=np.float32).ravel().view(np.uint32).tolist()


def json_bits(values):
    def number(x):
        return float(x) if not isinstance(x, str) else float(x.replace("inf", "Infinity"))
    flat = np.array([number(x) for x in np.array(values, dtype=object).ravel()],
                    dtype=np.float32)
    return flat


def assert_readers_agree(path):
    api_sets, api_ids, api_rest = api_dump(path)
    with kvres.open(path, force=True) as result:
        names = [t.name for t in result.data_types]
        assert sorted(api_ids) == sorted(name_hex(n) for n in set(names))
        for name in names:
            assert result.entity_ids(name).tolist() == api_ids[name_hex(name)]
        for data_type in result.data_types:
            assert data_type.kind == api_rest["kinds"][name_hex(data_type.name)]
        summary = result.summary()
        for binding in ("nodes", "elements"):
            assert summary["ids"][binding].tolist() == api_rest["summary"][binding]
        count = len(result.simulations)
        for read in ("auto", "real", "complex"):
            dump = tool_dump(path, read)
            (subcase,) = dump["subcases"]
            assert len(subcase["simulations"]) == count
            # One entity's history: the C++ API's bits, and per simulation
            # the first record of the entity in the tool's data set, or NaN.
            for name in names:
                entity, width, history_bits = api_rest["history"][(read, name_hex(name))]
                history = result.history(name, entity, read)
                assert bits(history.values) == history_bits, (name, read)
                rows = np.asarray(history.values, np.float32).reshape(count, width)
                for sim, theirs in enumerate(subcase["simulations"]):
                    tool = {d["dataType"]: d for d in theirs["dataSets"]}.get(shown(name))
                    expected = np.full(width, np.nan, np.float32)
                    if tool is not None and entity in tool["ids"]:
                        row = json_bits(tool["values"])
                        row = row.reshape(len(tool["ids"]), -1)[tool["ids"].index(entity)]
                        expected = row
                    np.testing.assert_array_equal(rows[sim], expected, err_msg=f"{name} {sim}")
            for sim, theirs in enumerate(subcase["simulations"]):
                present = {d["dataType"]: d for d in theirs["dataSets"]}
                for name in names:
                    key = name_hex(name)
                    try:
                        mine = result.read(name, sim, read)
                    except LookupError:
                        assert api_sets[(read, sim, key)] is None
                        assert shown(name) not in present
                        continue
                    complete, ids, values = api_sets[(read, sim, key)]
                    assert (mine.complete, mine.ids.tolist(), bits(mine.values)) == \
                        (complete, ids, values), (name, sim, read)
                    tool = present[shown(name)]
                    assert (tool["ok"], tool["ids"]) == (complete, ids)
                    np.testing.assert_array_equal(
                        json_bits(tool["values"]), np.array(values, np.uint32).view(np.float32))


@settings(max_examples=25, deadline=None,
          suppress_health_check=[HealthCheck.function_scoped_fixture])
@given(seed=st.integers(0, 2**32 - 1), cut=st.integers(0, 1000))
def test_api_module_and_tool_agree_on_random_and_cut_files(tmp_path, seed, cut):
    whole = tmp_path / "random.res"
    subprocess.run([MAKE_RANDOM, os.fspath(whole), str(seed)], check=True)
    assert_readers_agree(whole)
    data = whole.read_bytes()
    short = tmp_path / "short.res"
    short.write_bytes(data[:len(data) * cut // 1000])
    assert_readers_agree(short)
