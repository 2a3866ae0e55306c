"""Every failure the module reports, raised as the exception it names."""
import os

import numpy as np
import pytest

import kvres


def test_a_missing_path_raises_file_not_found(tmp_path):
    with pytest.raises(FileNotFoundError):
        kvres.open(tmp_path / "missing.res")
    with pytest.raises(IsADirectoryError):
        kvres.open(tmp_path)
    with pytest.raises(ValueError):
        kvres.open("beam\0.res")


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
