"""kvres.xarray end to end with real xarray, dask and dask.distributed: the
layout against the module's own reads, laziness, pickling, a study on a
LocalCluster of worker processes, NetCDF and .res round trips."""
import os
import pathlib
import pickle
import shutil
import subprocess
import threading
import warnings

import numpy as np
import pytest

xr = pytest.importorskip("xarray")
pytest.importorskip("dask")

import kvres  # noqa: E402
import kvres.xarray as kx  # noqa: E402
from conftest import result_files  # noqa: E402
from test_xarray_exact import plain  # noqa: E402

MAKE_STUDY = os.environ.get("KVRES_MAKE_STUDY", "build/bin/make_python_study")
ENGINE = kx.KvresBackendEntrypoint


def make_study(folder, files, simulations, nodes, elements, stem="run", shuffled=False):
    arguments = [MAKE_STUDY, str(folder), str(files), str(simulations), str(nodes),
                 str(elements), stem]
    if shuffled:
        arguments.append("shuffled")
    subprocess.run(arguments, check=True)
    return sorted(pathlib.Path(folder).glob(stem + "*.res"))


@pytest.fixture(scope="module")
def study(tmp_path_factory):
    return make_study(tmp_path_factory.mktemp("study"), 6, 4, 40, 12)


def variable_parts(data_type, complex_form="complex"):
    """(variable name, part) of each variable a data type gives."""
    if data_type.kind in (4, 5, 6):
        if complex_form == "polar":
            return [(data_type.name + "_magnitude", "magnitude"),
                    (data_type.name + "_phase", "phase")]
        return [(data_type.name, "complex")]
    return [(data_type.name, "real")]


@pytest.mark.parametrize("options", [{}, {"complex": "polar"}, {"chunks": {}},
                                     {"chunks": {"simulation": 4}}])
def test_the_layout_and_every_value_match_the_module(beam, options):
    with xr.open_dataset(beam, engine=ENGINE, **options) as ds, kvres.open(beam) as result:
        simulations = result.simulations
        assert ds.sizes["simulation"] == len(simulations)
        assert ds["sync"].dtype == np.float32
        assert ds["sync"].values.tolist() == [s.sync for s in simulations]
        assert ds["label"].values.tolist() == [s.label for s in simulations]
        assert ds["component"].values.tolist() == ["x", "y", "z"]
        for binding, dimension in (("nodes", "node"), ("elements", "element")):
            union = np.unique(np.concatenate([
                result.read(t.name, s, "complex" if t.kind in (4, 5, 6) else "real").ids
                for t in result.data_types if t.binding == binding
                for s in range(len(simulations)) if has_block(result, t.name, s)]))
            assert ds[dimension].values.tolist() == union.tolist()
        assert ds.attrs["format_title"] == "Korvane Results"
        assert ds.attrs["title"] == result.files[0].text[0]
        assert ds.attrs["files"].split("\n") == ["beam.res", "beam1.res", "beam2.res"]
        assert ds.attrs["file_encodings"].split("\n") == [f.encoding for f in result.files]
        assert ds.attrs["text"].split("\n") == result.files[0].text

        names = []
        for data_type in result.data_types:
            for name, part in variable_parts(data_type, options.get("complex", "complex")):
                names.append(name)
                variable = ds[name]
                dimension = "node" if data_type.binding == "nodes" else "element"
                dims = ("simulation", dimension) + (
                    ("component",) if data_type.format == "vector" else ())
                assert variable.dims == dims
                assert variable.dtype == (np.complex64 if part == "complex" else np.float32)
                assert variable.attrs["binding"] == data_type.binding
                assert variable.attrs["format"] == data_type.format
                assert variable.attrs["kind"] == data_type.kind
                if options.get("chunks") == {}:
                    assert variable.chunks[0] == (1,) * len(simulations)
                values = variable.values
                for simulation in range(len(simulations)):
                    want = plain(result, data_type, simulation, ds[dimension].values, part)
                    np.testing.assert_allclose(values[simulation], want, rtol=2e-6,
                                               atol=1e-6, equal_nan=True)
        assert list(ds.data_vars) == names


def has_block(result, name, simulation):
    try:
        result.read(name, simulation, "real")
        return True
    except LookupError:
        return False


@pytest.mark.parametrize("path", result_files(), ids=lambda p: p.name)
def test_every_matrix_file_reads_as_the_module_reads_it(path):
    """Every encoding, kind, series and damaged file: with errors="nan" each
    variable's values are the module's, placed by id; by default a file with
    a block that cannot be read whole raises."""
    with xr.open_dataset(path, engine=ENGINE, force=True, errors="nan") as ds, \
            kvres.open(path, force=True) as result:
        assert ds.sizes["simulation"] == len(result.simulations)
        damaged = not result.files or not all(f.detected for f in result.files)
        for data_type in result.data_types:
            dimension = "node" if data_type.binding == "nodes" else "element"
            ((name, part),) = variable_parts(data_type)
            values = ds[name].values
            read = "complex" if data_type.kind in (4, 5, 6) else "real"
            for simulation in range(len(result.simulations)):
                if has_block(result, data_type.name, simulation):
                    damaged |= not result.read(data_type.name, simulation, read).complete
                want = plain(result, data_type, simulation, ds[dimension].values, part)
                np.testing.assert_allclose(values[simulation], want, rtol=2e-6, atol=1e-6,
                                           equal_nan=True)
    if damaged:
        with pytest.raises(kx.ReadError):
            xr.open_dataset(path, engine=ENGINE, force=True).load()
    else:
        xr.open_dataset(path, engine=ENGINE, force=True).load().close()


def test_entities_a_data_type_lacks_are_nan(beam):
    with xr.open_dataset(beam, engine=ENGINE) as ds:
        pressure = ds["pressure amplitude"]
        ids = kvres.open(beam).entity_ids("pressure amplitude")
        missing = ~np.isin(ds["node"].values, ids)
        assert missing.any()
        assert np.isnan(pressure.values[:, missing]).all()
        assert not np.isnan(pressure.values[:, ~missing]).any()


def test_blocks_are_aligned_by_id_and_every_id_of_every_block_is_shown(tmp_path):
    (path,) = make_study(tmp_path, 1, 4, 5, 3, stem="shuffled", shuffled=True)
    with xr.open_dataset(path, engine=ENGINE) as ds, kvres.open(path) as result:
        every = sorted({int(i) for s in range(4) for i in result.read("temperature", s).ids})
        assert ds["node"].values.tolist() == every
        with warnings.catch_warnings():
            warnings.simplefilter("error")
            temperature = ds["temperature"].values
        for simulation in range(4):
            data_set = result.read("temperature", simulation)
            by_id = dict(zip(data_set.ids.tolist(), data_set.values.tolist()))
            for k, node in enumerate(every):
                if node in by_id:
                    assert temperature[simulation, k] == by_id[node]
                else:
                    assert np.isnan(temperature[simulation, k])


def test_opening_reads_no_block_and_a_selection_reads_only_its_blocks(study):
    path = study[0]
    before = kx.blocks_read()
    ds = xr.open_dataset(path, engine=ENGINE)
    assert kx.blocks_read() == before
    ds["temperature"].isel(simulation=-1).values
    assert kx.blocks_read() == before + 1
    ds["displacement"].sel(node=[3, 5]).isel(simulation=[0, 2]).values
    assert kx.blocks_read() == before + 3
    ds["von mises stress"].sel(element=1005).values
    assert kx.blocks_read() == before + 3 + ds.sizes["simulation"]
    ds.close()


def test_the_structure_outlives_the_file_and_only_the_reads_need_it(study, tmp_path):
    copy = tmp_path / "copy.res"
    shutil.copy(study[1], copy)
    ds = xr.open_dataset(copy, engine=ENGINE)
    first = ds["temperature"].isel(simulation=0).values
    copy.unlink()
    assert ds.sizes["node"] == 40 and ds["sync"].size == 4
    assert ds.attrs["files"] == "copy.res"
    # What was read stays; the file's blocks are now gone.
    assert not np.isnan(first).any()
    with pytest.raises(kx.ReadError, match="copy.res: simulation 1, data type 'temperature'"):
        ds["temperature"].isel(simulation=1).values
    ds.close()


def test_close_releases_the_result(study):
    ds = xr.open_dataset(study[0], engine=ENGINE)
    ds["temperature"].isel(simulation=0).values
    ds.close()
    fds = len(os.listdir("/proc/self/fd"))
    with xr.open_dataset(study[0], engine=ENGINE) as again:
        again.load()
    assert len(os.listdir("/proc/self/fd")) == fds


def test_datasets_and_their_arrays_pickle_as_a_path_and_a_selection(study):
    with xr.open_dataset(study[2], engine=ENGINE) as lazy:
        array = lazy["displacement"].variable._data
        while not isinstance(array, kx.KvresBackendArray):
            array = array.array
    blob = pickle.dumps(array)
    assert os.fsencode(os.fspath(study[2])) in blob
    assert len(blob) < 4096
    key = xr.core.indexing.BasicIndexer((0, slice(None, 2), slice(None)))
    assert pickle.loads(blob)[key].tolist() == array[key].tolist()
    ds = xr.open_dataset(study[2], engine=ENGINE, chunks={})
    again = pickle.loads(pickle.dumps(ds))
    xr.testing.assert_identical(again.load(), ds.load())


def test_the_backend_recognises_res_files_by_their_title(beam, matrix, tmp_path):
    engine = kx.KvresBackendEntrypoint()
    assert engine.guess_can_open(beam)
    assert not engine.guess_can_open(matrix / "lower-case-title.res")
    assert not engine.guess_can_open(tmp_path)
    assert not engine.guess_can_open(tmp_path / "missing.res")
    with pytest.raises(kvres.NotRecognizedError):
        xr.open_dataset(matrix / "lower-case-title.res", engine=ENGINE)
    with xr.open_dataset(matrix / "lower-case-title.res", engine=ENGINE, force=True) as ds:
        assert ds.attrs["recognized"] == 0
    with pytest.raises(ValueError, match="read must be"):
        xr.open_dataset(beam, engine=ENGINE, read="imaginary")


def test_a_netcdf_round_trip_keeps_values_coordinates_and_attributes(beam, study, tmp_path):
    for source, options in ((beam, {"complex": "polar"}), (study[0], {}),
                            (study[0], {"index": "simulation"})):
        with xr.open_dataset(source, engine=ENGINE, **options) as ds:
            ds.load()
            out = tmp_path / "out.nc"
            ds.to_netcdf(out)
            with xr.open_dataset(out) as back:
                xr.testing.assert_identical(back.load(), ds)
            out.unlink()


def test_two_threads_read_two_results_at_once_with_the_right_values(study):
    plain = {}
    for path in study[:2]:
        with kvres.open(path) as result:
            plain[path] = [result.read("temperature", s).values.copy() for s in range(4)]
    got = {}

    def read(path):
        with kvres.open(path) as result:
            got[path] = [result.read("temperature", s).values for s in range(4) for _ in range(50)]

    threads = [threading.Thread(target=read, args=(p,)) for p in study[:2]]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for path in study[:2]:
        for k, values in enumerate(got[path]):
            np.testing.assert_array_equal(values, plain[path][k // 50])


def study_maximum_by_loop(paths, name):
    rows = []
    for path in paths:
        with kvres.open(path) as result:
            rows.append([result.read(name, s).values.max() for s in range(len(result.simulations))])
    return np.array(rows, dtype=np.float32)


@pytest.mark.parametrize("runs,most,chunks", [
    (200, 8, (7,) * 8 + (6,) * 24), (200, 50, (25,) * 8), (6, 4, (1,) * 6),
    (17, 2, (2,) * 1 + (1,) * 15), (1, 1, (1,)), (64, 1, (1,) * 64), (65, 1, (1,) * 65)])
def test_study_chunks_split_runs_into_equal_shares(runs, most, chunks):
    got = kvres.xarray._balanced_run_chunks(runs, most)
    assert got == chunks and sum(got) == runs and max(got) <= most


def test_open_study_stacks_runs_and_matches_a_plain_loop(study):
    ds = kvres.open_study(study)
    assert ds["run"].values.tolist() == [p.name for p in study]
    assert ds["von mises stress"].dims == ("run", "simulation", "element")
    assert ds["von mises stress"].chunks[:2] == ((1,) * len(study), (4,))
    assert kvres.open_study(study, chunks={"run": 4})["temperature"].chunks[0] == (4, 2)
    maximum = ds["von mises stress"].max("element").compute()
    np.testing.assert_array_equal(maximum.values, study_maximum_by_loop(study,
                                                                       "von mises stress"))
    glob_ds = kvres.open_study(os.path.join(os.path.dirname(study[0]), "run*.res"))
    assert glob_ds.sizes["run"] == len(study)
    with pytest.raises(FileNotFoundError):
        kvres.open_study(os.path.join(os.path.dirname(study[0]), "none*.res"))


def test_a_study_joins_entities_keeps_differing_coordinates_and_splits_chunks(tmp_path):
    small = make_study(tmp_path, 2, 3, 4, 2, stem="a")
    (large,) = make_study(tmp_path, 1, 3, 6, 2, stem="b")
    ds = kvres.open_study(small + [large], chunks={"simulation": 2, "run": 1})
    assert ds["node"].values.tolist() == [1, 2, 3, 4, 5, 6]
    assert ds["temperature"].chunks == ((1, 1, 1), (2, 1), (6,))
    temperature = ds["temperature"].values
    assert np.isnan(temperature[:2, :, 4:]).all() and not np.isnan(temperature[2]).any()
    for run, path in enumerate(small + [large]):
        with kvres.open(path) as result:
            for simulation in range(3):
                values = result.read("temperature", simulation).values
                np.testing.assert_array_equal(temperature[run, simulation, :values.size], values)
    assert ds["sync"].dims == ("simulation",)
    (other,) = make_study(tmp_path, 1, 4, 4, 2, stem="c")
    with pytest.raises(ValueError, match="simulation count"):
        kvres.open_study(small + [other])
    ds.close()


def test_a_study_on_a_local_cluster_of_processes_matches_a_plain_loop(study):
    distributed = pytest.importorskip("distributed")
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None, silence_logs=40) as cluster, \
            distributed.Client(cluster) as client:
        ds = kvres.open_study(study, parallel=True)
        maximum = ds["von mises stress"].max("element").compute()
        # Every worker process read blocks itself: no result crossed over.
        counts = client.run(kx.blocks_read)
        assert len(counts) == 2 and sum(counts.values()) > 0
    np.testing.assert_array_equal(maximum.values,
                                  study_maximum_by_loop(study, "von mises stress"))


def test_write_round_trip_gives_equal_datasets(beam, study, tmp_path):
    if not hasattr(kvres, "Writer"):
        pytest.skip("this build has no kvres.Writer")
    # (A complex read of a real result's vectors takes their blocks with the
    # complex record layout, as the host's does: that is no data to round-trip.)
    cases = [(beam, {}), (beam, {"complex": "polar"}), (study[0], {})]
    for source, options in cases:
        with xr.open_dataset(source, engine=ENGINE, **options) as ds:
            ds.load()
            out = tmp_path / "out.res"
            kvres.write(out, ds)
            with xr.open_dataset(out, engine=ENGINE, **options) as back:
                back.load()
                assert list(back.data_vars) == list(ds.data_vars)
                for name in ds.data_vars:
                    xr.testing.assert_allclose(back[name], ds[name], rtol=1e-5, atol=1e-5)
                assert back["label"].values.tolist() == ds["label"].values.tolist()
                np.testing.assert_array_equal(back["sync"].values, ds["sync"].values)
            out.unlink()
    # A computed field goes out as a data type of its own.
    with xr.open_dataset(study[0], engine=ENGINE) as ds:
        ds = ds.load()
        ds["twice"] = ds["temperature"] * 2
        ds["twice"].attrs = dict(ds["temperature"].attrs, data_type="twice")
        kvres.write(tmp_path / "computed.res", ds)
    with kvres.open(tmp_path / "computed.res") as result:
        assert [t.name for t in result.data_types][-1] == "twice"
        np.testing.assert_array_equal(result.read("twice", 1).values,
                                      2 * kvres.open(study[0]).read("temperature", 1).values)


def test_write_refuses_what_it_cannot_store_faithfully(beam, tmp_path):
    if not hasattr(kvres, "Writer"):
        pytest.skip("this build has no kvres.Writer")
    with xr.open_dataset(beam, engine=ENGINE, complex="polar") as ds:
        ds = ds.load()
    # A complex value and a polar pair of the same name would be one data type.
    clash = ds.assign(**{"pressure amplitude": ds["pressure amplitude_magnitude"] + 0j})
    clash["pressure amplitude"].attrs = dict(ds["pressure amplitude_magnitude"].attrs,
                                             part="complex")
    # The data's faults are the writer's InputError (a ValueError, a kvres.Error).
    with pytest.raises(kvres.InputError, match="would both be data type 'pressure amplitude'"):
        kvres.write(tmp_path / "out.res", clash)
    with pytest.raises(kvres.InputError, match="phase without its magnitude"):
        kvres.write(tmp_path / "out.res", ds.drop_vars("pressure amplitude_magnitude"))
    assert not (tmp_path / "out.res").exists()
    # A name the reader would show otherwise ("Displacements" reads back as
    # "displacement").
    vector = next(name for name, v in ds.data_vars.items() if v.attrs.get("kind") == 0)
    with pytest.raises(ValueError, match="variable 'Displacements'.*reads back as"):
        kvres.write(tmp_path / "out.res", ds.rename({vector: "Displacements"}))
    assert not (tmp_path / "out.res").exists()


def test_written_phases_read_back_bit_for_bit(beam, tmp_path):
    if not hasattr(kvres, "Writer"):
        pytest.skip("this build has no kvres.Writer")
    with xr.open_dataset(beam, engine=ENGINE, complex="polar") as ds:
        ds = ds.load()
    phases = [name for name, v in ds.data_vars.items() if v.attrs.get("part") == "phase"]
    assert phases
    # Phases in radians go back to the degrees that give the same radians,
    # not to the plain quotient, which may be a unit off.
    kvres.write(tmp_path / "out.res", ds)
    with xr.open_dataset(tmp_path / "out.res", engine=ENGINE, complex="polar") as back:
        for name in phases:
            np.testing.assert_array_equal(back[name].values.view(np.uint32),
                                          ds[name].values.view(np.uint32))
