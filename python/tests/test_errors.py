"""Every failure the module reports, raised as the exception it names."""
import os
import pickle
import socket
import threading

import numpy as np
import pytest

import kvres
from conftest import result_files


def test_a_missing_path_raises_file_not_found(tmp_path):
    with pytest.raises(FileNotFoundError):
        kvres.open(tmp_path / "missing.res")
    with pytest.raises(IsADirectoryError):
        kvres.open(tmp_path)
    with pytest.raises(ValueError):
        kvres.open("beam\0.res")


def _closed(path):
    result = kvres.open(path)
    result.close()
    return result


# (what is done, the kvres error it raises, the built-in exception it still is)
_FAILURES = [
    ("missing", lambda t, b, m: kvres.open(t / "missing.res"),
     kvres.FileNotFoundError, FileNotFoundError),
    ("folder", lambda t, b, m: kvres.open(t), kvres.IsADirectoryError, IsADirectoryError),
    ("fifo", lambda t, b, m: (os.mkfifo(t / "p.res"), kvres.open(t / "p.res")),
     kvres.ReadError, OSError),
    ("title", lambda t, b, m: kvres.open(m / "lower-case-title.res"),
     kvres.NotRecognizedError, ValueError),
    ("type", lambda t, b, m: kvres.open(b).read("no such type", 0),
     kvres.DataTypeNotFoundError, KeyError),
    ("simulation", lambda t, b, m: kvres.open(b).read("temperature", 2**40),
     kvres.SimulationIndexError, IndexError),
    ("no values", lambda t, b, m: kvres.open(m / "partial.res").read("temperature", 0),
     kvres.NoValuesError, LookupError),
    ("closed", lambda t, b, m: _closed(b).data_types, kvres.ClosedError, ValueError),
    ("copy closed", lambda t, b, m: kvres.Writer(t / "o.res").copy(_closed(b)),
     kvres.ClosedError, ValueError),
    ("write", lambda t, b, m: kvres.Writer(t / "no" / "o.res").simulation("Time", 1.0),
     kvres.WriteError, RuntimeError),
    ("input", lambda t, b, m: kvres.Writer(t / "o.res").block("x", kind=1, ids=[1], values=[1.0]),
     kvres.InputError, ValueError),
]


@pytest.mark.parametrize("call,kvres_type,builtin", [f[1:] for f in _FAILURES],
                         ids=[f[0] for f in _FAILURES])
def test_every_failure_is_a_kvres_error_and_still_the_builtin_it_was(
        tmp_path, beam, matrix, call, kvres_type, builtin):
    with pytest.raises(kvres.Error) as raised:
        call(tmp_path, beam, matrix)
    assert type(raised.value) is kvres_type, raised.value
    assert isinstance(raised.value, builtin)
    if isinstance(raised.value, OSError):
        assert isinstance(raised.value, kvres.ReadError)
    # Each travels between processes (a dask worker's failure) as itself.
    copy = pickle.loads(pickle.dumps(raised.value))
    assert type(copy) is kvres_type and str(copy) == str(raised.value)


def test_the_error_classes_form_one_tree():
    import kvres.xarray
    assert kvres.xarray.ReadError is kvres.ReadError
    for name in kvres.__all__:
        if name.endswith("Error"):
            assert issubclass(getattr(kvres, name), kvres.Error), name
    assert issubclass(kvres.InputError, kvres.WriteError)
    assert issubclass(kvres.ReadError, OSError) and issubclass(kvres.Error, Exception)


def test_an_unrecognised_title_is_refused_unless_forced(matrix):
    path = matrix / "lower-case-title.res"
    with pytest.raises(kvres.NotRecognizedError, match="lower-case-title.res"):
        kvres.open(path)
    assert issubclass(kvres.NotRecognizedError, ValueError)
    with kvres.open(os.fspath(path).encode(), force=True) as result:
        assert not result.recognized
        assert len(result.simulations) == 1


def test_an_unknown_data_type_names_the_known_ones(beam):
    with kvres.open(beam) as result:
        with pytest.raises(KeyError, match="'temperature'") as raised:
            result.read("temprature", 0)
        assert "temprature" in str(raised.value)
        with pytest.raises(KeyError):
            result.entity_ids("heat flux")
        with pytest.raises(KeyError):
            result.history("Temperature", 1)


def test_simulation_indices_follow_python_sequences(beam):
    with kvres.open(beam) as result:
        count = len(result.simulations)
        last = result.read("temperature", -1)
        assert last.simulation == count - 1
        assert result.read("temperature", np.int64(1)).simulation == 1
        for index in (count, -count - 1, 2**40, 2**70):
            with pytest.raises(IndexError):
                result.read("temperature", index)
        with pytest.raises(TypeError):
            result.read("temperature", True)


def test_a_data_type_without_a_block_raises_lookup_error(matrix):
    with kvres.open(matrix / "partial.res") as result:
        with pytest.raises(LookupError) as raised:
            result.read("temperature", 0)
        assert not isinstance(raised.value, (KeyError, IndexError))
        assert result.read("temperature", 1).ids.tolist() == [2, 1]
        assert result.entity_ids("temperature").size == 0
        history = result.history("temperature", 1)
        assert np.isnan(history.values[0]) and history.values[1] == 10.0


def test_a_bad_read_mode_or_argument_raises(beam):
    with kvres.open(beam) as result:
        with pytest.raises(ValueError, match="read must be"):
            result.read("temperature", 0, read="imaginary")
        with pytest.raises(TypeError):
            result.read(3, 0)


def test_an_exception_raised_by_an_argument_passes_through(beam):
    class Path:
        def __fspath__(self):
            raise ZeroDivisionError("from the path")

    with pytest.raises(ZeroDivisionError, match="from the path"):
        kvres.open(Path())


def test_why_a_file_is_not_recognised_is_said_truly(tmp_path, matrix):
    cases = {b"": "empty", b"Korvane": "only 7 bytes",
             b"K": "only 1 byte", b"Other Results" + b"\0" * 300: "does not begin with the title"}
    for index, (content, words) in enumerate(cases.items()):
        path = tmp_path / f"case{index}.res"
        path.write_bytes(content)
        with pytest.raises(kvres.NotRecognizedError, match=words):
            kvres.open(path)
    with pytest.raises(kvres.NotRecognizedError, match="does not begin with the title"):
        kvres.open(matrix / "lower-case-title.res")


def test_an_argument_that_closes_the_result_gets_value_error(beam):
    """Arguments are converted before the result is used: closing it from an
    argument's own methods gives the closed result's ValueError, never a crash."""

    def closing(result):
        class Index:
            def __index__(self):
                result.close()
                return 1
        return Index()

    for use in (lambda r: r.read("temperature", closing(r)),
                lambda r: r.history("temperature", closing(r)),
                lambda r: r.read("temperature", closing(r), read="real")):
        result = kvres.open(beam)
        with pytest.raises(ValueError, match="closed"):
            use(result)
        assert result.closed

    class Name(str):
        def __eq__(self, other):
            result.close()
            return str.__eq__(self, other)

        __hash__ = str.__hash__

        def __str__(self):
            result.close()
            return "temperature"

    # The characters of a str subclass are its name; its methods are not run.
    result = kvres.open(beam)
    assert result.read(Name("temperature"), 0).ids.size > 0
    assert result.entity_ids(Name("temperature")).size > 0
    result.close()


def test_ids_and_indices_outside_32_bits_are_refused_with_a_message(beam):
    with kvres.open(beam) as result:
        for entity in (2**31, -2**31 - 1, 2**40, 2**70, -2**70):
            with pytest.raises(OverflowError, match="entity id .* outside the 32-bit range"):
                result.history("temperature", entity)
        assert result.history("temperature", np.int64(1)).values.size > 0
        assert np.isnan(result.history("temperature", 2**31 - 1).values).all()
        for index in (2**31, 2**63, 2**70, -2**70):
            with pytest.raises(IndexError, match="simulation index"):
                result.read("temperature", index)
        with pytest.raises(TypeError):
            result.history("temperature", 1.0)


def returns_at_once(fifo, call):
    """Runs `call` on a thread; when it still waits after ten seconds, the
    FIFO gets a writer that closes at once (releasing the call) and the test
    fails. Returns what the call raised."""
    outcome = {}

    def run():
        try:
            call()
        except BaseException as error:  # noqa: B902 - handed to the test
            outcome["raised"] = error

    thread = threading.Thread(target=run, daemon=True)
    thread.start()
    thread.join(10)
    waited = thread.is_alive()
    while thread.is_alive():
        try:
            os.close(os.open(fifo, os.O_WRONLY | os.O_NONBLOCK))
        except OSError:
            pass
        thread.join(0.1)
    assert not waited, "the call waited on the FIFO"
    return outcome.get("raised")


def test_what_is_not_a_regular_file_raises_os_error_at_once(tmp_path):
    fifo = tmp_path / "pipe.res"
    os.mkfifo(fifo)
    listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    listener.bind(os.fspath(tmp_path / "socket.res"))
    try:
        for path, words in ((fifo, "FIFO"), (tmp_path / "socket.res", "socket"),
                            ("/dev/null", "character device")):
            for force in (False, True):
                raised = returns_at_once(fifo, lambda: kvres.open(path, force=force))
                assert type(raised) is kvres.ReadError, raised
                assert words in str(raised) and os.fspath(path) in str(raised)
        raised = returns_at_once(fifo, lambda: kvres.open(tmp_path, force=True))
        assert isinstance(raised, IsADirectoryError)
    finally:
        listener.close()


def test_read_into_checks_its_output_and_part(beam):
    with kvres.open(beam) as result:
        ids = result.entity_ids("temperature")
        out = np.empty(ids.size, np.float32)
        assert result.read_into("temperature", 0, "real", "real", ids, out) == 0
        np.testing.assert_array_equal(out, result.read("temperature", 0, "real").values)
        for bad in (np.empty(ids.size, np.float64), np.empty(ids.size + 1, np.float32),
                    np.empty(ids.size, ">f4"), np.empty((ids.size, 2), np.float32),
                    np.empty(2 * ids.size, np.float32)[::2]):
            with pytest.raises(TypeError, match="out must be"):
                result.read_into("temperature", 0, "real", "real", ids, bad)
        with pytest.raises(ValueError, match="part must be"):
            result.read_into("temperature", 0, "real", "imaginary", ids, out)
        with pytest.raises(ValueError, match="do not fit part"):
            result.read_into("temperature", 0, "real", "magnitude", ids, out)
    with kvres.open(beam) as result:
        result.close()
        with pytest.raises(ValueError, match="closed"):
            result.read_into("temperature", 0, "real", "real", ids, out)


@pytest.mark.parametrize("path", result_files(), ids=lambda p: p.name)
def test_read_range_into_gives_what_read_into_gives_for_each_simulation(path):
    """The batched read (one file open for the run of blocks) against the
    read of one block at a time, for every data type and part that fits, on
    every file of the matrix, damaged ones included."""
    with kvres.open(path, force=True) as result:
        count = len(result.simulations)
        reads = ["real", "complex"] if result.subcase is not None and \
            result.subcase.is_complex else ["real"]
        for data_type in result.data_types:
            ids = np.asarray(result.entity_ids(data_type.name), np.int32)
            shape = (ids.size, 3) if data_type.format == "vector" else (ids.size,)
            for read in reads:
                for part in (["real"] if read == "real" else ["complex", "magnitude", "phase"]):
                    dtype = np.complex64 if part == "complex" else np.float32
                    single = np.empty((count,) + shape, dtype)
                    try:
                        answers = [result.read_into(data_type.name, sim, read, part, ids,
                                                    single[sim]) for sim in range(count)]
                    except ValueError:
                        continue  # this part does not fit the data type's blocks
                    batch = np.full((count,) + shape, 7, dtype)
                    got = result.read_range_into(data_type.name, 0, count, read, part, ids,
                                                 batch)
                    assert got.tolist() == answers
                    np.testing.assert_array_equal(batch, single)
                    if count > 2:
                        middle = np.empty((count - 2,) + shape, dtype)
                        result.read_range_into(data_type.name, 1, count - 1, read, part, ids,
                                               middle)
                        np.testing.assert_array_equal(middle, single[1:-1])


def test_read_range_into_checks_its_range_and_output(beam):
    with kvres.open(beam) as result:
        ids = result.entity_ids("temperature")
        count = len(result.simulations)
        out = np.empty((2, ids.size), np.float32)
        for start, stop in ((0, 1), (0, 3), (-2, 0), (count - 1, count + 1), (2, 0)):
            with pytest.raises((ValueError, IndexError)):
                result.read_range_into("temperature", start, stop, "real", "real", ids, out)
        for bad in (np.empty((2, ids.size), np.float64), np.empty(ids.size, np.float32),
                    np.empty((2, ids.size + 1), np.float32)):
            with pytest.raises(TypeError, match="out must be"):
                result.read_range_into("temperature", 0, 2, "real", "real", ids, bad)
        empty = np.empty((0, ids.size), np.float32)
        assert result.read_range_into("temperature", 1, 1, "real", "real", ids, empty).size == 0


@pytest.mark.parametrize("path", result_files(), ids=lambda p: p.name)
def test_union_entity_ids_is_the_union_of_entity_ids(path):
    """Against the plain reading, on every file of the matrix: each binding's
    data types together, each alone, and the same data type twice."""
    with kvres.open(path, force=True) as result:
        names = [t.name for t in result.data_types]
        groups = [[t.name for t in result.data_types if t.binding == b]
                  for b in ("nodes", "elements")]
        groups += [[name] for name in names] + [names[:1] * 2, []]
        for group in groups:
            plain = np.unique(np.concatenate(
                [np.asarray(result.entity_ids(name), np.int32) for name in group] +
                [np.empty(0, np.int32)]))
            got = result.union_entity_ids(group)
            assert got.dtype == np.int32
            np.testing.assert_array_equal(got, plain)


@pytest.mark.parametrize("path", result_files(), ids=lambda p: p.name)
def test_summary_gathers_what_the_single_calls_give(path):
    """summary (one call) against subcase, simulation_table, data_types,
    union_entity_ids and files asked one by one, without and with a data type
    dropped."""
    with kvres.open(path, force=True) as result:
        names = [t.name for t in result.data_types]
        for drop in ([], names[:1], names[1:2] + ["not there", 3]):
            summary = result.summary(drop)
            kept = [t for t in result.data_types if t.name not in drop]
            subcase = result.subcase
            got = summary["subcase"]
            assert (got is None) == (subcase is None)
            if subcase is not None:
                assert (got.id, got.label, got.is_complex) == \
                    (subcase.id, subcase.label, subcase.is_complex)
            sync, labels = result.simulation_table()
            np.testing.assert_array_equal(summary["sync"], sync)
            assert summary["labels"] == labels
            assert [(t.name, t.binding, t.format, t.kind) for t in summary["data_types"]] == \
                [(t.name, t.binding, t.format, t.kind) for t in kept]
            for binding in ("nodes", "elements"):
                want = result.union_entity_ids([t.name for t in kept if t.binding == binding])
                np.testing.assert_array_equal(summary["ids"][binding], want)
            assert [(f.name, f.title, f.text, f.encoding) for f in summary["files"]] == \
                [(f.name, f.title, f.text, f.encoding) for f in result.files]
            # The backend's brief form: the same answers, less 'labels' and 'ids'.
            brief = result.summary(drop, brief=True)
            assert brief.keys() == summary.keys() - {"labels", "ids"}
            np.testing.assert_array_equal(brief["sync"], summary["sync"])
            np.testing.assert_array_equal(brief["label_array"], summary["label_array"])
            assert brief["label_array"].tolist() == labels
            assert [repr(t) for t in brief["data_types"]] == \
                [repr(t) for t in summary["data_types"]]


def _plain_summary(path, drop):
    with kvres.open(path, force=True) as result:
        summary = result.summary(drop)
        assert summary["recognized"] == result.recognized
        return summary


def _same_summary(got, want):
    assert got.keys() == want.keys()
    assert repr(got["subcase"]) == repr(want["subcase"])
    np.testing.assert_array_equal(got["sync"], want["sync"])
    assert got["labels"] == want["labels"]
    assert [repr(t) for t in got["data_types"]] == [repr(t) for t in want["data_types"]]
    for binding in ("nodes", "elements"):
        np.testing.assert_array_equal(got["ids"][binding], want["ids"][binding])
        assert got["ids"][binding].dtype == np.int32
    assert [(f.name, f.title, f.text, f.encoding) for f in got["files"]] == \
        [(f.name, f.title, f.text, f.encoding) for f in want["files"]]
    assert got["recognized"] == want["recognized"]


@pytest.mark.parametrize("threads", [1, 3, 0])
def test_summaries_of_many_files_are_each_files_summary_in_order(threads):
    """The batch against one open and summary a file, on every file at once
    (recognised or not), so that threads take files in any order."""
    paths = result_files()
    for drop in ([], ["temperature", "displacement", 7]):
        got = kvres.summaries(paths, drop, True, threads)
        assert len(got) == len(paths)
        for path, summary in zip(paths, got):
            _same_summary(summary, _plain_summary(path, drop))


def _open_descriptors():
    return len(os.listdir("/proc/self/fd"))


def test_summaries_raise_for_the_first_file_that_cannot_be_opened(tmp_path, matrix, beam):
    strange = matrix / "lower-case-title.res"
    missing = tmp_path / "missing.res"
    before = _open_descriptors()
    with pytest.raises(kvres.NotRecognizedError, match="lower-case-title.res"):
        kvres.summaries([beam] * 5 + [strange] + [beam] * 5)
    with pytest.raises(FileNotFoundError):
        kvres.summaries([beam, strange, missing])
    with pytest.raises(IsADirectoryError):
        kvres.summaries([tmp_path])
    with pytest.raises(ValueError, match="null byte"):
        kvres.summaries([beam, "beam\0.res"])
    assert _open_descriptors() == before
    forced = kvres.summaries([os.fspath(strange).encode(), beam], force=True)
    assert [s["recognized"] for s in forced] == [False, True]
    assert kvres.summaries([]) == []
    with pytest.raises(TypeError):
        kvres.summaries([beam, 3])


def test_union_entity_ids_checks_its_data_types(beam):
    with kvres.open(beam) as result:
        with pytest.raises(LookupError, match="heat flux"):
            result.union_entity_ids(["temperature", "heat flux"])
        with pytest.raises(TypeError):
            result.union_entity_ids(["temperature", 3])
        types = result.data_types
        assert result.union_entity_ids(types[:1]).tolist() == \
            result.entity_ids(types[0]).tolist()
    with pytest.raises(ValueError, match="closed"):
        result.union_entity_ids(["temperature"])
    with pytest.raises(ValueError, match="closed"):
        result.summary()


@pytest.mark.parametrize("shape,dtype", [((0,), np.float32), ((3, 5), np.complex64),
                                         ((2, 4, 3), np.float32), ((7,), np.uint8)])
def test_pooled_empty_gives_writable_arrays_that_keep_their_values(shape, dtype):
    arrays = [kvres._kvres.pooled_empty(shape, np.dtype(dtype)) for _ in range(3)]
    for value, array in enumerate(arrays):
        assert array.shape == shape and array.dtype == dtype and array.flags.c_contiguous
        array[...] = value
    del arrays[0]
    again = kvres._kvres.pooled_empty(shape, np.dtype(dtype))
    again[...] = 9
    assert all((array == value + 1).all() for value, array in enumerate(arrays))
    with pytest.raises(ValueError):
        kvres._kvres.pooled_empty((-1,), np.dtype(np.float32))
    with pytest.raises(MemoryError):
        kvres._kvres.pooled_empty((1 << 40, 1 << 40), np.dtype(np.float32))
