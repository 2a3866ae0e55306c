#include "ErrorTypes.h"

#include <cstring>
#include <iterator>
#include <map>
#include <string>

namespace py = pybind11;

namespace {

ErrorTypes types;

// The built-in OSError subclasses the file layer's errors map to: for each,
// kvres.<Name>(kvres.ReadError, <Name>). Others raise kvres.ReadError.
const char* const kFileErrorNames[] = {
    "FileNotFoundError", "IsADirectoryError", "NotADirectoryError", "PermissionError",
    "FileExistsError",   "InterruptedError",  "TimeoutError",
};

// kvres's class for each built-in OSError subclass above.
std::map<PyObject*, PyObject*> fileErrors;

PyObject* Make(py::module_& m, const char* name, const char* doc, py::tuple bases) {
    const std::string module = m.attr("__name__").cast<std::string>();
    PyObject* type =
        PyErr_NewExceptionWithDoc((module + "." + name).c_str(), doc, bases.ptr(), nullptr);
    if (type == nullptr) {
        throw py::error_already_set();
    }
    m.add_object(name, py::handle(type));
    return type;
}

py::handle H(PyObject* type) {
    return py::handle(type);
}

} // namespace

void MakeErrorTypes(py::module_& m) {
    types.error = Make(m, "Error",
                       "The root of every error kvres raises about a file, its data or a write "
                       "(argument mistakes stay TypeError and ValueError).",
                       py::make_tuple(H(PyExc_Exception)));
    types.read = Make(m, "ReadError",
                      "A file cannot be read, or no longer reads as it did when the result was "
                      "opened (removed, cut short, replaced since). An OSError; a missing file "
                      "is also a FileNotFoundError, a folder an IsADirectoryError, and so on.",
                      py::make_tuple(H(types.error), H(PyExc_OSError)));
    types.notRecognized =
        Make(m, "NotRecognizedError",
             "The file's title does not mark it as a .res result file; the message says why "
             "(empty, too short, another title).",
             py::make_tuple(H(types.error), H(PyExc_ValueError)));
    types.closed = Make(m, "ClosedError", "An operation on a closed kvres.Result or kvres.Writer.",
                        py::make_tuple(H(types.error), H(PyExc_ValueError)));
    types.dataTypeNotFound = Make(m, "DataTypeNotFoundError", "No data type of that name.",
                                  py::make_tuple(H(types.error), H(PyExc_KeyError)));
    types.simulationIndex =
        Make(m, "SimulationIndexError", "A simulation index outside the result's simulations.",
             py::make_tuple(H(types.error), H(PyExc_IndexError)));
    types.noValues = Make(m, "NoValuesError", "The data type has no values in that simulation.",
                          py::make_tuple(H(types.error), H(PyExc_LookupError)));
    types.write = Make(m, "WriteError",
                       "Writing a .res file failed: the file system refused, or the result does "
                       "not fit the format. Nothing under the target's name changed.",
                       py::make_tuple(H(types.error), H(PyExc_RuntimeError)));
    types.input =
        Make(m, "InputError",
             "The data or the order of calls given to a kvres.Writer is wrong; the message says "
             "what.",
             py::make_tuple(H(types.write), H(PyExc_ValueError)));
    py::module_ builtins = py::module_::import("builtins");
    py::tuple names(std::size(kFileErrorNames));
    std::size_t at = 0;
    for (const char* name : kFileErrorNames) {
        names[at++] = py::str(name);
        py::object builtin = builtins.attr(name);
        fileErrors[builtin.ptr()] = Make(m, name, nullptr, py::make_tuple(H(types.read), builtin));
    }
    m.attr("FILE_ERROR_NAMES") = names;
}

const ErrorTypes& Errors() {
    return types;
}

void RaiseFileError(int code, const py::object& name) {
    // OSError(errno, text, name) picks the built-in subclass for the errno;
    // kvres's twin of it is made with the same arguments (a subclass of
    // OSError keeps them as errno, strerror and filename). Raised as that
    // instance with its own type, so the exception pybind11 fetches is the
    // one it normalises to, also while another is being handled.
    py::object builtin =
        py::reinterpret_borrow<py::object>(PyExc_OSError)(code, py::str(std::strerror(code)), name);
    const auto found = fileErrors.find(reinterpret_cast<PyObject*>(Py_TYPE(builtin.ptr())));
    PyObject* type = found != fileErrors.end() ? found->second : types.read;
    py::object instance =
        py::reinterpret_borrow<py::object>(type)(code, py::str(std::strerror(code)), name);
    PyErr_SetObject(type, instance.ptr());
    throw py::error_already_set();
}
