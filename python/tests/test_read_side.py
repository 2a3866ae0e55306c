"""A read gives the file's values as complete, or says that it could not:
names the platform reads differently, files changed after the open, read_into
on every shape, the pooled arrays, summaries' arguments and a fork."""
import math
import os
import signal
import threading
import time

import numpy as np
import pytest

import kvres


def write_pair(path, magnitude=1.0):
    """Two simulations: a complex vector "velocity" and a scalar "pressure"
    whose block repeats entity 2."""
    with kvres.Writer(path, names="stored") as w:
        for sim in range(2):
            w.simulation(f"Freq = {sim + 1}")
            w.block("velocity (c)", kind=4, ids=np.array([1, 2, 3], np.int32),
                    values=(np.arange(18, dtype=np.float32).reshape(3, 2, 3) + magnitude))
            w.block("pressure", kind=5, ids=np.array([1, 2, 2, 4], np.int32),
                    values=np.array([[1, 90], [2, 180], [9, -90], [4, 0]], np.float32))


def test_a_backslash_is_part_of_a_name_outside_windows(tmp_path):
    write_pair(tmp_path / "back\\slash.res")
    write_pair(tmp_path / "slash.res", magnitude=50.0)
    with kvres.open(tmp_path / "back\\slash.res") as result:
        assert len(result.simulations) == 2
        assert [f.name for f in result.files] == [os.fspath(tmp_path / "back\\slash.res")]
        assert result.read("velocity", 0, "real").values[0, 0] == 1.0
    (summary,) = kvres.summaries([tmp_path / "back\\slash.res"])
    assert summary["sync"].size == 2


@pytest.mark.parametrize("change", ["replaced", "rewritten", "removed", "working directory"])
def test_a_file_changed_after_the_open_never_gives_other_values(tmp_path, change, monkeypatch):
    """The result reads the file it was opened on (it may hold the file it
    read last open) or raises OSError; a file rewritten where it stands
    always raises, and so does a series file replaced while another is read."""
    path = tmp_path / "run.res"
    write_pair(path)
    write_pair(tmp_path / "run1.res", magnitude=20.0)
    monkeypatch.chdir(tmp_path)
    elsewhere = tmp_path / "elsewhere"
    elsewhere.mkdir()
    with kvres.open("run.res") as result:
        assert len(result.simulations) == 4
        before = [result.read("velocity", sim, "real").values.copy() for sim in range(4)]
        write_pair(elsewhere / "run.res", magnitude=50.0)  # the same length, other values
        write_pair(elsewhere / "run1.res", magnitude=60.0)
        time.sleep(0.02)  # past the tick that stamps modification times
        if change == "replaced":
            os.replace(elsewhere / "run.res", path)
        elif change == "rewritten":
            with open(path, "r+b") as file:  # in place, the same length
                data = bytearray(file.read())
                data[-4:] = b"\0\0\x80\x7f"
                file.seek(0)
                file.write(data)
        elif change == "removed":
            path.unlink()
        else:
            monkeypatch.chdir(elsewhere)
        raised = 0
        for sim in (0, 1, 2, 3, 0):
            try:
                np.testing.assert_array_equal(result.read("velocity", sim, "real").values,
                                              before[sim])
            except OSError as error:
                assert "no longer the one" in str(error)
                raised += 1
        # The first file, reopened after the second was read, is not the one
        # the result was opened on, unless only the folder changed back.
        assert raised > 0
        for other in (lambda: result.history("velocity", 2), lambda: result.summary()):
            with pytest.raises(OSError, match="no longer the one"):
                other()


def test_read_into_delivers_x_to_a_one_dimensional_out_and_keeps_first_records(tmp_path):
    path = tmp_path / "pair.res"
    write_pair(path)
    with kvres.open(path) as result:
        full = result.read("velocity", 0, "complex").values  # (n, 2, 3): magnitudes, phases
        ids = result.entity_ids("velocity")
        for part, expected in (("magnitude", full[:, 0, 0]), ("phase", full[:, 1, 0]),
                               ("complex", full[:, 0, 0] * np.exp(1j * full[:, 1, 0]))):
            out = np.empty(ids.size, np.complex64 if part == "complex" else np.float32)
            assert result.read_into("velocity", 0, "complex", part, ids, out) == 0
            np.testing.assert_allclose(out, expected.astype(out.dtype), rtol=1e-6)

        # Entity 2 twice in the block: every reader takes its first record.
        read = result.read("pressure", 0, "complex").values
        first = read[1]
        assert result.history("pressure", 2, "complex").values[0].tolist() == first.tolist()
        for coordinate in ([1, 2, 4], [1, 2, 2, 4], [0, 2, 3, 4, 5]):
            coordinate = np.array(coordinate, np.int32)
            for part, value in (("magnitude", first[0]), ("phase", first[1])):
                out = np.empty(coordinate.size, np.float32)
                result.read_into("pressure", 0, "complex", part, coordinate, out)
                assert out[coordinate == 2].tolist() == [value] * int((coordinate == 2).sum())
        with pytest.raises(ValueError, match="sorted"):
            result.read_into("pressure", 0, "complex", "magnitude", np.int32([4, 1]),
                             np.empty(2, np.float32))


@pytest.mark.parametrize("dtype", [object, [("a", np.float32), ("b", object)]])
def test_pooled_empty_refuses_dtypes_holding_references(dtype):
    with pytest.raises(TypeError, match="Python objects"):
        kvres._kvres.pooled_empty((4,), np.dtype(dtype))


def test_summaries_take_paths_as_open_does_and_drop_takes_one_name(tmp_path):
    path = tmp_path / "pair.res"
    write_pair(path)
    gone = tmp_path / "gone.res"
    write_pair(gone)
    gone.unlink()
    with pytest.raises(FileNotFoundError):
        kvres.summaries([path, gone])
    for one in (os.fspath(path), os.fsencode(path), path):
        with pytest.raises(TypeError, match="one path"):
            kvres.summaries(one)
    with kvres.open(path) as result:
        for drop in ("pressure", ["pressure"], ("pressure",)):
            assert [t.name for t in result.summary(drop=drop)["data_types"]] == ["velocity"]
            (summary,) = kvres.summaries([path], drop=drop)
            assert [t.name for t in summary["data_types"]] == ["velocity"]


@pytest.mark.skipif(not hasattr(os, "fork"), reason="no fork here")
def test_a_result_does_not_cross_a_fork(tmp_path):
    path = tmp_path / "pair.res"
    write_pair(path)
    result = kvres.open(path)
    stop = threading.Event()

    def reader():
        while not stop.is_set():
            result.read("velocity", 0)

    thread = threading.Thread(target=reader)
    thread.start()
    try:
        children = []
        for _ in range(5):
            pid = os.fork()
            if pid == 0:  # the child: raises at once, never waits on the lock
                code = 1
                try:
                    result.read("velocity", 0)
                except RuntimeError as error:
                    code = 0 if "fork" in str(error) else 2
                with kvres.open(path) as again:  # a fresh open works
                    code += 0 if len(again.simulations) == 2 else 4
                os._exit(code)
            children.append(pid)
        for pid in children:
            deadline = time.monotonic() + 20
            while True:
                done, status = os.waitpid(pid, os.WNOHANG)
                if done or time.monotonic() > deadline:
                    break
                time.sleep(0.01)
            if not done:
                os.kill(pid, signal.SIGKILL)
                os.waitpid(pid, 0)
            assert done and os.waitstatus_to_exitcode(status) == 0
    finally:
        stop.set()
        thread.join()
    assert not math.isnan(result.read("velocity", 0).values.sum())
    result.close()
