"""kvres result sets as xarray datasets: the backend behind ``engine="kvres"``.

``xr.open_dataset("run.res", engine="kvres")`` (or, in a build tree,
``engine=kvres.xarray.KvresBackendEntrypoint``) gives a dataset with

* dimension ``simulation`` and its coordinates ``sync`` (float32, indexed
  where it increases) and ``label`` (str); with ``index="simulation"`` a
  ``simulation`` dimension coordinate of the sync values is indexed instead,
  which ``xr.open_mfdataset(..., combine="by_coords")`` orders files by;
* one entity dimension per binding, ``node`` and ``element``, whose
  coordinate is the sorted union of the entity ids of every block of the data
  types of that binding, in every simulation;
* a ``component`` dimension (``x``, ``y``, ``z``) for vectors;
* one variable per data type, read as its kind stores it (real kinds
  float32, complex kinds complex64 or a polar pair, a triple's parts as
  stored), named as ``kvres-tool info`` lists it, with the attributes
  ``long_name``, ``binding``, ``format``, ``kind``, ``data_type`` and
  ``part``; the dataset carries the header's ``title`` and ``text``, the
  series ``files`` and their ``file_encodings``.

A dataset shows exactly what the file holds; where it cannot, it raises
``ReadError`` (``errors="nan"`` shows NaN instead). Values are read lazily:
opening reads the structure and the entity ids only, and each read of a
variable reads the blocks of the simulations asked for, one whole block per
simulation, once for all the variables it feeds. With ``chunks={}`` the
variables are dask arrays of one chunk per simulation. The arrays pickle as
the path and the data type, so dask workers in other processes open the file
themselves.

``open_study(paths)`` opens many result sets along a ``run`` dimension;
``write(path, ds)`` (or ``ds.kvres.write``) writes a dataset of this layout
back to ``.res`` through ``kvres.Writer``; ``ds.kvres.to_netcdf`` refuses
complex values, which NetCDF cannot hold, naming ``complex="polar"``.
"""
import glob
import os
import pathlib
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
# What indexes the simulation dimension: the sync coordinate (where its
# values increase), or a simulation dimension coordinate of the sync values.
INDEXES = ("sync", "simulation")
COMPLEX_FORMS = ("complex", "polar")

_counter_lock = threading.Lock()
_blocks_read = 0

# The kinds as the format's description (kvres.kinds) tells them: those whose
# blocks hold magnitude and phase, read with the complex read; the triples'
# three reals, read as they are stored; the rest are real.
_KIND = {kind["code"]: kind for kind in _kvres.kinds}
_COMPLEX_KINDS = tuple(code for code, kind in _KIND.items() if kind["complex"])
_TRIPLE_KINDS = tuple(code for code, kind in _KIND.items() if kind["format"] == "triple")
_TRIPLE_PARTS = _KIND[_TRIPLE_KINDS[0]]["triple_parts"]
_TRIPLE_PHASE = _KIND[_TRIPLE_KINDS[0]]["phase_part"]
_TRIPLE_COLUMNS = {part: column for column, part in enumerate(_TRIPLE_PARTS)}
ERRORS = ("raise", "nan")
# Bytes of values read for one variable that wait for the other variables of
# the same blocks (a polar pair, a triple's parts), in this process: past it,
# those read their blocks again.
_WAITING_BYTES = 64 * 1024 * 1024
_waiting_lock = threading.Lock()
_waiting_total = 0


def _reserve_waiting(size):
    """Whether `size` more bytes may wait (and then they are counted)."""
    global _waiting_total
    with _waiting_lock:
        if _waiting_total + size > _WAITING_BYTES:
            return False
        _waiting_total += size
        return True


def _release_waiting(size):
    global _waiting_total
    with _waiting_lock:
        _waiting_total -= size
# Bytes of whole blocks read at a time for a selection of some entities.
_SELECTION_BYTES = 16 * 1024 * 1024


# A block could not be read as the file held it when the dataset was opened:
# the file was removed, cut short or replaced since, or a block is cut short.
# The message names the file, the simulation and the data type;
# ``errors="nan"`` shows NaN there instead. The module's own read error (an
# OSError and a kvres.Error), under its old name here too.
ReadError = _kvres.ReadError

# What the data given to write() does wrong: the writer's InputError (a
# ValueError and a kvres.Error); a wrong argument value stays a ValueError.
InputError = _kvres.InputError


class _DatasetReadError(ReadError):
    """A ReadError that already names the file, the simulation and the data
    type (the module's own ones are given that context when they pass)."""


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


def _identity(names):
    """What tells the series files apart from others put in their place: each
    file's device, inode, size and modification time; None for one that is
    gone."""
    found = []
    for name in names:
        try:
            status = os.stat(name)
        except OSError:
            found.append(None)
            continue
        found.append((status.st_dev, status.st_ino, status.st_size, status.st_mtime_ns))
    return tuple(found)


class _Blocks:
    """One data type's blocks in one result set, read for every variable they
    feed: a block read for one of them (a polar pair's magnitude, a triple's
    magnitude) fills the others too, whose values wait here until they are
    asked for, so that loading them all reads each block once.

    It pickles as the file manager (the path), the data type, how it is read,
    the entity ids and the files' identity at open; the waiting values stay
    behind."""

    def __init__(self, manager, path, name, read, parts, entity_ids, count, vector, identity,
                 errors):
        self.manager = manager
        self.path = path
        self.name = name  # the data type whose blocks are read
        self.read = read  # "real" or "complex"
        self.parts = parts  # what each variable takes of a block (read_parts_into)
        self.entity_ids = entity_ids
        self.count = count
        self.vector = vector
        self.identity = identity  # ((file name, ...), _identity at open)
        self.errors = errors
        self._setup()

    def _setup(self):
        self._lock = threading.Lock()
        self._waiting = {}  # (part index, simulation) -> block values
        self._waiting_bytes = 0
        # simulation -> an event set when a read of its block, under way in
        # another thread, has ended: its values for the other variables then
        # wait here (unless the budget refused them), so the block is not
        # read twice by two variables loaded at once.
        self._reading = {}
        self._warned = False

    def __del__(self):
        if getattr(self, "_waiting_bytes", 0):
            _release_waiting(self._waiting_bytes)

    def __getstate__(self):
        state = dict(self.__dict__)
        for name in ("_lock", "_waiting", "_waiting_bytes", "_reading", "_warned"):
            del state[name]
        return state

    def __setstate__(self, state):
        self.__dict__.update(state)
        self._setup()

    def dtype(self, index):
        return np.dtype(np.complex64 if self.parts[index] == "complex" else np.float32)

    def block_shape(self):
        return (self.entity_ids.size,) + ((3,) if self.vector else ())

    def fill(self, index, simulations, out):
        """out[k] = part `index` of the block of simulations[k] (a list of
        ints), aligned with the entity ids."""
        missing = self._take_waiting(index, simulations, out, range(len(simulations)))
        if len(self.parts) > 1 and missing:
            # Blocks another thread is reading for another variable: wait for
            # that read rather than read them again.
            ours, theirs = [], []
            with self._lock:
                for k in missing:
                    event = self._reading.get(simulations[k])
                    if event is None:
                        event = self._reading[simulations[k]] = threading.Event()
                        ours.append((k, event))
                    else:
                        theirs.append((k, event))
            try:
                self._read_runs(index, simulations, out, [k for k, _ in ours])
            finally:
                with self._lock:
                    for k, event in ours:
                        del self._reading[simulations[k]]
                        event.set()
            for _, event in theirs:
                event.wait()
            missing = self._take_waiting(index, simulations, out, [k for k, _ in theirs])
        self._read_runs(index, simulations, out, missing)

    def _take_waiting(self, index, simulations, out, positions):
        """Fills out[k] from the waiting values; returns the positions left."""
        missing = []
        with self._lock:
            for k in positions:
                values = self._waiting.pop((index, simulations[k]), None)
                if values is None:
                    missing.append(k)
                else:
                    out[k] = values
                    self._waiting_bytes -= values.nbytes
                    _release_waiting(values.nbytes)
        return missing

    def _read_runs(self, index, simulations, out, missing):
        """Reads out[k] for the positions `missing`: runs of consecutive
        simulations, each in one call."""
        start = 0
        while start < len(missing):
            stop = start + 1
            while stop < len(missing) and missing[stop] == missing[stop - 1] + 1 and \
                    simulations[missing[stop]] == simulations[missing[stop - 1]] + 1:
                stop += 1
            first, last = missing[start], missing[stop - 1] + 1
            self._read(index, simulations[first], simulations[first] + last - first,
                       out[first:last])
            start = stop

    def _read(self, index, start, stop, out):
        shape = (stop - start,) + self.block_shape()
        outs = [out if j == index else np.empty(shape, self.dtype(j))
                for j in range(len(self.parts))]
        self._read_into(start, stop, outs)
        if len(outs) > 1:
            with self._lock:
                for j, values in enumerate(outs):
                    if j == index or not _reserve_waiting(values.nbytes):
                        continue
                    for k in range(stop - start):
                        self._waiting[(j, start + k)] = values[k]
                    self._waiting_bytes += values.nbytes

    def _failure(self, simulation, why):
        return _DatasetReadError(f"{self.path}: simulation {simulation}, data type "
                                 f"{self.name!r}: {why}")

    def _check(self, simulation):
        names, identity = self.identity
        if _identity(names) != identity:
            raise self._failure(simulation, "the file was removed, changed or replaced after "
                                            "the dataset was opened")

    def _read_into(self, start, stop, outs):
        strict = self.errors == "raise"
        try:
            if strict:
                self._check(start)
            result = self.manager.acquire()
            answers = result.read_parts_into(self.name, start, stop, self.read, self.parts,
                                             self.entity_ids, outs)
        except OSError as error:
            if strict:
                if isinstance(error, _DatasetReadError):
                    raise
                raise self._failure(start, str(error)) from error
            for out in outs:
                out[...] = np.nan
            return
        if strict:
            self._check(start)
        for simulation, (state, unknown, _) in zip(range(start, stop), answers.tolist()):
            if state >= 0:
                _count_block()
            if strict and state == 0:
                raise self._failure(simulation, "its block could not be read whole (cut short, "
                                                "or its file is gone)")
            if unknown > 0:
                if strict:
                    raise self._failure(simulation, f"{unknown} entities of its block were not "
                                                    f"in it when the dataset was opened")
                if not self._warned:
                    self._warned = True
                    warnings.warn(
                        f"{self.path}: data type {self.name!r} has, in simulation "
                        f"{simulation}, {unknown} entities whose ids are not in its "
                        f"coordinate; their values are left out", RuntimeWarning, stacklevel=4)


class KvresBackendArray(BackendArray):
    """One variable over (simulation, entity[, component]): one part of a
    data type's blocks (its values, a complex one's magnitude, phase or
    complex value, a triple's column), read block by block on demand."""

    def __init__(self, blocks, index):
        self.blocks = blocks
        self.index = index
        self.shape = (blocks.count,) + blocks.block_shape()
        self.dtype = blocks.dtype(index)

    @property
    def path(self):
        return self.blocks.path

    def __getitem__(self, key):
        return indexing.explicit_indexing_adapter(
            key, self.shape, indexing.IndexingSupport.OUTER, self._raw_indexing_method)

    def _raw_indexing_method(self, key):
        simulation_key, entity_key = key[0], key[1]
        component_key = key[2] if len(key) > 2 else slice(None)
        simulations = np.arange(self.shape[0])[simulation_key]
        scalar_simulation = np.ndim(simulations) == 0
        simulations = np.atleast_1d(simulations).tolist()
        whole = isinstance(entity_key, slice) and \
            np.arange(self.shape[1])[entity_key].size == self.shape[1] and \
            isinstance(component_key, slice) and \
            (len(self.shape) < 3 or np.arange(3)[component_key].size == 3)
        block_shape = self.shape[1:]
        if whole:
            # Memory the module takes back when the array dies: a whole
            # variable read again (or the next one) then writes into pages
            # that are mapped already, not fresh ones faulted in and zeroed.
            out = _kvres.pooled_empty((len(simulations),) + block_shape, self.dtype)
            self.blocks.fill(self.index, simulations, out)
            return out[0] if scalar_simulation else out
        # Whole blocks a batch at a time, then the selection of each.
        per_block = max(1, int(np.prod(block_shape)) * self.dtype.itemsize)
        batch = max(1, _SELECTION_BYTES // per_block)
        pieces = []
        for first in range(0, len(simulations), batch):
            some = simulations[first:first + batch]
            full = np.empty((len(some),) + block_shape, self.dtype)
            self.blocks.fill(self.index, some, full)
            selected = full[:, entity_key]
            if len(self.shape) > 2:
                selected = selected[..., component_key]
            pieces.append(selected)
        if pieces:
            out = np.concatenate(pieces)
        else:
            probe = np.empty((0,) + block_shape, self.dtype)[:, entity_key]
            out = probe[..., component_key] if len(self.shape) > 2 else probe
        return out[0] if scalar_simulation else out


def _documentation():
    """Where the backend's documentation is, for ``xr.backends.list_engines()``:
    docs/python.md as installed (P/share/doc/kvres beside the package in
    P/lib/python3/dist-packages/kvres) or in the source tree around a build
    tree's package (build/python/kvres) or the sources' own (python/kvres),
    as a file URL; else where to read it."""
    here = os.path.dirname(os.path.abspath(__file__))
    for parts in ((os.pardir,) * 4 + ("share", "doc", "kvres"),
                  (os.pardir,) * 3 + ("docs",), (os.pardir,) * 2 + ("docs",)):
        candidate = os.path.normpath(os.path.join(here, *parts, "python.md"))
        if os.path.isfile(candidate):
            return pathlib.Path(candidate).as_uri() + "#xarray-and-dask"
    return "help(kvres.xarray), and docs/python.md in the kvres sources"


_DECODING_OPTIONS = ("mask_and_scale", "decode_times", "concat_characters", "decode_coords",
                     "use_cftime", "decode_timedelta", "decode_cf")


class KvresBackendEntrypoint(BackendEntrypoint):
    """xarray backend for .res result sets (``engine="kvres"``); its options
    are those of ``open_dataset`` below, its layout is in docs/python.md."""

    description = "Open .res finite-element result sets (kvres)"
    url = _documentation()
    open_dataset_parameters = ("filename_or_obj", "drop_variables", "complex", "errors",
                               "force", "index", "read") + _DECODING_OPTIONS

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

    def open_dataset(self, filename_or_obj, *, drop_variables=None, complex="complex",
                     errors="raise", force=False, index="sync", read="auto",
                     mask_and_scale=None,
                     decode_times=None, concat_characters=None, decode_coords=None,
                     use_cftime=None, decode_timedelta=None, decode_cf=None):
        """Opens a .res result set (one file or its numbered series) lazily.

        ``xr.open_dataset(path, engine="kvres", ...)`` takes:

        complex : "complex" or "polar"
            A complex data type (kinds 4, 5, 6) as one complex64 variable
            (magnitude * e^(i * phase)), or as ``<name>_magnitude`` and
            ``<name>_phase`` (radians) float32 variables, which NetCDF can
            store.
        errors : "raise" or "nan"
            "raise" (the default): a block that cannot be read whole, or a
            file removed, cut or replaced after opening, raises
            ``kvres.xarray.ReadError`` (an OSError) naming the file, the
            simulation and the data type, at open for a header that cannot
            be read. "nan": NaN where a read fails, and whatever a damaged
            file still holds.
        force : bool
            Open a file whose title the identification does not recognise.
        index : "sync" or "simulation"
            "sync" (the default): the ``sync`` coordinate is indexed where
            its values increase, for ``ds.sel(sync=0.3, method="nearest")``;
            the ``simulation`` dimension has no coordinate of its own.
            "simulation": a ``simulation`` dimension coordinate holds the
            sync values and is indexed (``ds.sel(simulation=0.3,
            method="nearest")``), and ``sync`` is not; this is what
            ``xr.open_mfdataset(..., combine="by_coords")`` orders files by.
            xarray allows one index a dimension, so not both.
        drop_variables : str or iterable of str
            Variables or coordinates left out; unknown names are ignored.
        read : "auto"
            Every data type is read as its kind stores it; "real" or
            "complex" are accepted only where they read the same.
        mask_and_scale, decode_times, concat_characters, decode_coords,
        use_cftime, decode_timedelta, decode_cf :
            Accepted for xarray's sake and ignored: the values are float32
            or complex64 as read, sync values plain numbers.
        """
        if complex not in COMPLEX_FORMS:
            raise ValueError(f"complex must be one of {COMPLEX_FORMS}, not {complex!r}")
        if errors not in ERRORS:
            raise ValueError(f"errors must be one of {ERRORS}, not {errors!r}")
        if read not in READS:
            raise ValueError(f"read must be one of {READS}, not {read!r}")
        if index not in INDEXES:
            raise ValueError(f"index must be one of {INDEXES}, not {index!r}")
        path = os.fspath(filename_or_obj)
        if isinstance(path, bytes):
            path = os.fsdecode(path)
        path = os.path.abspath(path)
        manager = _manager(path, bool(force))
        try:
            dataset = _open(manager, path, complex, _drop_set(drop_variables), errors, read,
                            index)
        except BaseException:
            manager.close()
            raise
        dataset.set_close(manager.close)
        return dataset


def _drop_set(drop_variables):
    if drop_variables is None:
        return set()
    if isinstance(drop_variables, (str, bytes)):
        drop_variables = [drop_variables]
    return {os.fsdecode(d) if isinstance(d, bytes) else d for d in drop_variables}


def _plan(data_types, complex_form, drop):
    """The blocks each variable takes its values from: a list of (name of the
    data type read, read, binding, format, kind, [(variable, part, attrs)]),
    one for each directory entry (a triple's three data types share one),
    variables named in `drop` left out."""
    groups = {}
    for data_type in data_types:
        kind = int(data_type.kind)
        name = data_type.name
        attrs = {"binding": data_type.binding, "format": data_type.format, "kind": kind,
                 "data_type": name}
        triple = next((s for s in _TRIPLE_COLUMNS if name.endswith(s)), None) \
            if kind in _TRIPLE_KINDS else None
        if triple is not None:
            key = (name[:-len(triple)], kind)
            column = _TRIPLE_COLUMNS[triple]
            variables = [(name, f"column{column}",
                          dict(attrs, part=triple[1:].lower(), long_name=name,
                               **({"units": "degree"} if column == _TRIPLE_PHASE else {})))]
            read = "real"
        elif kind in _COMPLEX_KINDS:
            key = (name, None)
            read = "complex"
            if complex_form == "polar":
                variables = [(name + "_magnitude", "magnitude",
                              dict(attrs, part="magnitude", long_name=name + " magnitude")),
                             (name + "_phase", "phase",
                              dict(attrs, part="phase", long_name=name + " phase",
                                   units="rad"))]
            else:
                variables = [(name, "complex", dict(attrs, part="complex", long_name=name))]
        else:
            key = (name, None)
            read = "real"
            variables = [(name, "value", dict(attrs, part="real", long_name=name))]
        variables = [v for v in variables if v[0] not in drop]
        if not variables:
            continue
        group = groups.setdefault(key, [name, read, data_type.binding, data_type.format,
                                        kind, []])
        group[5].extend(variables)
    return list(groups.values())


def _check_read(read, plan):
    """read="real" or "complex" only where it reads every data type as its
    kind stores it."""
    if read == "auto":
        return
    wrong = [name for name, how, _, _, _, _ in plan if how != read]
    if wrong:
        raise ValueError(
            f"read={read!r} would misread {', '.join(map(repr, wrong))}: the backend reads "
            f"every data type as its kind stores it; leave read out (complex='polar' gives "
            f"NetCDF-ready variables) or use kvres.open(...).read(..., read={read!r})")


_COORDINATE_ATTRS = {
    "sync": {"long_name": "sync value (time, frequency or step) of the simulation"},
    "simulation": {"long_name": "simulation, by its sync value (time, frequency or step)"},
    "label": {"long_name": "simulation label"},
    "node": {"long_name": "node id"},
    "element": {"long_name": "element id"},
    "component": {"long_name": "vector component"},
}


def _header_attrs(files):
    text = list(files[0].text) if files else []
    title = next((line.strip() for line in text if line.strip()), "")
    return {
        "title": title,
        "text": "\n".join(text),
        "format_title": files[0].title if files else "",
    }


def _open(manager, path, complex_form, drop, errors, read, index_by="sync"):
    result = manager.acquire()
    summary = result.summary(sorted(d for d in drop if isinstance(d, str)), brief=True)
    files = summary["files"]
    names = [f.name for f in files]
    if errors == "raise":
        if not files:
            raise ReadError(f"{path}: its header cannot be read (cut short or not a .res "
                            f"file); errors='nan' opens it anyway")
        for f in files:
            if not f.detected:
                raise ReadError(f"{f.name}: its header cannot be read (cut short or not a "
                                f".res file); errors='nan' opens it anyway")
    identity = (names, _identity(names))
    subcase = summary["subcase"]
    is_complex = bool(subcase is not None and subcase.is_complex)
    sync = summary["sync"]
    count = len(sync)

    plan = _plan(summary["data_types"], complex_form, drop)
    _check_read(read, plan)
    found = result.block_entity_ids([g[0] for g in plan], [g[1] == "complex" for g in plan])
    coordinates = {}
    for binding, dimension in ENTITY_DIMENSIONS.items():
        members = [ids for (ids, _), g in zip(found, plan) if g[2] == binding]
        if members:
            coordinates[dimension] = _union(members)
    repeated = [g[0] for (_, twice), g in zip(found, plan) if twice]

    variables = {}
    for (name, how, binding, form, kind, parts), (_, twice) in zip(plan, found):
        dimension = ENTITY_DIMENSIONS[binding]
        vector = form == "vector"
        dims = ("simulation", dimension) + (("component",) if vector else ())
        blocks = _Blocks(manager, path, name, how, [p for _, p, _ in parts],
                         coordinates[dimension], count, vector, identity, errors)
        for index, (variable_name, _, attrs) in enumerate(parts):
            if twice:
                attrs = dict(attrs, repeated_ids="a block holds an id twice: its first "
                                                 "record is shown")
            data = indexing.LazilyIndexedArray(KvresBackendArray(blocks, index))
            variable = xr.Variable(dims, data, attrs)
            variable.encoding["preferred_chunks"] = {"simulation": 1}
            variables[variable_name] = variable

    coords = {
        "sync": ("simulation", sync, _COORDINATE_ATTRS["sync"]),
        "label": ("simulation", summary["label_array"], _COORDINATE_ATTRS["label"]),
    }
    for dimension, ids in coordinates.items():
        coords[dimension] = (dimension, ids, _COORDINATE_ATTRS[dimension])
    if any(v.ndim == 3 for v in variables.values()):
        coords["component"] = ("component", np.array(COMPONENTS),
                               _COORDINATE_ATTRS["component"])
    coords = {k: v for k, v in coords.items() if k not in drop}
    attrs = dict(_header_attrs(files), **{
        "Conventions": "CF-1.8",
        "files": "\n".join(os.path.basename(f.name) for f in files),
        "file_encodings": "\n".join(f.encoding for f in files),
        "subcase": subcase.label if subcase is not None else "",
        "complex_results": int(is_complex),
        "recognized": int(result.recognized),
        "errors": errors,
    })
    if repeated:
        attrs["repeated_ids"] = "\n".join(repeated)
    dataset = xr.Dataset(variables, coords=coords, attrs=attrs)
    if index_by == "simulation":
        if "simulation" not in drop:
            dataset = dataset.assign_coords(
                simulation=("simulation", np.asarray(sync, np.float32),
                            _COORDINATE_ATTRS["simulation"]))
    elif "sync" in dataset.coords and _increasing(dataset["sync"].values):
        # ds.sel(sync=..., method="nearest") picks simulations by sync value.
        dataset = dataset.set_xindex("sync")
    return dataset


def _increasing(values):
    return values.size == 0 or bool((values[1:] > values[:-1]).all())


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


def _summaries(paths, force, complex_form, drop, threads=0):
    """What a study needs of some result sets: each one's structure, its
    reading plan (_plan), the files' identity and, per binding, the union of
    the entity ids of all blocks of its data types, joined over the result
    sets into one union per binding (kept by the first), so that little
    travels back from a worker. Each file is opened, read and closed again;
    the reads open it where they run."""
    from concurrent.futures import ThreadPoolExecutor

    found = _kvres.summaries(paths, sorted(d for d in drop if isinstance(d, str)), force,
                             threads)
    summaries = []
    for summary in found:
        subcase = summary["subcase"]
        is_complex = bool(subcase is not None and subcase.is_complex)
        files = summary["files"]
        names = [f.name for f in files]
        summaries.append({
            "sync": summary["sync"],
            "labels": summary["labels"],
            "plan": _plan(summary["data_types"], complex_form, drop),
            "files": names,
            "detected": bool(files) and all(f.detected for f in files),
            "identity": (names, _identity(names)),
            "attrs": dict(_header_attrs(files), **{
                "subcase": subcase.label if subcase is not None else "",
                "complex_results": int(is_complex),
                "recognized": int(summary["recognized"]),
            }),
        })

    def block_ids(item):
        path, summary = item
        plan = summary["plan"]
        with _kvres.open(path, force=force) as result:
            return result.block_entity_ids([g[0] for g in plan],
                                           [g[1] == "complex" for g in plan])

    workers = threads if threads > 0 else max(1, min(8, os.cpu_count() or 1))
    with ThreadPoolExecutor(max_workers=workers) as pool:
        answers = list(pool.map(block_ids, zip(paths, summaries)))
    for summary, answer in zip(summaries, answers):
        summary["ids"] = {binding: [ids for (ids, _), g in zip(answer, summary["plan"])
                                    if g[2] == binding] for binding in ENTITY_DIMENSIONS}
        summary["repeated"] = [g[0] for (_, twice), g in zip(answer, summary["plan"]) if twice]
    for binding in ENTITY_DIMENSIONS:
        joined = _union([ids for s in summaries for ids in s["ids"][binding]])
        for index, summary in enumerate(summaries):
            summary["ids"][binding] = joined if index == 0 else None
    return summaries


class _StudyArray:
    """One variable of a study over (run, simulation, entity[, component]):
    the runs' result sets read block by block when dask asks for a chunk. It
    pickles as the runs' block sources (paths, data type, entity ids) and
    reaches each worker once; its chunks are read there, and dask fuses a
    chunk's read with the reduction that follows it into one task."""

    def __init__(self, runs, index, entity_ids, count, vector, dtype):
        self.runs = runs  # one _Blocks per run, shared with the sibling variables
        self.index = index
        self.shape = (len(runs), count, entity_ids.size) + ((3,) if vector else ())
        self.ndim = len(self.shape)
        self.dtype = np.dtype(dtype)

    def __getitem__(self, key):
        key = tuple(key) + (slice(None),) * (self.ndim - len(key))
        runs = range(self.shape[0])[key[0]]
        simulations = list(range(self.shape[1])[key[1]])
        whole = all(k == slice(None) or k == slice(0, n) for k, n in
                    zip(key[2:], self.shape[2:]))
        # Memory that returns to the module when the chunk dies: dask's
        # workers return freed memory to the system at once, and fresh pages
        # for every chunk cost as much as a fifth of reading it.
        out = _kvres.pooled_empty((len(runs), len(simulations)) + self.shape[2:], self.dtype)
        for row, run in enumerate(runs):
            self.runs[run].fill(self.index, simulations, out[row])
        return out if whole else out[(slice(None), slice(None)) + key[2:]]


def _run_names(paths):
    """The shortest trailing parts of the paths that tell them apart:
    cases/a/model.res and cases/b/model.res are a/model.res and b/model.res."""
    parts = [os.path.normpath(os.path.abspath(p)).split(os.sep) for p in paths]
    longest = max(len(p) for p in parts)
    for count in range(1, longest + 1):
        names = ["/".join(p[-count:]) for p in parts]
        if len(set(names)) == len(names):
            return names
    return ["/".join(p) for p in parts]


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
               errors="raise", force=False, drop_variables=None):
    """Opens many result sets with the same data types and simulation count as
    one dataset along a ``run`` dimension.

    paths : list of paths, or a glob pattern
        The runs; the ``run`` coordinate names each by the shortest
        trailing part of its path that tells it apart from the others
        (``cases/a/model.res`` and ``cases/b/model.res`` are ``a/model.res``
        and ``b/model.res``).
    chunks : dict, optional
        A dask chunk holds whole runs, at most 32 MB, in a multiple of eight
        chunks so that workers get equal shares; ``{"run": k, "simulation":
        n}`` asks for k runs and n simulations per chunk instead.
    parallel : bool
        Read the files' structure through dask, on the workers of a
        distributed cluster (for files the client cannot reach).
    complex, errors, force, drop_variables, read :
        As ``xr.open_dataset(..., engine="kvres")``.

    Each data type is read as its kind stores it, as in a single dataset.
    Entity coordinates are the union over the runs of the ids of all blocks
    (NaN where a run lacks an entity); sync and label coordinates gain a run
    dimension when the runs differ in them. Result sets whose data types or
    simulation counts differ raise ValueError.
    """
    import dask
    import dask.array as da
    from dask.base import tokenize

    if isinstance(paths, (str, bytes, os.PathLike)):
        pattern = os.fsdecode(os.fspath(paths))
        paths = sorted(glob.glob(pattern))
        if not paths:
            raise FileNotFoundError(f"no files match {pattern!r}")
    paths = [os.path.abspath(os.fsdecode(os.fspath(p))) for p in paths]
    if not paths:
        raise ValueError("a study needs at least one result set")
    if read not in READS:
        raise ValueError(f"read must be one of {READS}, not {read!r}")
    if complex not in COMPLEX_FORMS:
        raise ValueError(f"complex must be one of {COMPLEX_FORMS}, not {complex!r}")
    if errors not in ERRORS:
        raise ValueError(f"errors must be one of {ERRORS}, not {errors!r}")
    drop = _drop_set(drop_variables)
    managers = [_manager(p, bool(force)) for p in paths]
    if parallel:
        # Some files per task: a task per file would cost more to schedule
        # than reading a file's structure takes. One thread a task: the
        # worker's other tasks use the other CPUs.
        size = max(1, min(32, -(-len(paths) // 8)))
        groups = [paths[start:start + size] for start in range(0, len(paths), size)]
        parts = dask.compute(*[dask.delayed(_summaries)(g, bool(force), complex, drop, 1)
                               for g in groups])
        for part in parts[1:]:
            # Each group joined its own ids; the first of each holds them.
            for binding in ENTITY_DIMENSIONS:
                parts[0][0]["ids"][binding] = _union([parts[0][0]["ids"][binding],
                                                      part[0]["ids"][binding]])
        summaries = [summary for part in parts for summary in part]
    else:
        # Here, on a few threads that the module starts (it lets go of the
        # GIL for all the files at once). The results are closed again: the
        # reads open their files where they run, most often on a worker.
        summaries = _summaries(paths, bool(force), complex, drop)
    first = summaries[0]
    count = len(first["labels"])

    def shape_of(summary):
        return [(g[0], g[1], g[2], g[3], g[4], [v[0] for v in g[5]]) for g in summary["plan"]]

    for path, summary in zip(paths, summaries):
        if errors == "raise" and not summary["detected"]:
            raise ReadError(f"{path}: a header of its series cannot be read (cut short or not "
                            f"a .res file); errors='nan' opens it anyway")
        if shape_of(summary) != shape_of(first) or len(summary["labels"]) != count:
            raise ValueError(
                f"{path} does not match {paths[0]}: a study's result sets need the same data "
                f"types and simulation count")
    _check_read(read, first["plan"])

    chunks = dict(chunks or {})
    step = chunks.get("simulation", -1)
    step = count if step in (-1, None) or step >= count else max(int(step), 1)
    coordinates = {}
    for binding, dimension in ENTITY_DIMENSIONS.items():
        if any(g[2] == binding for g in first["plan"]):
            coordinates[dimension] = first["ids"][binding]
    # Runs per chunk: as asked, or at most as many as fill _CHUNK_BYTES of
    # the largest variable (see _balanced_run_chunks).
    per_run = max([step * coordinates[ENTITY_DIMENSIONS[g[2]]].size *
                   (3 if g[3] == "vector" else 1) *
                   (8 if any(v[1] == "complex" for v in g[5]) else 4)
                   for g in first["plan"]] + [1])
    runs_per_chunk = chunks.get("run")
    if runs_per_chunk in (None, "auto"):
        runs_per_chunk = _balanced_run_chunks(len(paths), max(1, _CHUNK_BYTES // per_run))
    elif runs_per_chunk == -1:
        runs_per_chunk = len(paths)
    else:
        runs_per_chunk = max(1, int(runs_per_chunk))
    token = tokenize(paths, [s["identity"][1] for s in summaries], complex, errors, step,
                     runs_per_chunk)
    variables = {}
    repeated = sorted({name for s in summaries for name in s["repeated"]})
    for group in first["plan"]:
        name, how, binding, form, kind, parts = group
        dimension = ENTITY_DIMENSIONS[binding]
        vector = form == "vector"
        dims = ("run", "simulation", dimension) + (("component",) if vector else ())
        runs = [_Blocks(manager, path, name, how, [p for _, p, _ in parts],
                        coordinates[dimension], count, vector, summary["identity"], errors)
                for manager, path, summary in zip(managers, paths, summaries)]
        for index, (variable_name, part, attrs) in enumerate(parts):
            array = _StudyArray(runs, index, coordinates[dimension], count, vector,
                                runs[0].dtype(index))
            data = da.from_array(
                array, chunks=(runs_per_chunk, step) + array.shape[2:],
                name="kvres-" + tokenize(token, variable_name), asarray=False, fancy=False,
                inline_array=False, meta=np.empty((0,) * array.ndim, array.dtype))
            if name in repeated:
                attrs = dict(attrs, repeated_ids="a block holds an id twice: its first "
                                                 "record is shown")
            variables[variable_name] = xr.Variable(dims, data, attrs)

    coords = {"run": ("run", _run_names(paths), {"long_name": "result set"})}
    for coordinate, values, dtype in (("sync", [s["sync"] for s in summaries], np.float32),
                                      ("label", [s["labels"] for s in summaries], str)):
        table = np.array(values, dtype=dtype).reshape(len(paths), count)
        same = all(np.array_equal(row, table[0]) for row in table[1:])
        coords[coordinate] = ("simulation", table[0], _COORDINATE_ATTRS[coordinate]) if same \
            else (("run", "simulation"), table, _COORDINATE_ATTRS[coordinate])
    for dimension, ids in coordinates.items():
        coords[dimension] = (dimension, ids, _COORDINATE_ATTRS[dimension])
    if any(v.ndim == 4 for v in variables.values()):
        coords["component"] = ("component", np.array(COMPONENTS),
                               _COORDINATE_ATTRS["component"])
    coords = {k: v for k, v in coords.items() if k not in drop}
    attrs = {key: value for key, value in first["attrs"].items()
             if all(s["attrs"][key] == value for s in summaries)}
    attrs["Conventions"] = "CF-1.8"
    attrs["errors"] = errors
    if repeated:
        attrs["repeated_ids"] = "\n".join(repeated)
    dataset = xr.Dataset(variables, coords=coords, attrs=attrs)

    def close():
        for manager in managers:
            manager.close()

    dataset.set_close(close)
    return dataset


# Writing back -------------------------------------------------------------

# Kind codes of the scalars and vectors by (binding, format, complex).
_KINDS = {(kind["binding"], kind["format"], kind["complex"]): code
          for code, kind in _KIND.items() if kind["format"] in ("scalar", "vector")}
_KINDS_BY_CODE = {code: key for key, code in _KINDS.items()}


def _entity_dimension(variable):
    for dimension in variable.dims:
        if dimension in ("node", "element"):
            return dimension
    raise InputError(f"variable {variable.name!r} has no node or element dimension")


def _rows(dataset):
    """What each simulation's table holds, in the dataset's variable order:
    (stored name, kind) -> the variables of that row, keyed by what they hold
    ("real", "complex", "magnitude", "phase", or a triple's part). A
    variable is stored under its own name (a renamed or a computed one under
    the name it has now); a polar pair's two variables and a triple's three
    under their data type's."""
    rows = {}
    kinds = [v.attrs.get("kind") for v in dataset.data_vars.values()]
    # The scan marks every real vector of a result with complex kinds
    # ("_NC"); such a name goes back without it.
    has_complex = dataset.attrs.get("complex_results") == 1 or any(
        k in _KIND and _KIND[k]["marks_complex"] for k in kinds)
    for name, variable in dataset.data_vars.items():
        if "simulation" not in variable.dims:
            continue
        binding = "elements" if _entity_dimension(variable) == "element" else "nodes"
        vector = "component" in variable.dims
        part = variable.attrs.get("part", "complex" if np.iscomplexobj(variable) else "real")
        if part == "complex" and not np.iscomplexobj(variable):
            part = "real"  # a computed real value of a complex variable
        kind = variable.attrs.get("kind")
        triple = next((p for p in _TRIPLE_PARTS if name.endswith(p)), None)
        stored = str(name)
        if kind in _TRIPLE_KINDS and triple is not None and not vector and \
                part == triple[1:].lower():
            stored = stored[:-len(triple)]
            key = triple
        else:
            if part in ("magnitude", "phase") and stored.endswith("_" + part):
                stored = stored[:-len(part) - 1]
            holds_complex = part in ("complex", "magnitude", "phase")
            valid = kind in _KINDS.values() and _KINDS_BY_CODE[kind][:2] == (
                binding, "vector" if vector else "scalar")
            if not valid or _KINDS_BY_CODE[kind][2] != holds_complex:
                kind = _KINDS.get((binding, "vector" if vector else "scalar", holds_complex))
            if kind is None:
                raise InputError(f"variable {name!r}: no .res kind holds {binding} "
                                 f"{'vectors' if vector else 'scalars'}")
            key = part
            # The name the file stores for the name shown (a complex vector's
            # " (c)", a real vector's "_NC" taken off), refused when no
            # stored name reads back as the variable's.
            try:
                stored = _kvres.stored_name(stored, kind, has_complex and stored.endswith(
                    _kvres.complex_result_mark))
            except ValueError as error:
                raise ValueError(f"variable {name!r}: {error}") from None
        row = rows.setdefault((stored, kind), {})
        if key in row:
            raise InputError(f"variables {row[key].name!r} and {name!r} would both be data "
                             f"type {stored!r} of kind {kind}")
        row[key] = variable
    for (stored, kind), row in rows.items():
        if "complex" in row and len(row) > 1:
            others = [v.name for key, v in row.items() if key != "complex"]
            raise InputError(f"variables {row['complex'].name!r} and {others[0]!r} would both "
                             f"be data type {stored!r} of kind {kind}")
        if _KINDS_BY_CODE.get(kind, (0, 0, False))[2] and "complex" not in row and \
                "magnitude" not in row:
            raise InputError(f"data type {stored!r}: a phase without its magnitude cannot be "
                             f"written")
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

    if kind in _TRIPLE_KINDS:
        reals = np.stack([take(row[p]) if p in row else np.full(ids.size, np.nan, np.float32)
                          for p in _TRIPLE_PARTS], axis=-1)
    elif _KINDS_BY_CODE[kind][2]:
        if "complex" in row:
            values = np.asarray(row["complex"].isel(simulation=simulation).values)
            magnitude, phase = np.abs(values), np.angle(values)
        else:
            magnitude = take(row["magnitude"])
            phase = take(row["phase"]) if "phase" in row else np.zeros_like(magnitude)
        degrees = _kvres.radians_to_degrees(phase)
        # Per entity (per component of a vector): magnitude, then phase.
        reals = np.stack([magnitude, degrees], axis=-1)
    else:
        reals = take(row["real"])
    reals = np.asarray(reals, dtype=np.float32).reshape(ids.size, -1)
    present = ~np.isnan(reals).all(axis=1)
    return ids[present], reals[present]


def _label_number(label):
    """The number a label carries (after '=', else ':', else the last blank),
    or None."""
    for separator in ("=", ":", " "):
        if separator in label:
            try:
                return float(label.rsplit(separator, 1)[1])
            except ValueError:
                return None
    return None


def _simulation_labels(dataset, count):
    """One label per simulation: the ``label`` coordinate's, except where
    the ``sync`` coordinate was changed from the number the label carries:
    then the label's name with the new number. A float ``simulation``
    coordinate (``index="simulation"``) holds sync values too; where both are
    there they must agree."""
    labels = (dataset["label"].values.tolist() if "label" in dataset.coords
              else [None] * count)
    sync = dataset["sync"].values if "sync" in dataset.coords else None
    if "simulation" in dataset.coords and \
            np.issubdtype(dataset["simulation"].dtype, np.floating):
        own = dataset["simulation"].values
        if sync is None:
            sync = own
        elif not np.array_equal(np.float32(sync), np.float32(own), equal_nan=True):
            raise InputError("the sync and simulation coordinates hold different sync values: "
                             "change both, or drop one (ds.drop_vars('sync'))")
    answers = []
    for simulation in range(count):
        label = labels[simulation]
        value = None if sync is None else float(np.float32(sync[simulation]))
        if label is None:
            answers.append(("Time", value if value is not None else float(simulation + 1)))
            continue
        label = str(label)
        number = _label_number(label)
        if value is not None and number is not None and \
                float(np.float32(number)) != value:
            name = label.split("=", 1)[0].strip() if "=" in label else "Time"
            answers.append((name or "Time", value))
        else:
            answers.append(label)
    return answers


def write(path, dataset, *, encoding=None, title=None, subtitle=None):
    """Writes a dataset of this module's layout to a .res file with
    ``kvres.Writer``: one simulation per ``simulation`` (labels from the
    ``label`` coordinate, renumbered where the ``sync`` coordinate was
    changed), one data type per variable under its name (a triple's three
    variables and a polar pair into one row), entities whose values are all
    NaN left out, the header's two texts from ``attrs["text"]`` (or
    ``title`` and ``subtitle``). Complex values are stored as magnitude and
    phase in degrees. A study (a ``run`` dimension) is written a run at a
    time: select one with ``ds.isel(run=k)``.
    """
    writer_class = getattr(_kvres, "Writer", None)
    if writer_class is None:
        raise NotImplementedError("this build of kvres has no kvres.Writer")
    if "run" in dataset.dims:
        raise InputError("a dataset with a run dimension holds many result sets: write one "
                         "at a time, e.g. ds.isel(run=0)")
    rows = _rows(dataset)
    count = dataset.sizes.get("simulation", 0)
    labels = _simulation_labels(dataset, count)
    options = {}
    if encoding is not None:
        options["encoding"] = encoding
    text = str(dataset.attrs.get("text", "")).split("\n")
    options["title"] = title if title is not None else text[0]
    options["subtitle"] = subtitle if subtitle is not None else (
        text[1] if len(text) > 1 else "")
    # The names above are those the file stores (kind 4's " (c)", no "_NC").
    with writer_class(os.fspath(path), names="stored", **options) as writer:
        for simulation in range(count):
            label = labels[simulation]
            if isinstance(label, tuple):
                writer.simulation(sync=label[1], name=label[0])
            else:
                writer.simulation(label)
            for (stored, kind), row in rows.items():
                ids, reals = _records(row, kind, simulation)
                writer.block(stored, kind=kind, ids=ids, values=reals)


def _complex_names(dataset):
    return [str(name) for name, variable in dataset.variables.items()
            if np.issubdtype(variable.dtype, np.complexfloating)]


@xr.register_dataset_accessor("kvres")
class KvresAccessor:
    """``ds.kvres.write(path, encoding=...)``: kvres.xarray.write of the
    dataset. ``ds.kvres.to_netcdf(path, ...)``: ``ds.to_netcdf`` after a check
    that NetCDF can hold every variable."""

    def __init__(self, dataset):
        self._dataset = dataset

    def write(self, path, **options):
        return write(path, self._dataset, **options)

    def to_netcdf(self, path=None, **options):
        """``ds.to_netcdf(path, **options)``, refused before anything is
        written when a variable holds complex values, which NetCDF has no
        type for (xarray's own ``to_netcdf`` leaves that to the NetCDF
        library, whose TypeError names the dtype only): the TypeError names
        ``complex="polar"``. ``invalid_netcdf=True`` (h5netcdf's complex
        extension) skips the check."""
        if not options.get("invalid_netcdf"):
            names = _complex_names(self._dataset)
            if names:
                raise TypeError(
                    f"NetCDF has no complex type, and {', '.join(map(repr, names))} "
                    f"{'hold' if len(names) > 1 else 'holds'} complex values: open the result "
                    f"with complex='polar' (xr.open_dataset(path, engine='kvres', "
                    f"complex='polar')) for magnitude and phase variables")
        return self._dataset.to_netcdf(path, **options)
