"""engine="kvres" shows exactly what a file holds, or raises: random results
written with kvres.Writer (entities that come and go, data types that start
late, repeated ids, every kind and encoding) against a plain loop over
kvres.open(...).read(); files damaged or replaced after opening; the
arguments and habits xarray users bring; writing a dataset back."""
import os
import time

import numpy as np
import pytest

xr = pytest.importorskip("xarray")
pytest.importorskip("dask")
hypothesis = pytest.importorskip("hypothesis")
from hypothesis import HealthCheck, given, settings, strategies as st  # noqa: E402

import kvres  # noqa: E402
import kvres.xarray as kx  # noqa: E402

ENGINE = kx.KvresBackendEntrypoint
NODE_KINDS = (0, 1, 4, 5, 7)
# Reals per record of each kind.
REALS = {0: 3, 1: 1, 3: 1, 4: 6, 5: 2, 6: 2, 7: 3, 8: 3}


@st.composite
def results(draw):
    """A result as {"encoding", "labels", "blocks": [{name: (kind, ids, values)}]}; a
    label None is made from the sync value."""
    simulations = draw(st.integers(1, 4))
    kinds = draw(st.lists(st.sampled_from(sorted(REALS)), min_size=1, max_size=4))
    # Values from a seeded generator, not drawn one by one: drawn values
    # shrink to zeros, which hide which of two records of an id is shown.
    rng = np.random.default_rng(draw(st.integers(0, 2**32 - 1)))
    blocks = [{} for _ in range(simulations)]
    for number, kind in enumerate(kinds):
        name = f"f{number}" + (" (c)" if kind == 4 else "")
        # A data type may start late and miss simulations.
        present = draw(st.lists(st.booleans(), min_size=simulations, max_size=simulations))
        for simulation in range(simulations):
            if not present[simulation]:
                continue
            ids = draw(st.lists(st.integers(1, 9), max_size=6))
            values = (rng.integers(-2000, 2000, len(ids) * REALS[kind]) / 8).astype(np.float32)
            blocks[simulation][name] = (kind, np.array(ids, np.int32),
                                        values.reshape(len(ids), REALS[kind]))
    # Labels of ASCII and of other characters, or made from the sync value.
    labels = draw(st.lists(st.sampled_from([None, "Time = 1", "Frequenz 2 \u00e4", "mode \u00b7"]),
                           min_size=simulations, max_size=simulations))
    return {"encoding": draw(st.sampled_from(["i4le", "i4be", "i8le", "i8be"])),
            "blocks": blocks, "labels": labels}


def write_result(path, drawn):
    with kvres.Writer(path, encoding=drawn["encoding"], title="random",
                      subtitle="second line", names="stored") as writer:
        for simulation, blocks in enumerate(drawn["blocks"]):
            label = drawn.get("labels", [None] * len(drawn["blocks"]))[simulation]
            if label is None:
                writer.simulation(sync=0.25 * (simulation + 1))
            else:
                writer.simulation(label)
            for name, (kind, ids, values) in blocks.items():
                writer.block(name, kind=kind, ids=ids, values=values)


def plain(result, data_type, simulation, entity_ids, part):
    """The plain reading of one variable in one simulation: the block read as
    its kind stores it, each id's first record put at its id's place."""
    kind = data_type.kind
    read = "complex" if kind in (4, 5, 6) else "real"
    vector = data_type.format == "vector"
    shape = (entity_ids.size, 3) if vector else (entity_ids.size,)
    out = np.full(shape, np.nan, np.complex64 if part == "complex" else np.float32)
    try:
        data_set = result.read(data_type.name, simulation, read)
    except LookupError:
        return out
    values = data_set.values
    if read == "complex":
        magnitude, phase = values[:, 0], values[:, 1]
        values = {"magnitude": magnitude, "phase": phase,
                  "complex": magnitude * np.exp(1j * phase.astype(np.float64))}[part]
    place = {int(i): k for k, i in enumerate(entity_ids)}
    seen = set()
    for k, entity in enumerate(data_set.ids.tolist()):
        if entity not in seen:
            seen.add(entity)
            out[place[entity]] = values[k]
    return out


@settings(max_examples=30, deadline=None,
          suppress_health_check=[HealthCheck.function_scoped_fixture,
                                 HealthCheck.too_slow])
@given(drawn=results(), complex_form=st.sampled_from(["complex", "polar"]),
       chunks=st.sampled_from([None, {}, {"simulation": 2}]))
def test_every_value_and_every_entity_of_a_random_result(tmp_path, drawn, complex_form,
                                                         chunks):
    path = tmp_path / "random.res"
    write_result(path, drawn)
    written = {"node": set(), "element": set()}
    repeats = False
    for blocks in drawn["blocks"]:
        for kind, ids, _ in blocks.values():
            written["node" if kind in NODE_KINDS else "element"].update(ids.tolist())
            repeats |= len(set(ids.tolist())) < ids.size
    with xr.open_dataset(path, engine=ENGINE, complex=complex_form, chunks=chunks) as ds, \
            kvres.open(path) as result:
        assert ds.attrs["text"] == "random\nsecond line"
        labels = [s.label for s in result.simulations]
        assert ds["label"].values.tolist() == labels
        assert ds["label"].dtype == np.array(labels, dtype=str).dtype
        for dimension, ids in written.items():
            if dimension in ds.coords:
                assert ds[dimension].values.tolist() == sorted(ids)
        assert ("repeated_ids" in ds.attrs) == repeats
        names = []
        for data_type in result.data_types:
            dimension = "node" if data_type.binding == "nodes" else "element"
            if data_type.kind in (4, 5, 6):
                parts = ["magnitude", "phase"] if complex_form == "polar" else ["complex"]
            else:
                parts = ["real"]
            for part in parts:
                name = data_type.name + ("_" + part if part in ("magnitude", "phase") else "")
                names.append(name)
                values = ds[name].values
                for simulation in range(len(result.simulations)):
                    want = plain(result, data_type, simulation, ds[dimension].values, part)
                    if part == "complex":
                        np.testing.assert_allclose(values[simulation], want, rtol=1e-6,
                                                   atol=1e-5, equal_nan=True)
                    else:
                        np.testing.assert_array_equal(values[simulation], want)
        assert sorted(ds.data_vars) == sorted(names)


@pytest.mark.parametrize("kind", [1, 0, 3])
def test_blocks_as_long_as_the_coordinate_but_with_other_ids(tmp_path, kind):
    """A block with as many records as the coordinate has entities is read
    in one pass that copies while it compares the ids; where they differ
    (another order, a repeat, another id), the values go to their places."""
    blocks = [[1, 2, 3], [3, 2, 1], [1, 1, 2], [1, 2, 4], [4, 3, 2, 1], [2]]
    rng = np.random.default_rng(7)
    name = "f"
    drawn = {"encoding": "i4le", "blocks": []}
    for ids in blocks:
        values = rng.integers(-100, 100, len(ids) * REALS[kind]).astype(np.float32)
        drawn["blocks"].append({name: (kind, np.array(ids, np.int32),
                                       values.reshape(len(ids), REALS[kind]))})
    path = tmp_path / "other-ids.res"
    write_result(path, drawn)
    with xr.open_dataset(path, engine=ENGINE) as ds, kvres.open(path) as result:
        data_type = result.data_types[0]
        dimension = "node" if data_type.binding == "nodes" else "element"
        assert ds[dimension].values.tolist() == [1, 2, 3, 4]
        values = ds[name].values
        for simulation in range(len(blocks)):
            want = plain(result, data_type, simulation, ds[dimension].values, "real")
            np.testing.assert_array_equal(values[simulation], want)


def test_loading_a_polar_pair_and_a_triple_reads_each_block_once(beam, monkeypatch):
    with kvres.open(beam) as result:
        blocks = sum(1 for t in result.data_types if not t.name.endswith((":Phase", ":Offset"))
                     for s in range(len(result.simulations))
                     if _has_block(result, t.name, s))
        # Each variable reading its blocks itself: a polar pair's twice.
        apart = {polar: sum(1 + (polar and t.kind in (4, 5, 6)) for t in result.data_types
                            for s in range(len(result.simulations))
                            if _has_block(result, t.name, s))
                 for polar in (False, True)}
    loaded = {}
    for waiting in (kx._WAITING_BYTES, 0):
        monkeypatch.setattr(kx, "_WAITING_BYTES", waiting)
        for options in ({"complex": "polar"}, {"complex": "polar", "chunks": {}}, {}):
            before = kx.blocks_read()
            with xr.open_dataset(beam, engine=ENGINE, **options) as ds:
                ds.load()
            count = blocks if waiting else apart["complex" in options]
            assert kx.blocks_read() - before == count
            if str(options) in loaded:
                xr.testing.assert_identical(ds, loaded[str(options)])
            loaded[str(options)] = ds


def test_two_variables_loaded_at_once_read_their_blocks_once(beam, monkeypatch):
    # A polar pair's two variables asked for in two threads at the same time:
    # the second waits for the first's read instead of reading again.
    import threading
    calls = []
    real = kx._Blocks._read_into

    def slow(self, start, stop, outs):
        calls.append((start, stop))
        time.sleep(0.05)
        real(self, start, stop, outs)
    monkeypatch.setattr(kx._Blocks, "_read_into", slow)
    with xr.open_dataset(beam, engine=ENGINE, complex="polar") as ds:
        magnitude, phase = "displacement_magnitude", "displacement_phase"
        got = {}
        threads = [threading.Thread(target=lambda n=n: got.update({n: ds[n].values}))
                   for n in (magnitude, phase)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        assert len(calls) == 1
        with xr.open_dataset(beam, engine=ENGINE, complex="polar") as plain:
            for name in (magnitude, phase):
                np.testing.assert_array_equal(got[name], plain[name].values)


def _has_block(result, name, simulation):
    try:
        result.read(name, simulation, "real")
        return True
    except LookupError:
        return False


# Damage after open -------------------------------------------------------

def _study_file(folder, name="run.res", simulations=4, scale=1.0):
    path = folder / name
    with kvres.Writer(path, title="t") as writer:
        for simulation in range(simulations):
            writer.simulation(sync=float(simulation + 1))
            writer.block("temperature", kind=1, ids=np.arange(1, 201, dtype=np.int32),
                         values=np.full(200, scale * simulation, np.float32))
    return path


def _remove(path, folder):
    path.unlink()


def _cut(path, folder):
    with open(path, "r+b") as f:
        f.truncate(os.path.getsize(path) - 10)


def _replace(path, folder):
    other = _study_file(folder, "other.res", scale=2.0)
    os.replace(other, path)


@pytest.mark.parametrize("damage", [_remove, _cut, _replace], ids=["removed", "cut", "replaced"])
def test_damage_after_open_raises_naming_file_simulation_and_data_type(tmp_path, damage):
    path = _study_file(tmp_path)
    for chunks in (None, {}):
        ds = xr.open_dataset(path, engine=ENGINE, chunks=chunks)
        lenient = xr.open_dataset(path, engine=ENGINE, chunks=chunks, errors="nan")
        ds["temperature"].isel(simulation=0).values
        held = lenient["temperature"].isel(simulation=3).values
        damage(path, tmp_path)
        with pytest.raises(kx.ReadError, match=r"run\.res.*simulation 3.*'temperature'"):
            ds["temperature"].isel(simulation=3).values
        shown = lenient["temperature"].isel(simulation=3).values
        if damage is _remove:
            # The result may still hold the removed file open, and then
            # shows its values; never anything else.
            assert np.isnan(shown).all() or np.array_equal(shown, held)
        ds.close()
        lenient.close()
        path = _study_file(tmp_path)


def test_damage_after_open_raises_on_a_local_cluster(tmp_path):
    distributed = pytest.importorskip("distributed")
    path = _study_file(tmp_path)
    ds = xr.open_dataset(path, engine=ENGINE, chunks={})
    with distributed.LocalCluster(n_workers=1, threads_per_worker=1, processes=True,
                                  dashboard_address=None, silence_logs=40) as cluster, \
            distributed.Client(cluster) as client:
        assert float(ds["temperature"].sum().compute()) == 200 * 6
        # The cluster forgets the chunks read above only some time after the
        # compute returns; until then it would hand them out again without a
        # read. Wait until it has, so that the next compute reads the file.
        deadline = time.monotonic() + 30
        while client.run_on_scheduler(lambda dask_scheduler: len(dask_scheduler.tasks)):
            assert time.monotonic() < deadline, "the cluster kept the chunks"
            time.sleep(0.02)
        _replace(path, tmp_path)
        with pytest.raises(OSError, match="simulation .*'temperature'"):
            ds["temperature"].sum().compute()
    ds.close()


@pytest.mark.parametrize("size", [50, 150])
def test_a_file_cut_before_its_simulation_table_raises_at_open(tmp_path, size):
    path = _study_file(tmp_path)
    with open(path, "r+b") as f:
        f.truncate(size)
    with pytest.raises((kx.ReadError, kvres.NotRecognizedError)):
        xr.open_dataset(path, engine=ENGINE)
    with pytest.raises(kx.ReadError, match="header"):
        xr.open_dataset(path, engine=ENGINE, force=True)


# What xarray users bring -------------------------------------------------

def test_missing_paths_raise_os_errors_also_while_an_exception_is_handled(tmp_path):
    for path, error in ((tmp_path / "missing.res", FileNotFoundError),
                        (tmp_path, IsADirectoryError)):
        try:
            raise KeyError("being handled")
        except KeyError:
            with pytest.raises(error):
                kvres.open(path)
            with pytest.raises(error):
                xr.open_dataset(path, engine=ENGINE)


def test_ordinary_xarray_arguments(beam):
    decoding = dict(decode_times=False, mask_and_scale=False, decode_cf=False,
                    use_cftime=False, concat_characters=True, decode_coords=True,
                    decode_timedelta=False)
    with xr.open_dataset(beam, engine=ENGINE, **decoding) as ds:
        full = set(ds.variables)
        nearest = ds.sel(sync=0.31, method="nearest")
        assert float(nearest["sync"]) == pytest.approx(0.3)
        assert all("long_name" in ds[name].attrs for name in ds.variables)
        assert ds.attrs["Conventions"].startswith("CF")
        assert ds.attrs["title"] != "Korvane Results"
        assert ds["heat flux:Phase"].attrs["units"] == "degree"
    for drop, gone in (("temperature", {"temperature"}),
                       (["label", "displacement_phase", "nothing"],
                        {"label", "displacement_phase"})):
        with xr.open_dataset(beam, engine=ENGINE, complex="polar", drop_variables=drop) as ds, \
                xr.open_dataset(beam, engine=ENGINE, complex="polar") as whole:
            assert set(whole.variables) - set(ds.variables) == gone
            assert whole["displacement_phase"].attrs["units"] == "rad"
    assert {"temperature"} <= full
    with pytest.raises(ValueError, match="misread"):
        xr.open_dataset(beam, engine=ENGINE, read="real")


def test_study_runs_are_named_by_their_shortest_distinguishing_path(tmp_path):
    for case in ("a", "b"):
        (tmp_path / "cases" / case).mkdir(parents=True)
        _study_file(tmp_path / "cases" / case, "model.res")
    ds = kvres.open_study(str(tmp_path / "cases" / "*" / "model.res"))
    assert ds["run"].values.tolist() == ["a/model.res", "b/model.res"]
    assert ds["temperature"].values.shape == (2, 4, 200)


def _value(sync, entity):
    return 100 * sync + entity


def _part_file(path, syncs, ids):
    """A result of the given sync values and node ids, each value telling
    its sync value and node apart."""
    with kvres.Writer(path, title="part") as writer:
        for sync in syncs:
            writer.simulation(sync=float(sync))
            writer.block("temperature", kind=1, ids=np.array(ids, np.int32),
                         values=np.array([_value(sync, i) for i in ids], np.float32))
    return path


TIME_SPLIT = [((4, 5), (1, 2, 3)), ((1, 2, 3), (1, 2, 3))]
NODE_SPLIT = [((1, 2), (4, 5, 6)), ((1, 2), (1, 2, 3))]
UNEQUAL_RUNS = [((1, 2, 3), (1, 2)), ((2, 3, 4, 5), (2, 3))]
INTERLEAVED = [((1, 2), (2, 4, 6)), ((1, 2), (1, 3, 5))]
BY_COORDS = dict(combine="by_coords", index="simulation")


@pytest.mark.parametrize("parts, options, refused", [
    (TIME_SPLIT, BY_COORDS, None),
    (NODE_SPLIT, BY_COORDS, None),
    (UNEQUAL_RUNS, dict(combine="nested", concat_dim="run"), None),
    (UNEQUAL_RUNS, dict(combine="nested", concat_dim="run", index="simulation"), None),
    # What by_coords cannot order, merged instead.
    (INTERLEAVED, dict(merge=True), None),
    (INTERLEAVED, BY_COORDS, "monotonic"),
    # Nothing to order by: sync alone is not a dimension coordinate, and
    # files alike in every coordinate cannot be ordered.
    (TIME_SPLIT, dict(combine="by_coords"), "dimension coordinates"),
    ([((1, 2), (1, 2))] * 2, BY_COORDS, "dimension coordinates"),
], ids=["by-coords-time", "by-coords-nodes", "nested-sync", "nested-simulation", "merge",
        "by-coords-interleaved", "by-coords-unindexed", "by-coords-alike"])
def test_open_mfdataset_orders_and_aligns_files_by_sync_value_and_entity(tmp_path, parts,
                                                                           options, refused):
    paths = [_part_file(tmp_path / f"part{k}.res", syncs, ids)
             for k, (syncs, ids) in enumerate(parts)]
    if refused:
        with pytest.raises(ValueError, match=refused):
            xr.open_mfdataset(paths, engine=ENGINE, **options)
        return
    if options.get("merge"):
        opened = [xr.open_dataset(p, engine=ENGINE) for p in paths]
        ds = xr.merge(opened, compat="no_conflicts")
        ds.set_close(lambda: [part.close() for part in opened])
    else:
        ds = xr.open_mfdataset(paths, engine=ENGINE, **options)
    with ds:
        values = ds["temperature"].values
        syncs = ds[options.get("index", "sync")].values
        nodes = ds["node"].values
    assert syncs.tolist() == sorted({s for p in parts for s in p[0]})
    assert nodes.tolist() == sorted({i for p in parts for i in p[1]})
    # Stacked runs keep each file to itself; combined files pool theirs.
    runs = [[p] for p in parts] if "concat_dim" in options else [parts]
    want = np.array([[[_value(s, n) if any(s in ss and n in ns for ss, ns in held) else np.nan
                       for n in nodes.tolist()] for s in syncs.tolist()] for held in runs],
                    np.float32)
    np.testing.assert_array_equal(values, want if "concat_dim" in options else want[0])


def test_index_simulation_makes_sync_values_the_dimension_coordinate(beam):
    with xr.open_dataset(beam, engine=ENGINE) as by_sync, \
            xr.open_dataset(beam, engine=ENGINE, index="simulation") as ds:
        assert set(ds.xindexes) == set(by_sync.xindexes) - {"sync"} | {"simulation"}
        np.testing.assert_array_equal(ds["simulation"].values, by_sync["sync"].values)
        picked = ds.sel(simulation=0.31, method="nearest")
        same = by_sync.sel(sync=0.31, method="nearest")
        assert float(picked["simulation"]) == float(same["sync"]) == float(picked["sync"])
        np.testing.assert_array_equal(picked["temperature"].values, same["temperature"].values)
    with pytest.raises(ValueError, match="index must be"):
        xr.open_dataset(beam, engine=ENGINE, index="label")


def test_netcdf_through_the_accessor_names_complex_polar_and_writes_nothing(beam, tmp_path):
    pytest.importorskip("netCDF4")
    out = tmp_path / "run.nc"
    with xr.open_dataset(beam, engine=ENGINE) as ds:
        with pytest.raises(TypeError, match="complex='polar'.*") as refused:
            ds.kvres.to_netcdf(out)
        assert "'displacement'" in str(refused.value)
        assert not out.exists()
    with xr.open_dataset(beam, engine=ENGINE, complex="polar") as ds:
        ds.kvres.to_netcdf(out)
    assert out.exists()


def test_the_listed_engine_points_at_this_documentation():
    url = ENGINE.url
    assert url in repr(ENGINE())
    if url.startswith("file://"):
        from urllib.parse import urlparse
        from urllib.request import url2pathname
        with open(url2pathname(urlparse(url).path), encoding="utf-8") as page:
            assert "## xarray and dask" in page.read()
    else:
        assert "help(kvres.xarray)" in url


# Back to .res -------------------------------------------------------------

def test_write_keeps_texts_names_and_sync_as_the_dataset_has_them(beam, tmp_path):
    out = tmp_path / "out.res"
    with xr.open_dataset(beam, engine=ENGINE) as ds:
        ds = ds.load()
    changed = ds.rename({"temperature": "T"})
    changed["root"] = np.sqrt(np.abs(ds["temperature"]))
    changed = changed.assign_coords(sync=changed["sync"] * 2)
    changed.kvres.write(out, encoding="i4be")
    with kvres.open(out) as result, xr.open_dataset(out, engine=ENGINE) as back:
        names = [t.name for t in result.data_types]
        assert "T" in names and "root" in names and "temperature" not in names
        assert result.files[0].text == kvres.open(beam).files[0].text
        np.testing.assert_array_equal(back["sync"].values, ds["sync"].values * 2)
        np.testing.assert_array_equal(back["T"].values, ds["temperature"].values)
    study = xr.concat([ds, ds], "run")
    with pytest.raises(ValueError, match="isel\\(run="):
        kvres.write(tmp_path / "study.res", study)


def _times(ds, name, factor):
    return {name: ("simulation", ds[name].values * factor)}


@pytest.mark.parametrize("change, written", [
    (lambda ds: ds.drop_vars("sync").assign_coords(_times(ds, "simulation", 2)), 2),
    (lambda ds: ds.assign_coords(dict(_times(ds, "simulation", 2), **_times(ds, "sync", 2))), 2),
    (lambda ds: ds.drop_vars("simulation").assign_coords(_times(ds, "sync", 3)), 3),
    (lambda ds: ds.assign_coords(_times(ds, "simulation", 2)), None),
], ids=["simulation-alone", "both", "sync-alone", "disagreeing"])
def test_write_takes_sync_values_from_a_simulation_coordinate_too(tmp_path, change, written):
    source = _part_file(tmp_path / "in.res", (1, 2, 3), (1, 2))
    with xr.open_dataset(source, engine=ENGINE, index="simulation") as ds:
        changed = change(ds.load())
    out = tmp_path / "out.res"
    if written is None:
        with pytest.raises(ValueError, match="sync and simulation"):
            changed.kvres.write(out)
        assert not out.exists()
        return
    changed.kvres.write(out)
    with kvres.open(out) as result:
        assert [s.sync for s in result.simulations] == [written * k for k in (1, 2, 3)]
