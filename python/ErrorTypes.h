// ErrorTypes: the Python module's exception classes, all under one root,
// kvres.Error, each also the built-in exception Python code expects for its
// case (a file error is an OSError, a missing data type a KeyError, ...).
// Made once when the module is imported; raising them is the callers' part.
// Argument mistakes (a wrong type or value of an argument) stay Python's
// TypeError and ValueError and are not made here.
#pragma once

#include <pybind11/pybind11.h>

#include <string>

struct ErrorTypes {
    PyObject* error = nullptr;            // kvres.Error(Exception)
    PyObject* read = nullptr;             // kvres.ReadError(Error, OSError)
    PyObject* notRecognized = nullptr;    // kvres.NotRecognizedError(Error, ValueError)
    PyObject* closed = nullptr;           // kvres.ClosedError(Error, ValueError)
    PyObject* dataTypeNotFound = nullptr; // kvres.DataTypeNotFoundError(Error, KeyError)
    PyObject* simulationIndex = nullptr;  // kvres.SimulationIndexError(Error, IndexError)
    PyObject* noValues = nullptr;         // kvres.NoValuesError(Error, LookupError)
    PyObject* write = nullptr;            // kvres.WriteError(Error, RuntimeError)
    PyObject* input = nullptr;            // kvres.InputError(WriteError, ValueError)
};

// Makes the classes and adds them to `m` (once, at import).
void MakeErrorTypes(pybind11::module_& m);

// The classes, once made.
const ErrorTypes& Errors();

// Raises the OSError for the system error `code` on the file `name` as a
// kvres.ReadError that is also the built-in subclass OSError(code, ...) would
// make (FileNotFoundError, IsADirectoryError, PermissionError, ...).
[[noreturn]] void RaiseFileError(int code, const pybind11::object& name);
