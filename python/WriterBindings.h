// BindWriter: adds the writing side to the Python module: kvres.Writer,
// kvres.write and the exceptions kvres.WriteError and kvres.InputError, all
// on top of the kvres writer library and ResultCopier. Independent of the
// module's name and of the reading side's classes (a kvres.Result is used
// through its `path` and `closed` attributes only).
#pragma once

#include <pybind11/pybind11.h>

void BindWriter(pybind11::module_& module);
