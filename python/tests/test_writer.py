"""kvres.Writer and kvres.write: what is written reads back through
kvres.open bit for bit (4-byte files and big-endian Cray), little-endian
Cray within its bound, errors name what is wrong, and a failed write
leaves nothing behind."""
import os

import numpy as np
import pytest

import kvres
from conftest import EXAMPLES

ENCODINGS_EXACT = ["i4le", "i4be", "i8be"]


def samples(count, seed):
    """float32 values of every sort a file may hold: zeros, extremes,
    subnormals, infinities and random bit patterns (no NaN)."""
    rng = np.random.default_rng(seed)
    bits = rng.integers(0, 2**32, size=count, dtype=np.uint64).astype(np.uint32)
    values = bits.view(np.float32).copy()
    values[np.isnan(values)] = 1.0
    edge_values = np.array([0.0, -0.0, 1.0, -1.5, np.inf, -np.inf,
                        np.finfo(np.float32).max, np.finfo(np.float32).tiny,
                        np.float32(1e-45)], dtype=np.float32)
    values[:len(edge_values)] = edge_values
    return values


@pytest.mark.parametrize("encoding", ENCODINGS_EXACT + ["i8le"])
@pytest.mark.parametrize("kind,shape", [(1, ()), (3, ()), (0, (3,)), (5, (2,)),
                                        (6, (2,)), (7, (3,)), (8, (3,))])
def test_round_trip(tmp_path, encoding, kind, shape):
    n = 500
    ids = np.arange(n, dtype=np.int32) * 3 - 7
    values = samples(n * int(np.prod(shape, dtype=int)), kind).reshape((n,) + shape)
    path = tmp_path / "out.res"
    with kvres.Writer(path, encoding=encoding) as w:
        w.simulation(sync=0.5, name="Time")
        w.block("field", kind=kind, ids=ids, values=values)
    with kvres.open(path) as r:
        assert r.simulations[0].label == "Time = 0.5"
        assert r.simulations[0].sync == np.float32(0.5)
        name = r.data_types[0].name
        data = r.read(name, 0, read="real")
    assert data.complete
    assert np.array_equal(data.ids, ids)
    with kvres.open(path) as r:
        if kind in (7, 8):  # three data types, one per real
            got = np.stack([r.read("field:" + part, 0, read="real").values
                            for part in ("Magnitude", "Phase", "Offset")], axis=1)
        elif kind in (5, 6):  # magnitudes read as stored, phases in radians
            magnitude = r.read(name, 0, read="real").values
            phase = r.read(name, 0, read="complex").values[:, 1]
            got = np.stack([magnitude, phase], axis=1)
            radians = (values[:, 1].astype(np.float64) * 0.01745329238474369)
            values = np.stack([values[:, 0], radians.astype(np.float32)], axis=1)
        else:
            got = data.values.reshape(values.shape)
    if encoding == "i8le":
        finite = np.isfinite(values) & (np.abs(values) >= np.finfo(np.float32).tiny)
        rel = np.abs(got[finite].astype(np.float64) - values[finite]) / np.abs(values[finite])
        # The bound of the stored words; phases delivered in radians are
        # rounded once more.
        assert rel.max() <= 2.0 ** -17 + (2.0 ** -23 if kind in (5, 6) else 0)
    else:
        assert got.tobytes() == values.tobytes()


@pytest.mark.parametrize("encoding", ENCODINGS_EXACT)
@pytest.mark.parametrize("form", ["arrays", "records"])
def test_large_blocks_round_trip_and_hold_no_space_past_their_end(tmp_path, encoding, form):
    """Blocks of more than a megabyte have their space allocated at once
    before they are written: they read back bit for bit, beside small blocks
    and across two simulations, and the file holds no space past its end."""
    n = 150_001  # 1.2 MB of 4-byte records, 2.4 MB of Cray ones
    ids = np.arange(n, dtype=np.int32) * 2 + 1
    values = samples(n, 7)
    records = np.empty(n, dtype=[("id", "<i4"), ("value", "<f4")])
    records["id"], records["value"] = ids, values
    block = {"records": records} if form == "records" else {"ids": ids, "values": values}
    path = tmp_path / "big.res"
    with kvres.Writer(path, encoding=encoding) as w:
        for s in range(2):
            w.simulation(f"s{s}")
            w.block("small", kind=1, ids=ids[:3], values=values[:3])
            w.block("big", kind=1, **block)
    with kvres.open(path) as r:
        for s in range(2):
            data = r.read("big", s)
            assert np.array_equal(data.ids, ids)
            assert data.values.tobytes() == values.tobytes()
            assert r.read("small", s).values.tobytes() == values[:3].tobytes()
    stat = os.stat(path)
    if hasattr(stat, "st_blocks"):
        # Allowing one file-system block of 64 KiB at most past the end.
        assert stat.st_blocks * 512 <= stat.st_size + 65536


@pytest.mark.parametrize("encoding", ENCODINGS_EXACT)
def test_complex_phases_round_trip(tmp_path, encoding):
    ids = np.array([1, 2, 3], dtype=np.int32)
    stored = np.array([[1.0, 90.0], [2.0, -45.5], [3.0, 180.0]], dtype=np.float32)
    path = tmp_path / "c.res"
    with kvres.Writer(path, encoding=encoding) as w:
        w.simulation("Freq = 10")
        w.block("pressure", kind=5, ids=ids, values=stored)
        w.block("velocity", kind=4, ids=ids,
                values=np.arange(18, dtype=np.float32).reshape(3, 2, 3))
    with kvres.open(path) as r:
        complex_read = r.read("pressure", 0, read="complex").values
        vector = r.read("velocity", 0, read="complex").values
    factor = 0.01745329238474369
    assert np.array_equal(complex_read[:, 0], stored[:, 0])
    assert np.array_equal(complex_read[:, 1],
                          (stored[:, 1].astype(np.float64) * factor).astype(np.float32))
    assert np.array_equal(vector[:, 0, :], np.arange(18, dtype=np.float32).reshape(3, 2, 3)[:, 0])
    # Phases given in radians come back as those radians.
    radians = complex_read[:, 1]
    again = tmp_path / "again.res"
    with kvres.Writer(again, encoding=encoding) as w:
        w.simulation("Freq = 10")
        w.block("pressure", kind=5, ids=ids,
                values=np.stack([stored[:, 0], radians], axis=1), phase="radians")
    with kvres.open(again) as r:
        assert np.array_equal(r.read("pressure", 0, read="complex").values, complex_read)


def test_input_errors_name_what_is_wrong(tmp_path):
    ids = np.array([1, 2], dtype=np.int32)
    path = tmp_path / "bad.res"
    cases = [
        (lambda w: w.block("t", kind=1, ids=ids, values=np.ones(2, np.float32)),
         "block 't' comes before any simulation"),
        (lambda w: w.simulation("x" * 32), "has 32 characters; its field holds 31"),
        (lambda w: (w.simulation("s"), w.block("t", kind=9, ids=ids, values=None)),
         "data type 't' has kind 9; kinds are 0 to 8"),
        (lambda w: (w.simulation("s"), w.block("t", kind=0, ids=ids, values=np.ones(2))),
         "takes values of shape (n, 3), not (2,)"),
        (lambda w: (w.simulation("s"), w.block("t", kind=1, ids=ids, values=np.ones(3))),
         "data type 't' has 2 ids but 3 records of values"),
        (lambda w: (w.simulation("s"),
                    w.block("t", kind=1, ids=np.array([1, 2**40]), values=np.ones(2))),
         "id 1099511627776 does not fit 32 bits"),
        (lambda w: (w.simulation("Time = 2"),
                    w.block("s", kind=1, ids=ids, values=np.array([1, np.nan], np.float32))),
         "NaN cannot be stored in a Cray file: simulation 0 'Time = 2', data type 's', "
         "entity 2"),
    ]
    for call, words in cases:
        with pytest.raises(kvres.InputError) as caught:
            with kvres.Writer(path, encoding="i8le") as w:
                call(w)
        assert words in str(caught.value)
        assert isinstance(caught.value, ValueError)
        assert not path.exists()
    assert os.listdir(tmp_path) == []


def test_an_exception_keeps_the_old_file(tmp_path):
    path = tmp_path / "out.res"
    path.write_bytes(b"old")
    with pytest.raises(RuntimeError):
        with kvres.Writer(path) as w:
            w.simulation("s")
            w.block("t", kind=1, ids=[1], values=[1.0])
            raise RuntimeError("the computation failed")
    assert path.read_bytes() == b"old"
    assert sorted(os.listdir(tmp_path)) == ["out.res"]


def test_read_compute_write_back(tmp_path):
    """The documented use: read components, compute a field, write it with
    the stored data sets copied alongside."""
    out = tmp_path / "derived.res"
    with kvres.open(EXAMPLES / "beam.res") as src, kvres.Writer(out, encoding="i4be") as w:
        for sim in src.simulations:
            w.simulation(sim.label)
            w.copy(src, sim, data_types=["displacements", "temperature"])
            d = src.read("displacement_NC", sim, read="real")
            magnitude = np.linalg.norm(d.values, axis=1).astype(np.float32)
            w.block("displacement magnitude", kind=1, ids=d.ids, values=magnitude)
    with kvres.open(out) as r, kvres.open(EXAMPLES / "beam.res") as src:
        assert [s.label for s in r.simulations] == [s.label for s in src.simulations]
        names = [t.name for t in r.data_types]
        assert names == ["displacement", "temperature", "displacement magnitude"]
        for sim in range(len(r.simulations)):
            a = src.read("temperature", sim, read="real")
            b = r.read("temperature", sim)
            assert a.values.tobytes() == b.values.tobytes()
            assert np.array_equal(a.ids, b.ids)


def test_write_copies_a_whole_result_and_mappings(tmp_path):
    whole = tmp_path / "whole.res"
    with kvres.open(EXAMPLES / "beam.res") as src:
        kvres.write(whole, src)
        with kvres.open(whole) as copy:
            assert [t.name for t in copy.data_types] == [t.name for t in src.data_types]
            for sim in range(len(src.simulations)):
                for t in src.data_types:
                    a, b = src.read(t, sim), copy.read(t.name, sim)
                    assert a.values.tobytes() == b.values.tobytes()
    simple = tmp_path / "simple.res"
    kvres.write(simple, {"Time = 1": {"p": (1, [5, 6], [0.5, 0.25])},
                         "Time = 2": {"p": {"kind": 1, "ids": [5, 6], "values": [1, 2]}}})
    with kvres.open(simple) as r:
        assert r.read("p", 1).values.tolist() == [1.0, 2.0]


def record_array(ids, values, id_type="<i4", value_type="<f4", pad=0, value_first=False):
    """ids and values as one structured array (fields id, then value) of the
    given field types, with `pad` spare bytes after each record's fields."""
    formats = [np.dtype(id_type), np.dtype((value_type, values.shape[1:]))]
    offsets = [0, formats[0].itemsize]
    if value_first:  # the values lie before the id in memory
        offsets = [formats[1].itemsize, 0]
    names = ["id", "value"]
    itemsize = formats[0].itemsize + formats[1].itemsize + pad
    dtype = np.dtype({"names": names, "formats": formats, "offsets": offsets,
                      "itemsize": itemsize})
    records = np.zeros(len(ids), dtype=dtype)
    records["id"] = ids
    records["value"] = values
    return records


# (kind, shape of a record's values, record layout)
RECORD_CASES = [
    (1, (), {}),                                   # as the file lies: written straight
    (3, (), {"pad": 4}),                           # gaps between records: gathered
    (0, (3,), {}),
    (5, (2,), {"value_first": True}),              # id after the values: through the fields
    (4, (6,), {"id_type": ">i4", "value_type": ">f4"}),  # other byte order
    (8, (3,), {"id_type": "<i8", "value_type": "<f8"}),  # other types: converted
    (4, (2, 3), {}),                               # magnitudes then phases, as read
]


@pytest.mark.parametrize("encoding", ENCODINGS_EXACT + ["i8le"])
@pytest.mark.parametrize("kind,shape,layout", RECORD_CASES)
def test_records_write_the_same_file_as_ids_and_values(tmp_path, encoding, kind, shape, layout):
    # More records than one staging piece holds, so pieces and their edges count.
    n = 150_001 if kind in (1, 3) else 701
    ids = (np.arange(n, dtype=np.int64) * 7 - 5).astype(np.int32)
    values = samples(n * int(np.prod(shape, dtype=int)), kind + 10).reshape((n,) + shape)
    if layout.get("value_type") == "<f8":
        values = values.astype(np.float64)
    records = record_array(ids, values, **layout)
    files = []
    for form in ("arrays", "records"):
        path = tmp_path / f"{form}.res"
        with kvres.Writer(path, encoding=encoding, nan="infinity") as w:
            w.simulation("Time = 1")
            if form == "arrays":
                w.block("field", kind=kind, ids=ids, values=values)
            else:
                w.block("field", kind=kind, records=records)
            w.block("second", kind=1, records=record_array(ids[:3], values.reshape(n, -1)[:3, 0]))
        files.append(path.read_bytes())
    assert files[0] == files[1]


def test_records_keep_the_checks(tmp_path):
    ids = np.array([4, 5, 6], dtype=np.int32)
    path = tmp_path / "bad.res"
    padded_nan = record_array(ids, np.array([1, 2, np.nan], np.float32), pad=8)
    cases = [
        ("i4le", dict(records=record_array(ids, np.ones((3, 2), np.float32))),
         "data type 't' of kind 1 takes values of shape (n, 1) or (n,), not (3, 2)"),
        ("i4le", dict(records=np.ones(3, np.float32)),
         "records must be a one-dimensional structured array of two fields"),
        ("i4le", dict(records=padded_nan, ids=ids), "give records= or ids= and values=, not both"),
        ("i4le", dict(values=np.ones(3, np.float32)), "give ids= (and values=) or records="),
        ("i8be", dict(records=padded_nan),
         "NaN cannot be stored in a Cray file: simulation 0 'Time = 2', data type 't', "
         "entity 6 (record 2, value 0)"),
        ("i8be", dict(records=record_array(ids, np.array([1, np.nan, 2], np.float32))),
         "entity 5 (record 1, value 0)"),
    ]
    for encoding, block, words in cases:
        with pytest.raises(kvres.InputError) as caught:
            with kvres.Writer(path, encoding=encoding) as w:
                w.simulation("Time = 2")
                w.block("t", kind=1, **block)
        assert words in str(caught.value)
        assert not path.exists()
    assert os.listdir(tmp_path) == []


def test_files_of_no_result_being_replaced_are_refused_and_a_source_is_never_replaced(tmp_path):
    """Files that join the target's series go only when they belong to the
    result being replaced, or when asked; a source being copied is never a
    file the write replaces or removes."""
    beam = EXAMPLES / "beam.res"
    stray = tmp_path / "run2.res"
    stray.write_bytes(beam.read_bytes())
    (tmp_path / "RUN5.RES").write_bytes(b"notes")
    with pytest.raises(kvres.InputError, match=r"'RUN5.RES' and 'run2.res' are not part"):
        kvres.Writer(tmp_path / "run.res")
    with pytest.raises(kvres.InputError, match="not part of a result being replaced"):
        kvres.write(tmp_path / "run.res", {"s": {"p": (1, [1], [1.0])}})
    assert sorted(os.listdir(tmp_path)) == ["RUN5.RES", "run2.res"]
    kvres.write(tmp_path / "run.res", {"s": {"p": (1, [1], [1.0])}}, replace_series=True)
    assert sorted(os.listdir(tmp_path)) == ["run.res"]

    # run7.res is read on its own, but a result at run.res would take it in.
    source = tmp_path / "run7.res"
    source.write_bytes(beam.read_bytes())
    words = "would overwrite or join the series of the source"
    with kvres.open(source) as src:
        with pytest.raises(kvres.InputError, match=words):
            kvres.write(tmp_path / "run.res", src)
        with pytest.raises(kvres.InputError, match=words):
            with kvres.Writer(tmp_path / "run.res") as w:
                w.copy(src, None)
        with pytest.raises(kvres.InputError, match=words):
            kvres.write(source, src)
    assert source.read_bytes() == beam.read_bytes()
    assert sorted(os.listdir(tmp_path)) == ["run.res", "run7.res"]


def test_a_nul_in_the_path_is_refused(tmp_path):
    for call in (lambda p: kvres.Writer(p), lambda p: kvres.write(p, {"s": {}})):
        with pytest.raises(ValueError, match="null"):
            call(str(tmp_path / "notes\0.res"))
    assert os.listdir(tmp_path) == []


def test_files_is_empty_after_abort_or_a_failed_close(tmp_path):
    w = kvres.Writer(tmp_path / "a.res")
    w.simulation("s")
    w.abort()
    assert w.closed and w.files == []
    os.mkdir(tmp_path / "b0.res")  # the second file of the series cannot take its name
    w = kvres.Writer(tmp_path / "b.res", simulations=70000)
    for s in range(65536):
        w.simulation("s")
    with pytest.raises(kvres.WriteError, match="b0.res"):
        w.close()
    assert w.closed and w.files == []
    assert sorted(os.listdir(tmp_path)) == ["b0.res"]


def test_one_writer_shared_by_threads_loses_nothing(tmp_path):
    """Calls from several threads run one after another: every block that
    returned is in the file with its values; abort() and close() wait for a
    call in progress."""
    import threading
    path = tmp_path / "shared.res"
    threads, blocks, n = 4, 40, 20000
    ids = np.arange(n, dtype=np.int32)
    with kvres.Writer(path, encoding="i4be") as w:
        w.simulation("s")
        errors = []

        def work(t):
            try:
                for b in range(blocks):
                    values = np.full(n, t * 1000 + b, dtype=np.float32)
                    w.block(f"t{t} b{b}", kind=1, ids=ids, values=values)
            except Exception as error:  # pragma: no cover - reported below
                errors.append(error)

        running = [threading.Thread(target=work, args=(t,)) for t in range(threads)]
        for thread in running:
            thread.start()
        for thread in running:
            thread.join()
        assert errors == []
    with kvres.open(path) as r:
        assert len(r.data_types) == threads * blocks
        for t in range(threads):
            for b in range(blocks):
                values = r.read(f"t{t} b{b}", 0).values
                assert np.array_equal(values, np.full(n, t * 1000 + b, np.float32))

    # abort() from another thread while blocks are being written: each call
    # either completes before it or is refused after it; nothing is left.
    w = kvres.Writer(tmp_path / "aborted.res", encoding="i8be")
    w.simulation("s")
    outcomes = []

    def writer_thread():
        for b in range(200):
            try:
                w.block(f"b{b}", kind=1, ids=ids, values=np.ones(n, np.float32))
                outcomes.append("written")
            except kvres.InputError as error:
                assert "closed" in str(error)
                outcomes.append("refused")

    thread = threading.Thread(target=writer_thread)
    thread.start()
    while not outcomes:
        pass
    w.abort()
    thread.join()
    assert "refused" in outcomes and outcomes[-1] == "refused"
    assert outcomes == sorted(outcomes, key=lambda o: o == "refused")
    assert os.listdir(tmp_path) == ["shared.res"]


@pytest.mark.parametrize("blocks,shown", [
    # (name, kind) written in one simulation -> the names kvres.open shows
    ([("accel", 4), ("t", 1)], ["accel", "t"]),
    ([("v", 4), ("displacement_NC", 0)], ["v", "displacement_NC"]),
    ([("heat", 7)], ["heat:Magnitude", "heat:Phase", "heat:Offset"]),
])
def test_names_read_back_as_given(tmp_path, blocks, shown):
    path = tmp_path / "n.res"
    with kvres.Writer(path) as w:
        w.simulation("s")
        for name, kind in blocks:
            reals = {0: 3, 1: 1, 4: 6, 7: 3}[kind]
            w.block(name, kind=kind, ids=[1], values=np.ones((1, reals), np.float32))
    with kvres.open(path) as r:
        assert [t.name for t in r.data_types] == shown


def test_names_a_reader_would_change_or_merge_are_refused(tmp_path):
    cases = [
        ([("displacements", 0)], "would read back as 'displacement'"),
        ([("velocity", 1), ("velocity", 4)], "would show as 'velocity'"),
        ([("d", 0), ("v", 6)], "would read back as 'd_NC'"),
    ]
    for blocks, words in cases:
        with pytest.raises(kvres.InputError, match=words):
            with kvres.Writer(tmp_path / "n.res") as w:
                w.simulation("s")
                for name, kind in blocks:
                    reals = {0: 3, 1: 1, 4: 6, 6: 2}[kind]
                    w.block(name, kind=kind, ids=[1], values=np.ones((1, reals), np.float32))
    with kvres.Writer(tmp_path / "n.res", names="stored") as w:
        w.simulation("s")
        w.block("accel (c)", kind=4, ids=[1], values=np.ones((1, 6), np.float32))
    with kvres.open(tmp_path / "n.res") as r:
        assert [t.name for t in r.data_types] == ["accel"]


def test_python_mistakes_raise_errors_that_name_them(tmp_path):
    path = tmp_path / "e.res"
    src = kvres.open(EXAMPLES / "beam.res")
    cases = [
        (lambda w: (w.simulation("s"), w.block("t", kind=1, ids=[1, 2], values=["a", "b"])),
         TypeError, "data type 't': values must be real numbers"),
        (lambda w: (w.simulation("s"), w.block("t", kind=1, ids=[1], values=[1 + 2j])),
         kvres.InputError, "values are complex"),
        (lambda w: w.simulation(sync="abc"), TypeError, "sync must be a number, not str"),
        (lambda w: w.simulation(sync=1e39), kvres.InputError, "out of the float range"),
        (lambda w: w.simulation(5), TypeError, "label must be a str, not int"),
        (lambda w: w.copy(src, 0), kvres.InputError, "no simulation begun"),
        (lambda w: w.copy(src, None, data_types=["temprature"]), kvres.InputError,
         "no data type named 'temprature'"),
    ]
    for call, error, words in cases:
        with pytest.raises(error, match=words) as caught:
            with kvres.Writer(path) as w:
                call(w)
        assert "salvage" not in str(caught.value)
    src.close()
    with pytest.raises(ValueError, match="closed"):
        kvres.write(path, src)
    with pytest.raises(TypeError, match="label must be a str, not float"):
        kvres.write(path, {0.5: {"p": (1, [1], [1.0])}})
    assert os.listdir(tmp_path) == []


def test_write_takes_any_mapping_and_the_writers_options(tmp_path):
    from types import MappingProxyType
    path = tmp_path / "m.res"
    kvres.write(path, MappingProxyType({"Time = 1": {"p": (1, [5], [0.5])}}),
                encoding="i8be", simulations=1, durable=True, title="T")
    with kvres.open(path) as r:
        assert r.read("p", 0).values.tolist() == [0.5]


def test_full_fields_and_an_empty_result_write_back(tmp_path):
    """A label filling its 31 bytes and header texts filling their 81 are
    written whole; a result with no simulation is written as one."""
    path = tmp_path / "full.res"
    label = "Time = 0.5" + "x" * 21
    with kvres.Writer(path, title="t" * 81, subtitle="s" * 81) as w:
        w.simulation(label)
    with kvres.open(path) as r:
        assert [s.label for s in r.simulations] == [label]
    copy = tmp_path / "copy.res"
    with kvres.open(path) as r:
        kvres.write(copy, r)
    with kvres.open(copy) as r:
        assert [s.label for s in r.simulations] == [label]
    assert copy.read_bytes() == path.read_bytes()  # the header texts kept too
    empty = tmp_path / "empty.res"
    kvres.Writer(empty).close()
    with kvres.open(empty) as r:
        assert len(r.simulations) == 0


# --- property: whatever kvres.Writer accepts, kvres.open reads back as given

REALS = {0: 3, 1: 1, 2: 0, 3: 1, 4: 6, 5: 2, 6: 2, 7: 3, 8: 3}
# The spellings the reader merges (in several letter cases), the parts the
# name rules add or take off, and plain names.
NAMES = ["displacements", "nodal displacement", "Displacement", "displacement_NC", "accel",
         "accel (c)", "x", "x:Phase", "foo", "foo_NC", "velocity", "t", "DISPLACEMENTS",
         "Nodal Displacement", "displacement", "displacements (c)", "Displacements (C)",
         "displacement (c)"]
DEGREES = 0.01745329238474369


def _result_strategy():
    from hypothesis import strategies as st
    floats = st.one_of(st.floats(width=32, allow_nan=False),
                       st.sampled_from([0.0, -0.0, np.inf, -np.inf, 1e-45, 3.4e38]),
                       st.just(np.nan).filter(lambda _: True))
    block = st.builds(
        lambda name, kind, records: (name, kind, records),
        st.one_of(st.sampled_from(NAMES), st.text(st.characters(min_codepoint=32,
                                                                max_codepoint=126),
                                                  min_size=1, max_size=31)),
        st.integers(0, 8),
        st.lists(st.tuples(st.integers(-2**31, 2**31 - 1), st.lists(floats, min_size=6,
                                                                    max_size=6)),
                 max_size=4))
    label = st.text(st.characters(min_codepoint=32, max_codepoint=126), max_size=32)
    simulation = st.tuples(label, st.lists(block, max_size=4))
    return st.tuples(st.sampled_from(["i4le", "i4be", "i8le", "i8be"]),
                     st.lists(simulation, max_size=3))


def _same(encoding, got, expected):
    got = np.asarray(got, np.float32)
    expected = np.asarray(expected, np.float32)
    if encoding != "i8le":
        # Bit for bit (NaN payloads too in 4-byte files; Cray files refuse NaN).
        return got.tobytes() == expected.tobytes()
    exact = ~np.isfinite(expected) | (expected == 0)
    if not np.array_equal(got[exact], expected[exact]):
        return False
    rest = ~exact
    error = np.abs(got[rest].astype(np.float64) - expected[rest])
    bound = np.maximum(np.abs(expected[rest].astype(np.float64)) * 2.0 ** -16, 64 * 2.0 ** -149)
    return bool(np.all(error <= bound))


def test_property_whatever_the_writer_accepts_reads_back_as_given(tmp_path_factory):
    hypothesis = pytest.importorskip("hypothesis")

    @hypothesis.settings(max_examples=150, deadline=None, database=None,
                         suppress_health_check=list(hypothesis.HealthCheck))
    @hypothesis.given(_result_strategy())
    def check(drawn):
        encoding, simulations = drawn
        folder = tmp_path_factory.mktemp("p")
        path = folder / "p.res"
        written = []
        try:
            with kvres.Writer(path, encoding=encoding) as w:
                for label, blocks in simulations:
                    w.simulation(label)
                    kept = []
                    for name, kind, records in blocks:
                        ids = np.array([r[0] for r in records], np.int64)
                        values = np.array([r[1][:REALS[kind]] for r in records],
                                          np.float32).reshape(len(records), REALS[kind])
                        w.block(name, kind=kind, ids=ids, values=values)
                        kept.append((name, kind, ids, values))
                    written.append((label, kept))
        except kvres.InputError:
            assert os.listdir(folder) == []
            return
        with kvres.open(path) as r:
            assert [s.label for s in r.simulations] == [label for label, _ in written]
            for index, (_, blocks) in enumerate(written):
                for name, kind, ids, values in blocks:
                    if kind == 2:
                        continue
                    if kind in (7, 8):
                        parts = [r.read(f"{name}:{p}", index, read="real")
                                 for p in ("Magnitude", "Phase", "Offset")]
                        got_ids = parts[0].ids
                        got = np.stack([p.values for p in parts], axis=1)
                        expected = values
                    elif kind in (4, 5, 6):
                        data = r.read(name, index, read="complex")
                        got_ids = data.ids
                        magnitudes, phases = values[:, 0::2], values[:, 1::2]
                        radians = (phases.astype(np.float64) * DEGREES).astype(np.float32)
                        expected = np.concatenate([magnitudes, radians], axis=1)
                        if kind != 4:
                            expected = np.stack([magnitudes[:, 0], radians[:, 0]], axis=1)
                        got = data.values.reshape(expected.shape)
                        if encoding == "i8le":  # phases are rounded twice: only ids checked
                            got, expected = got[:, :0], expected[:, :0]
                    else:
                        data = r.read(name, index, read="real")
                        got_ids, got = data.ids, data.values.reshape(values.shape)
                        expected = values
                    assert np.array_equal(got_ids, ids), (name, kind)
                    assert _same(encoding, got.ravel(), expected.ravel()), (name, kind)

    check()


def test_convert_refuses_unasked_series_files_and_names_the_removed_ones(tmp_path):
    import subprocess
    from conftest import TOOL
    beam = EXAMPLES / "beam.res"
    (tmp_path / "run2.res").write_bytes(b"a")
    (tmp_path / "RUN5.RES").write_bytes(b"b")
    out = str(tmp_path / "run.res")
    run = subprocess.run([TOOL, "convert", str(beam), out], capture_output=True, text=True)
    assert run.returncode == 2, run.stderr
    assert "'RUN5.RES' and 'run2.res' are not part of a result being replaced" in run.stderr
    assert sorted(os.listdir(tmp_path)) == ["RUN5.RES", "run2.res"]
    run = subprocess.run([TOOL, "convert", str(beam), out, "--replace-series"],
                         capture_output=True, text=True)
    assert run.returncode == 0, run.stderr
    assert sorted(os.listdir(tmp_path)) == ["run.res"]
    # A result being replaced: its members the new one does not use go, named.
    (tmp_path / "run7.res").write_bytes(b"c")
    run = subprocess.run([TOOL, "convert", str(beam), out], capture_output=True, text=True)
    assert run.returncode == 0, run.stderr
    assert run.stdout == f"removed: {tmp_path / 'run7.res'} (a file of the replaced result)\n"


@pytest.mark.parametrize("with_bar", [False, True], ids=["quiet", "bar"])
@pytest.mark.parametrize("signal_name", ["SIGINT", "SIGTERM"])
def test_convert_removes_its_temporary_file_when_interrupted(tmp_path, signal_name, with_bar):
    # The signal comes as soon as the first temporary file shows, the moment
    # a handler installed too late would miss; with a progress bar on a
    # terminal, the bar's own handler must hand over to the removal.
    import pty
    import signal
    import subprocess
    import time
    from conftest import TOOL
    source = tmp_path / "big.res"
    n = 1_000_000
    with kvres.Writer(source) as w:
        for s in range(6):
            w.simulation(f"Time = {s}")
            w.block("v", kind=0, ids=np.arange(n, dtype=np.int32),
                    values=np.ones((n, 3), np.float32))
    out = tmp_path / "out" / "copy.res"
    out.parent.mkdir()
    terminal = pty.openpty() if with_bar else None
    child = subprocess.Popen([TOOL, "convert", str(source), str(out), "--encoding", "i8le"],
                             stdout=subprocess.DEVNULL,
                             stderr=terminal[1] if terminal else subprocess.DEVNULL)
    if terminal:
        os.close(terminal[1])
        import threading

        shown = threading.Event()

        def drain():  # a full terminal would hold the bar's writes
            try:
                while chunk := os.read(terminal[0], 4096):
                    if b"simulations" in chunk:
                        shown.set()
            except OSError:  # the child has gone
                pass
            os.close(terminal[0])
        threading.Thread(target=drain, daemon=True).start()
    deadline = time.monotonic() + 30
    while not os.listdir(out.parent) and time.monotonic() < deadline:
        time.sleep(0.001)
    if terminal:
        shown.wait(30)
    child.send_signal(getattr(signal, signal_name))
    code = child.wait(30)
    if code == 0:
        pytest.skip("convert ended before the signal came")
    assert code == -getattr(signal, signal_name)
    assert os.listdir(out.parent) == []


def test_copying_a_data_type_the_simulation_holds_is_the_callers_mistake(tmp_path):
    with kvres.open(EXAMPLES / "beam.res") as src, kvres.Writer(tmp_path / "c.res") as w:
        w.simulation("s")
        w.copy(src, 0, data_types=["temperature"])
        with pytest.raises(kvres.InputError, match="'temperature' is already in") as caught:
            w.copy(src, 0, data_types=["temperature"])
        assert "salvage" not in str(caught.value)
