"""kvres result sets as xarray datasets: the backend behind ``engine="kvres"``.

``xr.open_dataset("run.res", engine="kvres")`` (or, in a build tree,
``engine=kvres.xarray.KvresBackendEntrypoint``) gives a dataset with

* dimension ``simulation`` and its coordinates ``sync`` (float32) and
  ``label`` (str);
* one entity dimension per binding, ``node`` and ``element``, whose
  coordinate is the sorted union of the entity ids the subcase reports for the
  data types of that binding;
* a ``component`` dimension (``x``, ``y``, ``z``) for vectors;
* one variable per data type, named as ``kvres-tool info`` lists it, with the
  attributes ``binding``, ``format`` and ``kind``; the dataset carries the
  header's ``title`` and ``text``, the series ``files`` and their
  ``file_encodings``.

Values are read lazily: opening reads the structure and the entity ids only,
and each read of a variable reads the blocks of the simulations asked for,
one whole block per simulation. With ``chunks={}`` the variables are dask
arrays of one chunk per simulation. The arrays pickle as the path and the
data type, so dask workers in other processes open the file themselves.

``open_study(paths)`` opens many result sets along a ``run`` dimension;
``write(path, ds)`` writes a dataset of this layout back to ``.res`` through
``kvres.Writer``.
"""
import glob
import os
import threading
import warnings

import numpy as np
import xarray as xr
from xarray.backends import BackendArray, BackendEntrypoint
from xarray.backends.file_manager import CachingFileManager
from xarray.core import indexing

from . import _kvres

__all__ = ["KvresBackendEntrypoint", "KvresBackendArray", "open_study", "write",
           "blocks_read"]

COMPONENTS = ("x", "y", "z")
ENTITY_DIMENSIONS = {"nodes": "node", "elements": "element"}
READS = ("auto", "real", "complex")
COMPLEX_FORMS = ("complex", "polar")

_counter_lock = threading.Lock()
_blocks_read = 0


def blocks_read():
    """How many blocks this process has read through the backend so far."""
    return _blocks_read


def _count_block():
    global _blocks_read
    with _counter_lock:
        _blocks_read += 1


def _open_result(path, force, mode=None):
    # xarray's file manager may pass a mode after it was pickled; results are
    # only ever read.
    return _kvres.open(path, force=force)


def _manager(path, force):
    return CachingFileManager(_open_result, path, kwargs={"force": force})


class KvresBackendArray(BackendArray):
    """One variable: a data type (or the magnitude or phase of a complex one)
    over (simulation, entity[, component]), read block by block on demand.

    It holds the path (through xarray's file manager, which reopens the result
    in whichever process the array lands), the data type's name, how it is
    read, and the entity ids of its dimension; nothing else is pickled.
    """

    def __init__(self, manager, path, name, read, part, entity_ids, simulations, vector):
        self.manager = manager
        self.path = path
        self.name = name
        self.read = read  # "real" or "complex"
        self.part = part  # "real", "complex", "magnitude" or "phase"
        self.entity_ids = entity_ids
        self.vector = vector
        shape = (simulations, entity_ids.size) + ((3,) if vector else ())
        self.shape = shape
        self.dtype = np.dtype(np.complex64 if part == "complex" else np.float32)
        self._warned = False

    def __getstate__(self):
        state = dict(self.__dict__)
        state["_warned"] = False
        return state

    def __getitem__(self, key):
        return indexing.explicit_indexing_adapter(
            key, self.shape, indexing.IndexingSupport.OUTER, self._raw_indexing_method)

    def _raw_indexing_method(self, key):
        simulation_key, entity_key = key[0], key[1]
        component_key = key[2] if self.vector else slice(None)
        simulations = np.arange(self.shape[0])[simulation_key]
        scalar_simulation = np.ndim(simulations) == 0
        simulations = np.atleast_1d(simulations)
        entities = np.arange(self.shape[1])[entity_key]
        components = np.arange(3)[component_key] if self.vector else None
        whole = (isinstance(entity_key, slice) and entities.size == self.shape[1] and
                 (not self.vector or (isinstance(component_key, slice) and
                                      components.size == 3)))
        block_shape = self.shape[1:]
        out = np.empty((simulations.size,) + np.shape(entities) +
                       (np.shape(components) if self.vector else ()), self.dtype)
        result = self.manager.acquire() if simulations.size else None
        step = np.diff(simulations)
        if whole and simulations.size > 1 and (step == 1).all():
            self._fill_range(result, int(simulations[0]), int(simulations[-1]) + 1, out)
            return out[0] if scalar_simulation else out
        block = None if whole else np.empty(block_shape, self.dtype)
        for index, simulation in enumerate(simulations.tolist()):
            if whole:
                self._fill(result, simulation, out[index])
            else:
                self._fill(result, simulation, block)
                selected = block[entity_key]
                if self.vector:
                    selected = selected[..., component_key]
                out[index] = selected
        return out[0] if scalar_simulation else out

    def _fill(self, result, simulation, out):
        """Puts the whole block of one simulation into `out`, aligned with the
        entity ids: NaN where the block has no value for an entity."""
        self._count(simulation, result.read_into(self.name, simulation, self.read, self.part,
                                                 self.entity_ids, out))

    def _fill_range(self, result, start, stop, out):
        """_fill for the simulations start ... stop - 1, into out[0], out[1],
        ..., in one call of the module."""
        answers = result.read_range_into(self.name, start, stop, self.read, self.part,
                                         self.entity_ids, out)
        for simulation, unknown in zip(range(start, stop), answers.tolist()):
            self._count(simulation, unknown)

    def _count(self, simulation, unknown):
        if unknown >= 0:
            _count_block()
        if unknown > 0 and not self._warned:
            self._warned = True
            warnings.warn(
                f"{self.path}: data type {self.name!r} has, in simulation "
                f"{simulation}, {unknown} entities whose ids are not in its "
                f"coordinate; their values are left out", RuntimeWarning, stacklevel=3)


class KvresBackendEntrypoint(BackendEntrypoint):
    """xarray backend for .res result sets (``engine="kvres"``).

    Options of ``open_dataset``: ``read`` ("auto", "real" or "complex", as
    ``kvres.Result.read``; "auto" reads complex when the subcase holds complex
    results), ``complex`` ("complex": complex64 variables magnitude * e^(i *
    phase); "polar": a ``<name>_magnitude`` and a ``<name>_phase`` variable,
    phases in radians) and ``force`` (open a file whose title the
    identification does not recognise).
    """

    description = "Open .res finite-element result sets (kvres)"
    url = "https://example.invalid/kvres"
    open_dataset_parameters = ("filename_or_obj", "drop_variables", "read", "complex",
                               "force")

    def guess_can_open(self, filename_or_obj):
        try:
            path = os.fspath(filename_or_obj)
        except TypeError:
            return False
        if isinstance(path, bytes):
            path = os.fsdecode(path)
        if not os.path.isfile(path):
            return False
        try:
            with _kvres.open(path):
                return True
        except (OSError, ValueError):
            return False

    def open_dataset(self, filename_or_obj, *, drop_variables=None, read="auto",
                     complex="complex", force=False):
        if read not in READS:
            raise ValueError(f"read must be one of {READS}, not {read!r}")
        if complex not in COMPLEX_FORMS:
            raise ValueError(f"complex must be one of {COMPLEX_FORMS}, not {complex!r}")
        path = os.fspath(filename_or_obj)
        if isinstance(path, bytes):
            path = os.fsdecode(path)
        manager = _manager(path, bool(force))
        try:
            dataset = _open(manager, path, read, complex, set(drop_variables or ()))
        except BaseException:
            manager.close()
            raise
        dataset.set_close(manager.close)
        return dataset


def _open(manager, path, read, complex_form, drop):
    result = manager.acquire()
    summary = result.summary(drop)
    subcase = summary["subcase"]
    is_complex = bool(subcase is not None and subcase.is_complex)
    complex_read = read == "complex" or (read == "auto" and is_complex)
    read_mode = "complex" if complex_read else "real"
    sync, labels = summary["sync"], summary["labels"]
    count = len(labels)

    data_types = summary["data_types"]
    coordinates = {dimension: summary["ids"][binding]
                   for binding, dimension in ENTITY_DIMENSIONS.items()
                   if any(t.binding == binding for t in data_types)}

    variables = {}
    for data_type in data_types:
        dimension = ENTITY_DIMENSIONS[data_type.binding]
        vector = data_type.format == "vector"
        dims = ("simulation", dimension) + (("component",) if vector else ())
        attrs = {"binding": data_type.binding, "format": data_type.format,
                 "kind": int(data_type.kind)}
        if complex_read and complex_form == "polar":
            parts = [(data_type.name + "_magnitude", "magnitude"),
                     (data_type.name + "_phase", "phase")]
        else:
            parts = [(data_type.name, "complex" if complex_read else "real")]
        for variable_name, part in parts:
            array = KvresBackendArray(manager, path, data_type.name, read_mode, part,
                                      coordinates[dimension], count, vector)
            data = indexing.LazilyIndexedArray(array)
            variable_attrs = dict(attrs, data_type=data_type.name, part=part)
            if part == "phase":
                variable_attrs["units"] = "rad"
            variable = xr.Variable(dims, data, variable_attrs)
            variable.encoding["preferred_chunks"] = {"simulation": 1}
            variables[variable_name] = variable

    coords = {
        "sync": ("simulation", sync),
        "label": ("simulation", np.array(labels, dtype=str) if count else
                  np.array([], dtype=str)),
    }
    for dimension, ids in coordinates.items():
        coords[dimension] = (dimension, ids)
    if any(v.ndim == 3 for v in variables.values()):
        coords["component"] = ("component", np.array(COMPONENTS))
    files = summary["files"]
    attrs = {
        "title": files[0].title if files else "",
        "text": "\n".join(files[0].text) if files else "",
        "files": "\n".join(os.path.basename(f.name) for f in files),
        "file_encodings": "\n".join(f.encoding for f in files),
        "subcase": subcase.label if subcase is not None else "",
        "complex_results": int(is_complex),
        "read": read_mode,
        "recognized": int(result.recognized),
    }
    return xr.Dataset(variables, coords=coords, attrs=attrs)


def _union(arrays):
    """The sorted union of int32 id arrays. Result sets of one model mostly
    repeat the same sorted ids: those are taken as they are, not sorted
    again."""
    distinct = []
    for ids in arrays:
        if ids.size and not any(ids.size == d.size and np.array_equal(ids, d)
                                for d in distinct):
            distinct.append(ids)
    if len(distinct) == 1 and (distinct[0][1:] > distinct[0][:-1]).all():
        return distinct[0].astype(np.int32, copy=False)
    return np.unique(np.concatenate(distinct or [np.empty(0, np.int32)])).astype(np.int32)


def _study_summary(summary, read):
    """What a study needs of one result set's summary (kvres.summaries)."""
    subcase = summary["subcase"]
    is_complex = bool(subcase is not None and subcase.is_complex)
    files = summary["files"]
    return {
        "complex_read": read == "complex" or (read == "auto" and is_complex),
        "sync": summary["sync"],
        "labels": summary["labels"],
        "types": [(t.name, t.binding, t.format, int(t.kind)) for t in summary["data_types"]],
        # The sorted union of the entity ids of each binding: all a study
        # needs of them.
        "ids": summary["ids"],
        "attrs": {
            "title": files[0].title if files else "",
            "text": "\n".join(files[0].text) if files else "",
            "subcase": subcase.label if subcase is not None else "",
            "complex_results": int(is_complex),
            "recognized": int(summary["recognized"]),
        },
    }


def _summaries(paths, force, read, drop, threads=0):
    """The study summaries of some result sets, their entity ids joined into
    one union per binding (kept by the first), so that little travels back
    from a worker. Each file is opened, summarised and closed again; the
    reads open it where they run."""
    summaries = [_study_summary(s, read)
                 for s in _kvres.summaries(paths, list(drop), force, threads)]
    for binding in ENTITY_DIMENSIONS:
        joined = _union([s["ids"][binding] for s in summaries])
        for index, summary in enumerate(summaries):
            summary["ids"][binding] = joined if index == 0 else np.empty(0, np.int32)
    return summaries


class _StudyArray:
    """One variable of a study over (run, simulation, entity[, component]):
    the runs' result sets read block by block when dask asks for a chunk. It
    pickles as the runs' file managers (paths), the data type and the entity
    ids, and reaches each worker once; its chunks are read there, and dask
    fuses a chunk's read with the reduction that follows it into one task."""

    def __init__(self, runs, name, read, part, entity_ids, count, vector):
        self.runs = runs  # (file manager, path) pairs
        self.name = name
        self.read = read
        self.part = part
        self.entity_ids = entity_ids
        self.count = count
        self.vector = vector
        self.shape = (len(runs), count, entity_ids.size) + ((3,) if vector else ())
        self.ndim = len(self.shape)
        self.dtype = np.dtype(np.complex64 if part == "complex" else np.float32)

    def __getitem__(self, key):
        key = tuple(key) + (slice(None),) * (self.ndim - len(key))
        runs = range(self.shape[0])[key[0]]
        simulations = range(self.count)[key[1]]
        whole = all(k == slice(None) or k == slice(0, n) for k, n in
                    zip(key[2:], self.shape[2:]))
        # Memory that returns to the module when the chunk dies: dask's
        # workers return freed memory to the system at once, and fresh pages
        # for every chunk cost as much as a fifth of reading it.
        out = _kvres.pooled_empty((len(runs), len(simulations)) + self.shape[2:], self.dtype)
        for row, run in enumerate(runs):
            manager, path = self.runs[run]
            array = KvresBackendArray(manager, path, self.name, self.read, self.part,
                                      self.entity_ids, self.count, self.vector)
            result = manager.acquire()
            if simulations.step == 1:
                # The blocks straight into their places in the chunk.
                array._fill_range(result, simulations.start, simulations.stop, out[row])
            else:
                for index, simulation in enumerate(simulations):
                    array._fill(result, simulation, out[row, index])
        return out if whole else out[(slice(None), slice(None)) + key[2:]]


# Bytes of values a study's chunk holds at most when the runs per chunk are
# chosen for the caller: few enough tasks that scheduling them costs little
# beside reading, small enough to keep every worker busy.
_CHUNK_BYTES = 32 * 1024 * 1024


def _balanced_run_chunks(runs, most):
    """The runs of each chunk of a study: a multiple of eight chunks (or one a
    run, when there are fewer runs), as few as hold at most `most` runs each,
    their sizes differing by one at most, so that two, four or eight workers
    get equal shares."""
    shares = 8
    while -(-runs // shares) > most:
        shares += 8
    shares = min(shares, runs)
    size, larger = divmod(runs, shares)
    return (size + 1,) * larger + (size,) * (shares - larger)


def open_study(paths, *, chunks=None, parallel=False, read="auto", complex="complex",
               force=False, drop_variables=None):
    """Opens many result sets with the same data types and simulation count as
    one dataset along a ``run`` dimension whose coordinate is the file names.

    ``paths`` is a list of paths or a glob pattern. A dask chunk holds whole
    runs, at most 32 MB, in a multiple of eight chunks so that workers get
    equal shares; ``chunks={"run": k, "simulation": n}`` asks for k runs and
    n simulations per chunk instead. With ``parallel=True`` the files'
    structure is read through dask, on the workers of a distributed cluster. Entity coordinates are the union over the runs (NaN where a
    run lacks an entity); sync and label coordinates gain a run dimension
    when the runs differ in them. Result sets whose data types or simulation
    counts differ raise ValueError.
    """
    import dask
    import dask.array as da
    from dask.base import tokenize

    if isinstance(paths, (str, bytes, os.PathLike)):
        pattern = os.fsdecode(os.fspath(paths))
        paths = sorted(glob.glob(pattern))
        if not paths:
            raise FileNotFoundError(f"no files match {pattern!r}")
    paths = [os.fsdecode(os.fspath(p)) for p in paths]
    if not paths:
        raise ValueError("a study needs at least one result set")
    if read not in READS:
        raise ValueError(f"read must be one of {READS}, not {read!r}")
    if complex not in COMPLEX_FORMS:
        raise ValueError(f"complex must be one of {COMPLEX_FORMS}, not {complex!r}")
    drop = set(drop_variables or ())
    managers = [_manager(p, bool(force)) for p in paths]
    if parallel:
        # Some files per task: a task per file would cost more to schedule
        # than reading a file's structure takes. One thread a task: the
        # worker's other tasks use the other CPUs.
        size = max(1, min(32, -(-len(paths) // 8)))
        groups = [paths[start:start + size] for start in range(0, len(paths), size)]
        summaries = [summary for group in dask.compute(
            *[dask.delayed(_summaries)(g, bool(force), read, drop, 1) for g in groups])
            for summary in group]
    else:
        # Here, on a few threads that the module starts (it lets go of the
        # GIL for all the files at once). The results are closed again: the
        # reads open their files where they run, most often on a worker.
        summaries = _summaries(paths, bool(force), read, drop)
    first = summaries[0]
    count = len(first["labels"])
    for path, summary in zip(paths, summaries):
        if summary["types"] != first["types"] or len(summary["labels"]) != count or \
                summary["complex_read"] != first["complex_read"]:
            raise ValueError(
                f"{path} does not match {paths[0]}: a study's result sets need the same data "
                f"types, simulation count and complex reading (xr.open_mfdataset with "
                f"engine=kvres.xarray.KvresBackendEntrypoint combines others)")

    chunks = dict(chunks or {})
    step = chunks.get("simulation", -1)
    step = count if step in (-1, None) or step >= count else max(int(step), 1)
    complex_read = first["complex_read"]
    read_mode = "complex" if complex_read else "real"
    coordinates = {}
    for binding, dimension in ENTITY_DIMENSIONS.items():
        members = [s["ids"][binding] for s in summaries]
        if any(b == binding for _, b, _, _ in first["types"]):
            coordinates[dimension] = _union(members)
    # Runs per chunk: as asked, or at most as many as fill _CHUNK_BYTES of
    # the largest variable (see _balanced_run_chunks).
    per_run = max([step * coordinates[ENTITY_DIMENSIONS[b]].size * (3 if f == "vector" else 1)
                   * (8 if complex_read and complex == "complex" else 4)
                   for _, b, f, _ in first["types"]] + [1])
    runs_per_chunk = chunks.get("run")
    if runs_per_chunk in (None, "auto"):
        runs_per_chunk = _balanced_run_chunks(len(paths), max(1, _CHUNK_BYTES // per_run))
    elif runs_per_chunk == -1:
        runs_per_chunk = len(paths)
    else:
        runs_per_chunk = max(1, int(runs_per_chunk))
    token = tokenize(paths, [os.path.getmtime(p) for p in paths], read_mode, complex, step,
                     runs_per_chunk)
    variables = {}
    runs = list(zip(managers, paths))
    for name, binding, form, kind in first["types"]:
        dimension = ENTITY_DIMENSIONS[binding]
        vector = form == "vector"
        dims = ("run", "simulation", dimension) + (("component",) if vector else ())
        if complex_read and complex == "polar":
            parts = [(name + "_magnitude", "magnitude"), (name + "_phase", "phase")]
        else:
            parts = [(name, "complex" if complex_read else "real")]
        for variable_name, part in parts:
            array = _StudyArray(runs, name, read_mode, part, coordinates[dimension], count,
                                vector)
            data = da.from_array(
                array, chunks=(runs_per_chunk, step) + array.shape[2:],
                name="kvres-" + tokenize(token, variable_name), asarray=False, fancy=False,
                inline_array=False, meta=np.empty((0,) * array.ndim, array.dtype))
            attrs = {"binding": binding, "format": form, "kind": kind, "data_type": name,
                     "part": part}
            if part == "phase":
                attrs["units"] = "rad"
            variables[variable_name] = xr.Variable(dims, data, attrs)

    coords = {"run": ("run", [os.path.basename(p) for p in paths])}
    for coordinate, values, dtype in (("sync", [s["sync"] for s in summaries], np.float32),
                                      ("label", [s["labels"] for s in summaries], str)):
        table = np.array(values, dtype=dtype).reshape(len(paths), count)
        same = all(np.array_equal(row, table[0]) for row in table[1:])
        coords[coordinate] = ("simulation", table[0]) if same else \
            (("run", "simulation"), table)
    for dimension, ids in coordinates.items():
        coords[dimension] = (dimension, ids)
    if any(v.ndim == 4 for v in variables.values()):
        coords["component"] = ("component", np.array(COMPONENTS))
    attrs = {key: value for key, value in first["attrs"].items()
             if all(s["attrs"][key] == value for s in summaries)}
    attrs["read"] = read_mode
    dataset = xr.Dataset(variables, coords=coords, attrs=attrs)

    def close():
        for manager in managers:
            manager.close()

    dataset.set_close(close)
    return dataset


# Writing back -------------------------------------------------------------

# Kind codes by (binding, format, complex).
_KINDS = {
    ("nodes", "vector", False): 0,
    ("nodes", "scalar", False): 1,
    ("elements", "scalar", False): 3,
    ("nodes", "vector", True): 4,
    ("nodes", "scalar", True): 5,
    ("elements", "scalar", True): 6,
}
_KINDS_BY_CODE = {code: key for key, code in _KINDS.items()}
_TRIPLE_PARTS = (":Magnitude", ":Phase", ":Offset")
# The reader's degrees-to-radians factor; writing divides by it.
_RADIANS_PER_DEGREE = 0.01745329238474369


def _entity_dimension(variable):
    for dimension in variable.dims:
        if dimension in ("node", "element"):
            return dimension
    raise ValueError(f"variable {variable.name!r} has no node or element dimension")


def _rows(dataset):
    """What each simulation's table holds, in the dataset's variable order:
    (stored name, kind) -> the variables of that row, keyed by what they hold
    ("real", "complex", "magnitude", "phase", or a triple's part)."""
    rows = {}
    kinds = [v.attrs.get("kind") for v in dataset.data_vars.values()]
    # The scan appends "_NC" to every real vector of a result with complex
    # kinds (4, 6, 8); such a name goes back without it.
    has_complex = dataset.attrs.get("complex_results") == 1 or any(k in (4, 6, 8)
                                                                    for k in kinds)
    for name, variable in dataset.data_vars.items():
        if "simulation" not in variable.dims:
            continue
        data_type = variable.attrs.get("data_type", name)
        binding = "elements" if _entity_dimension(variable) == "element" else "nodes"
        vector = "component" in variable.dims
        part = variable.attrs.get("part", "complex" if np.iscomplexobj(variable) else "real")
        holds_complex = part in ("complex", "magnitude", "phase")
        kind = variable.attrs.get("kind")
        triple = next((p for p in _TRIPLE_PARTS if data_type.endswith(p)), None)
        stored = data_type
        if kind in (7, 8) and triple is not None and not vector:
            if part == "phase":
                continue  # a triple's parts are real; a complex read gives them phase 0
            stored = data_type[:-len(triple)]
            key = triple
        else:
            valid = kind in _KINDS.values() and _KINDS_BY_CODE[kind][:2] == (
                binding, "vector" if vector else "scalar")
            if not valid or (_KINDS_BY_CODE[kind][2] and part == "real"):
                kind = _KINDS.get((binding, "vector" if vector else "scalar", holds_complex))
            if kind is None:
                raise ValueError(f"variable {name!r}: no .res kind holds {binding} "
                                 f"{'vectors' if vector else 'scalars'}")
            if not _KINDS_BY_CODE[kind][2]:
                if part == "phase":
                    continue  # real data read complex: phase 0
                key = "real"
                if kind == 0 and has_complex and stored.endswith("_NC"):
                    stored = stored[:-3]
            else:
                key = part
            if kind == 4:
                # The reader drops the last four characters of a complex
                # vector's name; " (c)" is what writers put there.
                stored = stored + " (c)"
        row = rows.setdefault((stored, kind), {})
        if key in row:
            raise ValueError(f"variables {row[key].name!r} and {name!r} would both be data "
                             f"type {stored!r} of kind {kind}; a complex result read with "
                             f"read='real' cannot be written back")
        row[key] = variable
    return rows


def _records(row, kind, simulation):
    """The ids and the reals of each record of one block, as stored."""
    first = next(iter(row.values()))
    dimension = _entity_dimension(first)
    ids = np.asarray(first[dimension].values, dtype=np.int32)

    def take(variable):
        values = np.asarray(variable.isel(simulation=simulation).values)
        # Real data read complex is value * e^0: its real part as stored.
        return values.real if np.iscomplexobj(values) else values

    if kind in (7, 8):
        reals = np.stack([take(row[p]) if p in row else np.full(ids.size, np.nan, np.float32)
                          for p in _TRIPLE_PARTS], axis=-1)
    elif _KINDS_BY_CODE[kind][2]:
        if "complex" in row:
            values = np.asarray(row["complex"].isel(simulation=simulation).values)
            magnitude, phase = np.abs(values), np.angle(values)
        else:
            magnitude = take(row["magnitude"])
            phase = take(row["phase"]) if "phase" in row else np.zeros_like(magnitude)
        degrees = phase / _RADIANS_PER_DEGREE
        # Per entity (per component of a vector): magnitude, then phase.
        reals = np.stack([magnitude, degrees], axis=-1)
    else:
        reals = take(row["real"])
    reals = np.asarray(reals, dtype=np.float32).reshape(ids.size, -1)
    present = ~np.isnan(reals).all(axis=1)
    return ids[present], reals[present]


def write(path, dataset, *, encoding=None, title=None):
    """Writes a dataset of this module's layout to a .res file with
    ``kvres.Writer``: one simulation per ``simulation`` (labels from the
    ``label`` coordinate), one data type per variable (a triple's three
    variables and a polar pair into one row), entities whose values are all
    NaN left out. Complex values are stored as magnitude and phase in degrees.
    """
    writer_class = getattr(_kvres, "Writer", None)
    if writer_class is None:
        raise NotImplementedError("this build of kvres has no kvres.Writer")
    rows = _rows(dataset)
    count = dataset.sizes.get("simulation", 0)
    labels = (dataset["label"].values if "label" in dataset.coords
              else [f"Simulation {i + 1}" for i in range(count)])
    options = {}
    if encoding is not None:
        options["encoding"] = encoding
    options["title"] = title if title is not None else dataset.attrs.get(
        "title", "Korvane Results") or "Korvane Results"
    # The names above are those the file stores (kind 4's " (c)", no "_NC").
    with writer_class(os.fspath(path), names="stored", **options) as writer:
        for simulation in range(count):
            writer.simulation(str(labels[simulation]))
            for (stored, kind), row in rows.items():
                ids, reals = _records(row, kind, simulation)
                writer.block(stored, kind=kind, ids=ids, values=reals)
