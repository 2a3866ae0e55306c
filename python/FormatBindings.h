// BindFormat: adds the format's description to the Python module as data and
// functions, all taken from the C++ description so that Python code
// (kvres.xarray) restates none of it: kvres.kinds (each kind code's record,
// binding, format, triple parts and name changes), kvres.encodings, the name
// rules in both directions (kvres.shown_name, kvres.stored_name) and the
// phase conversion in both directions (kvres.degrees_to_radians,
// kvres.radians_to_degrees). Reads no files.
#pragma once

#include <pybind11/pybind11.h>

void BindFormat(pybind11::module_& module);
