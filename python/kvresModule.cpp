// The Python module kvres: opens .res result sets through the plug-in's own
// code and returns their structure and values as numpy arrays. Every entry
// checks its arguments and the result's state before it touches the plug-in;
// C++ failures leave as Python exceptions (allocation failures as
// MemoryError), never as anything else.
#include "BlockValues.h"
#include "ResultHandle.h"
#include "WriterBindings.h"
#include "kvres/version.h"

#include "rxDataType.h"
#include "rxSimulation.h"
#include "rxSubcase.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace py = pybind11;

namespace {

// Names the Python exception raised for a file the identification callback
// declines; never thrown itself.
struct NotRecognized {};

struct SubcaseInfo {
    int id = 0;
    std::string label;
    bool isComplex = false;
};

struct DataTypeInfo {
    std::string name;
    std::string binding;
    std::string format;
};

struct SimulationInfo {
    int index = 0;
    std::string label;
    float sync = 0.0f;
};

struct DataSetValues {
    std::string dataType;
    int simulation = 0;
    std::string read;
    py::array ids;
    py::array values;
    bool complete = false;
};

struct HistoryValues {
    std::string dataType;
    int entity = 0;
    std::string read;
    py::array sync;
    py::array values;
};

// Labels and names are bytes as the file holds them; undecodable bytes are
// kept as surrogate escapes, as os.fsdecode does.
py::str Text(const std::string& bytes) {
    PyObject* text = PyUnicode_DecodeUTF8(bytes.data(), static_cast<Py_ssize_t>(bytes.size()),
                                          "surrogateescape");
    if (text == nullptr) {
        throw py::error_already_set();
    }
    return py::reinterpret_steal<py::str>(text);
}

// The bytes a str stands for (the inverse of Text).
std::string Bytes(const py::handle& text) {
    PyObject* encoded = PyUnicode_AsEncodedString(text.ptr(), "utf-8", "surrogateescape");
    if (encoded == nullptr) {
        throw py::error_already_set();
    }
    const std::string bytes = py::reinterpret_steal<py::bytes>(encoded);
    return bytes;
}

// Raises a Python exception of `type` whose message is `message`, bytes of
// names included as they are.
[[noreturn]] void Raise(PyObject* type, const std::string& message) {
    PyErr_SetObject(type, Text(message).ptr());
    throw py::error_already_set();
}

// The file-system bytes of a str, bytes or os.PathLike path.
std::string PathBytes(const py::object& path) {
    py::object os = py::module_::import("os");
    py::bytes encoded = os.attr("fsencode")(path);
    std::string bytes = encoded;
    if (bytes.find('\0') != std::string::npos) {
        Raise(PyExc_ValueError, "embedded null byte in path");
    }
    return bytes;
}

// Raises FileNotFoundError (or the OSError that fits) unless `path` names a
// file that can be read.
void CheckReadable(const std::string& path, const py::object& given) {
    struct stat status {};
    int error = 0;
    if (::stat(path.c_str(), &status) != 0) {
        error = errno;
    } else if (S_ISDIR(status.st_mode)) {
        error = EISDIR;
    } else if (::access(path.c_str(), R_OK) != 0) {
        error = errno;
    }
    if (error != 0) {
        py::object name = py::module_::import("os").attr("fspath")(given);
        PyObject* arguments = Py_BuildValue("(isO)", error, std::strerror(error), name.ptr());
        if (arguments != nullptr) {
            PyErr_SetObject(PyExc_OSError, arguments);
            Py_DECREF(arguments);
        }
        throw py::error_already_set();
    }
}

class Result {
public:
    Result(std::string path, py::object given, bool recognized)
        : path(std::move(path)), given(std::move(given)), recognized(recognized),
          handle(std::make_unique<ResultHandle>(this->path)) {}

    void Close() { handle.reset(); }
    bool Closed() const { return handle == nullptr; }
    bool Recognized() const { return recognized; }
    py::object Path() const { return given; }

    py::object Subcase() const {
        const ResultHandle& open = Open();
        rxSubcase* subcase = open.Subcase();
        if (subcase == nullptr) {
            return py::none();
        }
        return py::cast(SubcaseInfo{subcase->GetID(), subcase->GetLabel(), open.IsComplex()});
    }

    std::vector<DataTypeInfo> DataTypes() const {
        std::vector<DataTypeInfo> list;
        for (const rxDataType* type : Open().DataTypes()) {
            const auto& attributes = type->GetAttributes();
            const bool vector =
                !attributes.empty() && attributes.front().format == rxDataSet::Vector;
            list.push_back({type->GetName(),
                            type->GetBinding() == rxDataType::Elements ? "elements" : "nodes",
                            vector ? "vector" : "scalar"});
        }
        return list;
    }

    std::vector<SimulationInfo> Simulations() const {
        const ResultHandle& open = Open();
        std::vector<SimulationInfo> list;
        const int count = open.SimulationCount();
        for (int index = 0; index < count; ++index) {
            const rxSimulation* simulation = open.Simulation(index);
            if (simulation != nullptr) {
                const char* label = simulation->GetLabel();
                list.push_back({index, label != nullptr ? label : "", simulation->GetSyncValue()});
            }
        }
        return list;
    }

    DataSetValues Read(const py::object& dataType, const py::object& sim,
                       const std::string& read) const {
        const ResultHandle& open = Open();
        rxDataType& type = DataTypeArgument(open, dataType);
        const bool complexRead = ComplexRead(open, read);
        const int index = SimulationArgument(open, sim);
        ResultHandle::Block block;
        if (!open.FindBlock(type, open.Simulation(index), block)) {
            Raise(PyExc_LookupError, "data type '" + std::string(type.GetName()) +
                                         "' has no values in simulation " + std::to_string(index));
        }
        BlockValues values(*open.Files(), block.fileIndex, block.position, block.shape, complexRead,
                           block.magnitudesOnly);
        const py::ssize_t readable = values.Readable();
        py::array ids;
        py::array floats;
        int32_t delivered = 0;
        if (values.Packed()) {
            // The records are read into one array and decoded where they
            // stand; ids and values are strided views of its columns, and
            // keep it alive.
            const py::ssize_t perRecord = 1 + values.RecordReals();
            const py::ssize_t stride = 4 * perRecord;
            py::array_t<int32_t> storage(readable * perRecord);
            auto* records = reinterpret_cast<unsigned char*>(storage.mutable_data());
            delivered = values.FillPacked(records);
            const std::vector<py::ssize_t> shape = ValueShape(values.GetForm(), readable);
            std::vector<py::ssize_t> strides{stride};
            if (shape.size() == 2) {
                strides.push_back(4);
            }
            ids = py::array(py::dtype::of<int32_t>(), {readable}, {stride},
                            reinterpret_cast<int32_t*>(records), storage);
            floats = py::array(py::dtype::of<float>(), shape, strides,
                               reinterpret_cast<float*>(records + 4 + 4 * values.ValueColumn()),
                               storage);
        } else {
            // One allocation holds both arrays, as numpy's structured reads
            // have one: reading simulation after simulation then reuses the
            // memory freed by the last read instead of mapping fresh pages
            // each time. Each array is a view that keeps the allocation alive.
            const py::ssize_t width = values.FloatsPerEntity();
            py::array_t<int32_t> storage(readable * (1 + width));
            void* idBytes = storage.mutable_data();
            void* valueBytes = storage.mutable_data() + readable;
            auto* idData = static_cast<int32_t*>(idBytes);
            auto* valueData = static_cast<float*>(valueBytes);
            ids = py::array(py::dtype::of<int32_t>(), {readable}, {}, idData, storage);
            floats = py::array(py::dtype::of<float>(), ValueShape(values.GetForm(), readable), {},
                               valueData, storage);
            delivered = values.Fill(idData, valueData);
        }
        DataSetValues set;
        set.dataType = type.GetName();
        set.simulation = index;
        set.read = complexRead ? "complex" : "real";
        set.complete = values.Complete(delivered);
        if (delivered == readable) {
            set.ids = std::move(ids);
            set.values = std::move(floats);
        } else {
            // Only whole records count; copies keep the arrays compact.
            const py::slice whole(0, delivered, 1);
            set.ids = ids.attr("__getitem__")(whole).attr("copy")();
            set.values = floats.attr("__getitem__")(whole).attr("copy")();
        }
        return set;
    }

    py::array EntityIds(const py::object& dataType) const {
        const ResultHandle& open = Open();
        rxDataType& type = DataTypeArgument(open, dataType);
        const std::vector<int32_t> ids = open.EntityIds(type);
        py::array_t<int32_t> array(static_cast<py::ssize_t>(ids.size()));
        if (!ids.empty()) {
            std::memcpy(array.mutable_data(), ids.data(), ids.size() * sizeof(int32_t));
        }
        return std::move(array);
    }

    HistoryValues History(const py::object& dataType, int entity, const std::string& read) const {
        const ResultHandle& open = Open();
        rxDataType& type = DataTypeArgument(open, dataType);
        const bool complexRead = ComplexRead(open, read);
        const int count = open.SimulationCount();
        const auto form = HistoryForm(open, type, complexRead);
        const int width = WidthOf(form);
        py::array_t<float> sync(count);
        py::array_t<float> values(ValueShape(form, count));
        float* row = values.mutable_data();
        std::fill(row, row + static_cast<std::size_t>(count) * width,
                  std::numeric_limits<float>::quiet_NaN());
        std::vector<int32_t> ids;
        std::vector<float> floats;
        for (int index = 0; index < count; ++index, row += width) {
            const rxSimulation* simulation = open.Simulation(index);
            sync.mutable_data()[index] = simulation != nullptr ? simulation->GetSyncValue() : 0.0f;
            ResultHandle::Block block;
            if (!open.FindBlock(type, simulation, block)) {
                continue;
            }
            BlockValues block_values(*open.Files(), block.fileIndex, block.position, block.shape,
                                     complexRead, block.magnitudesOnly);
            ids.resize(static_cast<std::size_t>(block_values.Readable()));
            floats.resize(ids.size() * static_cast<std::size_t>(width));
            const int32_t delivered = block_values.Fill(ids.data(), floats.data());
            for (int32_t k = 0; k < delivered; ++k) {
                if (ids[static_cast<std::size_t>(k)] == entity) {
                    std::copy_n(floats.data() + static_cast<std::size_t>(k) * width, width, row);
                    break;
                }
            }
        }
        return HistoryValues{type.GetName(), entity, complexRead ? "complex" : "real",
                             std::move(sync), std::move(values)};
    }

    std::string Repr() const {
        std::string text = "<kvres.Result " + py::repr(given).cast<std::string>();
        if (Closed()) {
            return text + " (closed)>";
        }
        return text + ": " + std::to_string(handle->DataTypes().size()) + " data types, " +
               std::to_string(handle->SimulationCount()) + " simulations>";
    }

private:
    const ResultHandle& Open() const {
        if (handle == nullptr) {
            Raise(PyExc_ValueError, "operation on a closed kvres.Result");
        }
        return *handle;
    }

    static rxDataType& DataTypeArgument(const ResultHandle& open, const py::object& given) {
        std::string name;
        if (py::isinstance<DataTypeInfo>(given)) {
            name = given.cast<const DataTypeInfo&>().name;
        } else if (py::isinstance<py::str>(given)) {
            name = Bytes(given);
        } else {
            Raise(PyExc_TypeError, "a data type is named by a str or a kvres.DataType");
        }
        if (rxDataType* type = open.FindDataType(name)) {
            return *type;
        }
        std::string known;
        for (const rxDataType* type : open.DataTypes()) {
            known += (known.empty() ? "'" : ", '") + std::string(type->GetName()) + "'";
        }
        Raise(PyExc_KeyError, "no data type named '" + name + "'; the result has " +
                                  (known.empty() ? std::string("none") : known));
    }

    static int SimulationArgument(const ResultHandle& open, const py::object& given) {
        Py_ssize_t index = 0;
        if (py::isinstance<SimulationInfo>(given)) {
            index = given.cast<const SimulationInfo&>().index;
        } else if (PyIndex_Check(given.ptr()) && !py::isinstance<py::bool_>(given)) {
            // Any integer, numpy's included; one beyond every index is out
            // of range like any other.
            index = PyNumber_AsSsize_t(given.ptr(), PyExc_IndexError);
            if (index == -1 && PyErr_Occurred() != nullptr) {
                throw py::error_already_set();
            }
        } else {
            Raise(PyExc_TypeError, "a simulation is given by its index or a kvres.Simulation");
        }
        const Py_ssize_t count = open.SimulationCount();
        if (index < 0) {
            index += count;
        }
        if (index < 0 || index >= count) {
            Raise(PyExc_IndexError,
                  "simulation index out of range (the result has " + std::to_string(count) + ")");
        }
        return static_cast<int>(index);
    }

    static bool ComplexRead(const ResultHandle& open, const std::string& read) {
        if (read == "auto") {
            return open.IsComplex();
        }
        if (read == "real" || read == "complex") {
            return read == "complex";
        }
        Raise(PyExc_ValueError, "read must be 'auto', 'real' or 'complex', not '" + read + "'");
    }

    // The form the values of `type` take in every simulation: the first
    // block's shape, else the data type's own format.
    static BlockValues::Form HistoryForm(const ResultHandle& open, const rxDataType& type,
                                         bool complexRead) {
        const int count = open.SimulationCount();
        for (int index = 0; index < count; ++index) {
            ResultHandle::Block block;
            if (open.FindBlock(type, open.Simulation(index), block)) {
                return BlockValues::FormOf(block.shape, complexRead);
            }
        }
        const auto& attributes = type.GetAttributes();
        DataSetShape shape;
        shape.form = !attributes.empty() && attributes.front().format == rxDataSet::Vector
                         ? DataSetShape::Vector
                         : DataSetShape::Scalar;
        return BlockValues::FormOf(shape, complexRead);
    }

    static int WidthOf(BlockValues::Form form) {
        switch (form) {
        case BlockValues::Form::RealScalar:
            return 1;
        case BlockValues::Form::RealVector:
            return 3;
        case BlockValues::Form::ComplexScalar:
            return 2;
        case BlockValues::Form::ComplexVector:
            return 6;
        }
        return 1;
    }

    static std::vector<py::ssize_t> ValueShape(BlockValues::Form form, py::ssize_t count) {
        switch (form) {
        case BlockValues::Form::RealScalar:
            return {count};
        case BlockValues::Form::RealVector:
            return {count, 3};
        case BlockValues::Form::ComplexScalar:
            return {count, 2};
        case BlockValues::Form::ComplexVector:
            return {count, 2, 3};
        }
        return {count};
    }

    std::string path;
    py::object given;
    bool recognized;
    std::unique_ptr<ResultHandle> handle;
};

} // namespace

PYBIND11_MODULE(kvres, m) {
    m.doc() = "Read .res finite-element result sets as numpy arrays, with the kvres plug-in's "
              "own answers.";
    m.attr("__version__") = KVRES_VERSION;
    BindWriter(m);

    static py::exception<NotRecognized> notRecognized(m, "NotRecognizedError", PyExc_ValueError);
    notRecognized.doc() = "The file's title does not mark it as a .res result file.";

    py::class_<SubcaseInfo>(m, "Subcase", "The load case of a result.")
        .def_readonly("id", &SubcaseInfo::id)
        .def_property_readonly("label", [](const SubcaseInfo& s) { return Text(s.label); })
        .def_readonly("is_complex", &SubcaseInfo::isComplex,
                      "Whether the results are complex (read='auto' then reads complex).")
        .def("__repr__", [](const SubcaseInfo& s) {
            return "<kvres.Subcase " + std::to_string(s.id) + " " +
                   py::repr(Text(s.label)).cast<std::string>() +
                   (s.isComplex ? " complex>" : " real>");
        });

    py::class_<DataTypeInfo>(m, "DataType", "One data type of a result.")
        .def_property_readonly("name", [](const DataTypeInfo& t) { return Text(t.name); })
        .def_readonly("binding", &DataTypeInfo::binding, "'nodes' or 'elements'")
        .def_readonly("format", &DataTypeInfo::format, "'scalar' or 'vector'")
        .def("__repr__", [](const DataTypeInfo& t) {
            return "<kvres.DataType " + py::repr(Text(t.name)).cast<std::string>() + " " +
                   t.binding + " " + t.format + ">";
        });

    py::class_<SimulationInfo>(m, "Simulation", "One simulation (time step, frequency, mode).")
        .def_readonly("index", &SimulationInfo::index)
        .def_property_readonly("label", [](const SimulationInfo& s) { return Text(s.label); })
        .def_readonly("sync", &SimulationInfo::sync)
        .def("__repr__", [](const SimulationInfo& s) {
            return "<kvres.Simulation " + std::to_string(s.index) + " " +
                   py::repr(Text(s.label)).cast<std::string>() +
                   " sync=" + py::repr(py::float_(s.sync)).cast<std::string>() + ">";
        });

    py::class_<DataSetValues>(m, "DataSet", "The values of one data type in one simulation.")
        .def_property_readonly("data_type", [](const DataSetValues& d) { return Text(d.dataType); })
        .def_readonly("simulation", &DataSetValues::simulation)
        .def_readonly("read", &DataSetValues::read, "'real' or 'complex'")
        .def_readonly("ids", &DataSetValues::ids, "int32 entity ids, shape (n,)")
        .def_readonly("values", &DataSetValues::values,
                      "float32: (n,) real scalar, (n, 3) real vector, (n, 2) magnitude and "
                      "phase, (n, 2, 3) magnitudes and phases")
        .def_readonly("complete", &DataSetValues::complete,
                      "False when the block was cut short; the arrays hold the whole records "
                      "read")
        .def("__len__", [](const DataSetValues& d) { return py::len(d.ids); })
        .def("__repr__", [](const DataSetValues& d) {
            return "<kvres.DataSet " + py::repr(Text(d.dataType)).cast<std::string>() +
                   " simulation " + std::to_string(d.simulation) + " " + d.read + ": " +
                   std::to_string(py::len(d.ids)) + " entities" +
                   (d.complete ? "" : ", incomplete") + ">";
        });

    py::class_<HistoryValues>(m, "History", "One entity's values over every simulation.")
        .def_property_readonly("data_type", [](const HistoryValues& h) { return Text(h.dataType); })
        .def_readonly("entity", &HistoryValues::entity)
        .def_readonly("read", &HistoryValues::read)
        .def_readonly("sync", &HistoryValues::sync, "float32 sync values, shape (m,)")
        .def_readonly("values", &HistoryValues::values,
                      "float32, one row per simulation as DataSet.values; NaN where the entity "
                      "has no value")
        .def("__repr__", [](const HistoryValues& h) {
            return "<kvres.History " + py::repr(Text(h.dataType)).cast<std::string>() + " entity " +
                   std::to_string(h.entity) + " over " + std::to_string(py::len(h.sync)) +
                   " simulations>";
        });

    py::class_<Result>(m, "Result", "An open .res result set; use kvres.open.")
        .def_property_readonly("path", &Result::Path)
        .def_property_readonly("recognized", &Result::Recognized,
                               "Whether the identification callback recognised the file")
        .def_property_readonly("closed", &Result::Closed)
        .def_property_readonly("subcase", &Result::Subcase)
        .def_property_readonly("data_types", &Result::DataTypes)
        .def_property_readonly("simulations", &Result::Simulations)
        .def("read", &Result::Read, py::arg("data_type"), py::arg("sim"), py::arg("read") = "auto",
             "The values of a data type (name or DataType) in a simulation (index or "
             "Simulation).")
        .def("entity_ids", &Result::EntityIds, py::arg("data_type"),
             "The entity ids the subcase reports for a data type.")
        .def("history", &Result::History, py::arg("data_type"), py::arg("entity"),
             py::arg("read") = "auto", "One entity's values over every simulation.")
        .def("close", &Result::Close,
             "Releases the result; using it afterwards raises "
             "ValueError.")
        .def("__enter__", [](py::object self) { return self; })
        .def("__exit__",
             [](Result& self, const py::args&) {
                 self.Close();
                 return false;
             })
        .def("__repr__", &Result::Repr);

    m.def(
        "open",
        [](const py::object& path, bool force) {
            const std::string bytes = PathBytes(path);
            CheckReadable(bytes, path);
            const bool recognized = ResultHandle::Identify(bytes);
            if (!recognized && !force) {
                Raise(notRecognized.ptr(), bytes + ": not a .res result file (its title differs); "
                                                   "open(..., force=True) reads it anyway");
            }
            return Result(bytes, path, recognized);
        },
        py::arg("path"), py::arg("force") = false,
        "Opens a .res result set (one file or its numbered series).");
}
