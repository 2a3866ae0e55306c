"""Read .res finite-element result sets as numpy arrays and xarray datasets.

The compiled module ``kvres._kvres`` holds the reader (``open``, ``Result``
and the value classes); this package re-exports it. ``kvres.xarray`` (the
xarray backend, ``engine="kvres"``), ``kvres.open_study`` and ``kvres.write``
need xarray and dask and are imported on first use, so ``import kvres``
stays as light as numpy.
"""
from ._kvres import (  # noqa: F401
    DataSet,
    DataType,
    History,
    NotRecognizedError,
    Result,
    SeriesFile,
    Simulation,
    Subcase,
    open,
    summaries,
)
from . import _kvres
from ._kvres import __version__  # noqa: F401

from ._kvres import InputError, WriteError, Writer  # noqa: F401

__all__ = ["open", "Result", "DataSet", "DataType", "History", "NotRecognizedError",
           "Simulation", "Subcase", "Writer", "WriteError", "InputError", "open_study", "summaries",
           "write"]


def open_study(paths, **kwargs):
    """Opens many result sets as one dataset along a ``run`` dimension (see kvres.xarray)."""
    from .xarray import open_study as _open_study
    return _open_study(paths, **kwargs)


def write(path, result, **kwargs):
    """Writes a whole result to a .res file.

    ``result`` is a ``kvres.Result`` (copied as stored), a mapping
    ``{label: {name: (kind, ids, values)}}``, or an xarray dataset in
    kvres.xarray's layout. Keyword arguments go to ``kvres.Writer``
    (``encoding``, ``title`` ...).
    """
    from collections.abc import Mapping
    # An xarray dataset is a Mapping too: it is told apart by its data_vars.
    if isinstance(result, Result) or (isinstance(result, Mapping)
                                      and not hasattr(result, "data_vars")):
        return _kvres.write(path, result, **kwargs)
    from .xarray import write as _write
    return _write(path, result, **kwargs)


def __getattr__(name):
    # kvres.xarray on first use, without importing xarray with the package.
    if name == "xarray":
        import importlib
        return importlib.import_module(".xarray", __name__)
    raise AttributeError(f"module 'kvres' has no attribute {name!r}")
