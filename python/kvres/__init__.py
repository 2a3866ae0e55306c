"""Read .res finite-element result sets as numpy arrays and xarray datasets.

The compiled module ``kvres._kvres`` holds the reader (``open``, ``Result``
and the value classes); this package re-exports it. ``kvres.xarray`` (the
xarray backend, ``engine="kvres"``), ``kvres.open_study`` and ``kvres.write``
need xarray and dask and are imported on first use, so ``import kvres``
stays as light as numpy.
"""


def _explain_import_failure(error):
    """Why the compiled module did not load, in words a user can act on."""
    import glob
    import os
    import sys
    here = os.path.dirname(os.path.abspath(__file__))
    built = [os.path.basename(p) for p in glob.glob(os.path.join(here, "_kvres*"))]
    python = f"{sys.executable} (Python {sys.version_info[0]}.{sys.version_info[1]})"
    try:
        import numpy  # noqa: F401
    except ImportError:
        return ImportError(
            f"kvres needs numpy, which {python} cannot import. kvres is built for the "
            "Python it was compiled with (Debian's /usr/bin/python3 with python3-numpy); "
            f"run that interpreter, or install numpy for this one ({error})")
    return ImportError(
        f"kvres's compiled module {', '.join(built) or '_kvres'} in {here} does not load "
        f"into {python}: it is built for one Python version, the one it was compiled with "
        f"(Debian's /usr/bin/python3 unless configured otherwise). Run that interpreter or "
        f"rebuild kvres for this one ({error})")


try:
    from . import _kvres  # noqa: F401
except ImportError as _error:
    raise _explain_import_failure(_error) from _error

from ._kvres import (  # noqa: F401
    ClosedError,
    DataSet,
    DataTypeNotFoundError,
    DataType,
    Error,
    History,
    NoValuesError,
    NotRecognizedError,
    ReadError,
    Result,
    SeriesFile,
    Simulation,
    SimulationIndexError,
    Subcase,
    open,
    summaries,
)
from . import _kvres
from ._kvres import __version__  # noqa: F401

from ._kvres import InputError, WriteError, Writer  # noqa: F401
# The format's description: the kind codes, the encodings, the name rules and
# the phase conversion, each in both directions.
from ._kvres import (  # noqa: F401
    complex_result_mark,
    degrees_to_radians,
    encodings,
    kinds,
    radians_to_degrees,
    shown_name,
    stored_name,
)

# kvres's twins of the built-in OSError subclasses a file error can be
# (kvres.FileNotFoundError is a kvres.ReadError and a FileNotFoundError).
# Not in __all__, so that "from kvres import *" leaves the built-ins alone.
for _name in _kvres.FILE_ERROR_NAMES:
    globals()[_name] = getattr(_kvres, _name)
del _name

__all__ = ["open", "Result", "DataSet", "DataType", "History", "Simulation", "Subcase", "Writer",
           "open_study", "summaries", "write",
           # The errors, all kvres.Error (see docs/python.md, "Errors").
           "Error", "ReadError", "NotRecognizedError", "ClosedError", "DataTypeNotFoundError",
           "SimulationIndexError", "NoValuesError", "WriteError", "InputError",
           # The format's description (see docs/python.md).
           "kinds", "encodings", "complex_result_mark", "shown_name", "stored_name",
           "degrees_to_radians", "radians_to_degrees"]


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
