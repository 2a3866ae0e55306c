"""The module answers what the host road (kvres-tool) answers, file by file."""
import codecs
import math

import numpy as np
import pytest

import kvres
from conftest import result_files, tool_dump

FORMATS = {1: "scalar", 2: "vector"}
BINDINGS = {1: "nodes", 2: "elements"}


def _bytes_as_characters(error):
    # A byte outside valid UTF-8 reads as the character of its value.
    return error.object[error.start:error.end].decode("latin-1"), error.end


codecs.register_error("kvres-tool-json", _bytes_as_characters)


def as_bytes(text, from_json):
    # The text as the tool's JSON reads: valid UTF-8 as itself, each byte
    # outside it (written \u00XX) as the character U+00XX. A module name is
    # read that way from its bytes; a JSON string already is.
    if from_json:
        return text
    return text.encode("utf-8", "surrogateescape").decode("utf-8", "kvres-tool-json")


def json_floats(values, shape):
    def number(x):
        return float(x) if not isinstance(x, str) else float(x.replace("inf", "Infinity"))
    flat = np.array([number(x) for x in np.array(values, dtype=object).ravel()],
                    dtype=np.float32)
    return flat.reshape(shape)


def assert_same_floats(module_values, json_values):
    expected = json_floats(json_values, module_values.shape)
    np.testing.assert_array_equal(module_values, expected)


@pytest.mark.parametrize("read", ["auto", "real", "complex"])
@pytest.mark.parametrize("path", result_files(), ids=lambda p: p.name)
def test_every_data_set_equals_the_tool_dump(path, read):
    dump = tool_dump(path, read)
    with kvres.open(path, force=True) as result:
        assert result.recognized == dump["recognized"]
        (subcase,) = dump["subcases"]
        assert (result.subcase.id, result.subcase.label) == (subcase["id"], subcase["label"])
        assert result.subcase.is_complex == (subcase["type"] == 1)

        types = result.data_types
        assert [as_bytes(t.name, False) for t in types] == \
            [as_bytes(t["name"], True) for t in subcase["dataTypes"]]
        for mine, theirs in zip(types, subcase["dataTypes"]):
            assert (mine.binding, mine.format) == \
                (BINDINGS[theirs["binding"]], FORMATS[theirs["format"]])
            ids = result.entity_ids(mine.name)
            assert ids.dtype == np.int32
            assert ids.tolist() == theirs["entityIds"]

        sims = result.simulations
        assert len(sims) == len(subcase["simulations"])
        for sim, theirs in zip(sims, subcase["simulations"]):
            assert as_bytes(sim.label, False) == as_bytes(theirs["label"], True)
            assert_same_floats(np.float32([sim.sync]), [theirs["sync"]])
            present = {as_bytes(d["dataType"], True): d for d in theirs["dataSets"]}
            for data_type in types:
                if as_bytes(data_type.name, False) not in present:
                    with pytest.raises(LookupError):
                        result.read(data_type.name, sim.index, read)
                    continue
                expected = present[as_bytes(data_type.name, False)]
                data_set = result.read(data_type.name, sim.index, read)
                assert data_set.read == expected["read"]
                assert data_set.complete == expected["ok"]
                assert data_set.ids.dtype == np.int32 and data_set.values.dtype == np.float32
                assert data_set.ids.tolist() == expected["ids"]
                assert_same_floats(data_set.values, expected["values"])


@pytest.mark.parametrize("path", result_files(), ids=lambda p: p.name)
def test_history_follows_the_data_sets(path):
    dump = tool_dump(path, "auto")
    (subcase,) = dump["subcases"]
    with kvres.open(path, force=True) as result:
        names = [t.name for t in result.data_types]
        for name in {n for n in names if names.count(n) == 1}:
            first_ids = [d["ids"] for s in subcase["simulations"] for d in s["dataSets"]
                         if d["dataType"] == name and d["ids"]]
            if not first_ids:
                continue
            entity = first_ids[0][-1]
            history = result.history(name, entity)
            assert history.sync.shape == (len(subcase["simulations"]),)
            for row, sim in zip(history.values, subcase["simulations"]):
                found = [d for d in sim["dataSets"] if d["dataType"] == name]
                if found and entity in found[0]["ids"]:
                    at = found[0]["ids"].index(entity)
                    assert_same_floats(row, found[0]["values"][at])
                else:
                    assert np.isnan(row).all()


def test_a_block_cut_short_holds_its_whole_records(matrix):
    with kvres.open(matrix / "cut-in-block.res") as result:
        incomplete = [t.name for t in result.data_types
                      if not result.read(t.name, 0, "complex").complete]
        assert incomplete
        data_set = result.read(incomplete[0], 0, "complex")
        assert len(data_set.ids) == len(data_set.values) and not math.isnan(data_set.values.sum())
