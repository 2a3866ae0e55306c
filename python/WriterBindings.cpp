#include "WriterBindings.h"

#include "ErrorTypes.h"

#include "ResultCopier.h"

#include "fileio/EncodingNames.h"
#include "fileio/ErrorText.h"
#include "fileio/ResKind.h"
#include "model/PhaseConversion.h"

#include "kvres/SyncLabel.h"
#include "kvres/Writer.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace py = pybind11;

namespace {

PyObject* writeErrorType = nullptr;
PyObject* inputErrorType = nullptr;

[[noreturn]] void RaiseInput(const std::string& message) {
    throw kvres::InputError(message);
}

// A closed kvres.Result given to copy or write from.
[[noreturn]] void RaiseClosedResult() {
    PyErr_SetString(Errors().closed, OperationOnClosed("kvres.Result").c_str());
    throw py::error_already_set();
}

// The str of a path given as str, bytes or os.PathLike.
std::string PathText(const py::object& path) {
    py::object os = py::module_::import("os");
    py::bytes encoded = os.attr("fsencode")(path);
    std::string text = encoded;
    if (text.find('\0') != std::string::npos) {
        throw py::value_error("embedded null byte in the path " +
                              py::repr(path).cast<std::string>());
    }
    return text;
}

std::string ShapeText(const py::array& array) {
    std::string text = "(";
    for (py::ssize_t d = 0; d < array.ndim(); ++d) {
        text += (d > 0 ? ", " : "") + std::to_string(array.shape(d));
    }
    return text + (array.ndim() == 1 ? ",)" : ")");
}

// `given` as a numpy array, or a TypeError naming `what` when numpy cannot
// make one of it.
py::array AnyArray(const py::object& given, const std::string& what) {
    try {
        return py::module_::import("numpy").attr("asarray")(given);
    } catch (py::error_already_set& error) {
        throw py::type_error(what + " cannot be made an array: " + std::string(error.what()));
    }
}

// Ids as a C-contiguous int32 array: the caller's own when it is one,
// otherwise a checked conversion of its integers.
py::array_t<std::int32_t> IdArray(const std::string& name, const py::object& given) {
    py::array array = AnyArray(given, "data type '" + name + "': ids");
    if (array.ndim() != 1) {
        RaiseInput("data type '" + name + "': ids must be one-dimensional, not of shape " +
                   ShapeText(array));
    }
    const char kind = array.dtype().kind();
    if (array.size() > 0 && kind != 'i' && kind != 'u') {
        RaiseInput("data type '" + name + "': ids must be integers, not " +
                   py::str(array.dtype()).cast<std::string>());
    }
    if (array.dtype().is(py::dtype::of<std::int32_t>()) &&
        (array.flags() & py::array::c_style) != 0) {
        return py::reinterpret_borrow<py::array_t<std::int32_t>>(array);
    }
    if (array.size() > 0) {
        const py::object low = array.attr("min")();
        const py::object high = array.attr("max")();
        if (low.cast<long double>() < std::numeric_limits<std::int32_t>::min() ||
            high.cast<long double>() > std::numeric_limits<std::int32_t>::max()) {
            const py::object bad =
                low.cast<long double>() < std::numeric_limits<std::int32_t>::min() ? low : high;
            RaiseInput("data type '" + name + "': id " + py::str(bad).cast<std::string>() +
                       " does not fit 32 bits");
        }
    }
    return py::array_t<std::int32_t, py::array::c_style | py::array::forcecast>::ensure(array);
}

// Values as a C-contiguous float32 array; a TypeError naming the data type
// for values that are not real numbers (complex values would lose their
// imaginary part: the file holds magnitudes and phases as reals).
py::array FloatArray(const std::string& name, const py::object& given) {
    py::array array = AnyArray(given, "data type '" + name + "': values");
    const char kind = array.dtype().kind();
    if (kind == 'c') {
        RaiseInput("data type '" + name +
                   "': values are complex; the file stores reals (a complex kind's "
                   "magnitudes and phases), give those");
    }
    if (array.size() > 0 && kind != 'f' && kind != 'i' && kind != 'u' && kind != 'b') {
        throw py::type_error("data type '" + name + "': values must be real numbers, not " +
                             py::str(array.dtype()).cast<std::string>());
    }
    return py::array_t<float, py::array::c_style | py::array::forcecast>::ensure(array);
}

// A mapping's kind as an int, or a TypeError naming the data type.
int KindOf(const std::string& name, const py::handle& kind) {
    if (!py::isinstance<py::int_>(kind)) {
        throw py::type_error("data type '" + name + "': kind must be an int, not " +
                             py::str(kind.get_type().attr("__name__")).cast<std::string>());
    }
    return kind.cast<int>();
}

class PyWriter {
public:
    PyWriter(const py::object& path, const std::string& encoding, const std::string& title,
             const std::string& subtitle, const std::string& nan, int simulations, bool durable,
             bool replaceSeries, const std::string& names)
        : given(path) {
        kvres::WriterOptions options;
        if (!kvres::ParseEncoding(encoding, options.encoding)) {
            RaiseInput("unknown encoding '" + encoding + "' (" + encodingnames::List() + ")");
        }
        if (nan != "error" && nan != "infinity") {
            RaiseInput("nan must be 'error' or 'infinity', not '" + nan + "'");
        }
        options.title = title;
        options.subtitle = subtitle;
        options.nanAsInfinity = nan == "infinity";
        options.expectedSimulations = simulations;
        options.durable = durable;
        options.replaceSeries = replaceSeries;
        if (names != "shown" && names != "stored") {
            RaiseInput("names must be 'shown' or 'stored', not '" + names + "'");
        }
        options.storedNames = names == "stored";
        target = PathText(path);
        writer = std::make_unique<kvres::Writer>(target, options);
    }

    // Runs `work` holding the writer's lock, taken with the GIL let go, so
    // that calls from several threads run one after another and no call
    // (abort() or close() included) acts on the writer while another is
    // inside it.
    template <class Work> auto Locked(Work&& work) -> decltype(work()) {
        py::gil_scoped_release release;
        std::lock_guard<std::mutex> lock(mutex);
        py::gil_scoped_acquire acquire;
        return work();
    }

    kvres::Writer& Open() {
        if (!writer) {
            throw kvres::InputError(OperationOnClosed("kvres.Writer"));
        }
        return *writer;
    }

    void Simulation(const py::object& label, const py::object& sync, const std::string& name) {
        std::string text;
        if (!sync.is_none()) {
            if (!label.is_none()) {
                RaiseInput("give a label or sync=, not both");
            }
            if (!py::isinstance<py::float_>(sync) && !py::isinstance<py::int_>(sync) &&
                !py::hasattr(sync, "__float__")) {
                throw py::type_error("sync must be a number, not " +
                                     py::str(sync.get_type().attr("__name__")).cast<std::string>());
            }
            const double value = py::float_(sync).cast<double>();
            if (std::isfinite(value) && std::fabs(value) > std::numeric_limits<float>::max()) {
                RaiseInput("sync " + py::repr(sync).cast<std::string>() +
                           " is out of the float range");
            }
            text = kvres::SyncLabel(name, static_cast<float>(value));
        } else if (label.is_none()) {
            RaiseInput("a simulation needs a label or sync=");
        } else if (!py::isinstance<py::str>(label)) {
            throw py::type_error("a simulation's label must be a str, not " +
                                 py::str(label.get_type().attr("__name__")).cast<std::string>() +
                                 " (" + py::repr(label).cast<std::string>() + ")");
        } else {
            text = label.cast<std::string>();
        }
        kvres::Writer& open = Open();
        py::gil_scoped_release release;
        open.BeginSimulation(text);
    }

    void Block(const std::string& name, int kind, const py::object& idsGiven,
               const py::object& valuesGiven, const std::string& phase) {
        kvres::Writer& open = Open();
        if (phase != "degrees" && phase != "radians") {
            RaiseInput("phase must be 'degrees' or 'radians', not '" + phase + "'");
        }
        const int reals = kvres::Writer::RealsPerRecord(kind);
        if (reals < 0) {
            RaiseInput("data type '" + name + "' has kind " + std::to_string(kind) +
                       "; kinds are 0 to " + std::to_string(ResKind::kCodes - 1));
        }
        py::array_t<std::int32_t> ids = IdArray(name, idsGiven);
        const py::ssize_t count = ids.shape(0);
        py::array values;
        if (valuesGiven.is_none()) {
            values = py::array_t<float>(std::vector<py::ssize_t>{count, 0});
        } else {
            values = FloatArray(name, valuesGiven);
        }
        // The shapes a kind's values may have: (n, reals), (n,) for one real,
        // and (n, 2, 3) magnitudes then phases for kind 4, as kvres reads them.
        const bool scalarShape = values.ndim() == 1 && reals == 1;
        const bool rowShape = values.ndim() == 2 && values.shape(1) == reals;
        const bool pairedVector =
            ResKind::Of(kind).magnitudePhase && ResKind::Of(kind).format == ResKind::Vector;
        const bool splitShape =
            pairedVector && values.ndim() == 3 && values.shape(1) == 2 && values.shape(2) == 3;
        if (!scalarShape && !rowShape && !splitShape) {
            RaiseInput("data type '" + name + "' of kind " + std::to_string(kind) +
                       " takes values of shape (n, " + std::to_string(reals) + ")" +
                       (reals == 1 ? " or (n,)" : "") + (pairedVector ? " or (n, 2, 3)" : "") +
                       ", not " + ShapeText(values));
        }
        if (values.shape(0) != count) {
            RaiseInput("data type '" + name + "' has " + std::to_string(count) + " ids but " +
                       std::to_string(values.shape(0)) + " records of values");
        }
        const bool radians = phase == "radians" && ResKind::Of(kind).magnitudePhase;
        if (splitShape || radians) {
            // Reordered or converted into a copy of the records as stored.
            const float* source = static_cast<const float*>(values.data());
            py::array_t<float> stored(std::vector<py::ssize_t>{count, reals});
            float* target = stored.mutable_data();
            for (py::ssize_t i = 0; i < count; ++i) {
                for (int r = 0; r < reals; ++r) {
                    float value =
                        splitShape ? source[i * 6 + (r % 2) * 3 + r / 2] : source[i * reals + r];
                    if (radians && r % 2 == 1) {
                        value = RadiansToDegrees(value);
                    }
                    target[i * reals + r] = value;
                }
            }
            values = stored;
        }
        const std::int32_t* idData = ids.data();
        const float* valueData = static_cast<const float*>(values.data());
        const std::size_t valueCount = static_cast<std::size_t>(count) * reals;
        py::gil_scoped_release release;
        open.WriteBlock(name, kind, idData, static_cast<std::size_t>(count), valueData, valueCount);
    }

    // A block given as one structured array of records: the id field, then
    // the values field. Records that lie as the writer takes them (int32 id
    // at the start, float32 values after it) are passed on where they lie;
    // any other layout goes through block() with the two fields.
    void Records(const std::string& name, int kind, const py::object& recordsGiven,
                 const std::string& phase) {
        Open();
        py::array records = AnyArray(recordsGiven, "data type '" + name + "': records");
        const py::dtype dtype = records.dtype();
        const py::object names = dtype.attr("names");
        const int reals = kvres::Writer::RealsPerRecord(kind);
        const std::size_t fieldCount = names.is_none() ? 0 : py::len(names);
        if (records.ndim() != 1 || fieldCount < 1 || fieldCount > 2 ||
            (reals > 0 && fieldCount != 2)) {
            RaiseInput("data type '" + name +
                       "': records must be a one-dimensional structured array of two fields, "
                       "the ids and the values, not " +
                       py::str(py::handle(dtype)).cast<std::string>() + " of shape " +
                       ShapeText(records));
        }
        const py::tuple fieldNames = names.cast<py::tuple>();
        const py::object idField = records[fieldNames[0]];
        const py::object valueField =
            fieldCount == 2 ? py::object(records[fieldNames[1]]) : py::object(py::none());
        const bool radians = phase == "radians" && ResKind::Of(kind).magnitudePhase;
        if (reals > 0 && !radians && phase == "degrees" && records.strides(0) > 0) {
            const py::dict fields = dtype.attr("fields");
            const py::tuple id = fields[fieldNames[0]];
            const py::tuple value = fields[fieldNames[1]];
            const py::dtype idType = id[0].cast<py::dtype>();
            const py::dtype valueType = value[0].cast<py::dtype>();
            const py::dtype valueBase = valueType.attr("base").cast<py::dtype>();
            const py::tuple valueShape = valueType.attr("shape");
            const bool shapeFits = (valueShape.empty() && reals == 1) ||
                                   (valueShape.size() == 1 && valueShape[0].cast<int>() == reals);
            if (idType.is(py::dtype::of<std::int32_t>()) && id[1].cast<std::size_t>() == 0 &&
                valueBase.is(py::dtype::of<float>()) && shapeFits &&
                value[1].cast<std::size_t>() >= 4) {
                const std::size_t count = static_cast<std::size_t>(records.shape(0));
                const void* data = records.data();
                const std::size_t stride = static_cast<std::size_t>(records.strides(0));
                const std::size_t valuesOffset = value[1].cast<std::size_t>();
                kvres::Writer& open = Open();
                py::gil_scoped_release release;
                open.WriteRecordArray(name, kind, data, count, stride, valuesOffset);
                return;
            }
        }
        Block(name, kind, idField, valueField, phase);
    }

    kvres::ResultCopier& CopierFor(const py::object& result) {
        if (py::hasattr(result, "closed") && result.attr("closed").cast<bool>()) {
            RaiseClosedResult();
        }
        if (!py::hasattr(result, "path")) {
            throw py::type_error("copy takes a kvres.Result (an object with a path)");
        }
        const std::string path = PathText(result.attr("path"));
        auto found = copiers.find(path);
        if (found == copiers.end()) {
            std::unique_ptr<kvres::ResultCopier> copier;
            try {
                copier = std::make_unique<kvres::ResultCopier>(path);
            } catch (const kvres::ResultCopier::Damaged& damage) {
                throw kvres::WriteError(damage.what());
            }
            found = copiers.emplace(path, std::move(copier)).first;
        }
        // Checked on every copy: the source's files are those of its series
        // now, and the target's series is the one the commit will replace.
        const std::string clash = found->second->ClashWith(target, "the source");
        if (!clash.empty()) {
            throw kvres::InputError("the target " + clash);
        }
        return *found->second;
    }

    std::vector<std::string> Copy(const py::object& result, const py::object& sim,
                                  const py::object& dataTypes, bool salvage) {
        kvres::Writer& open = Open();
        kvres::ResultCopier& copier = CopierFor(result);
        kvres::ResultCopier::Options options;
        options.salvage = salvage;
        options.callersSimulation = !sim.is_none();
        if (!dataTypes.is_none()) {
            if (py::isinstance<py::str>(dataTypes)) {
                options.types.push_back(dataTypes.cast<std::string>());
            } else {
                for (const py::handle type : dataTypes) {
                    options.types.push_back(py::hasattr(type, "name")
                                                ? type.attr("name").cast<std::string>()
                                                : type.cast<std::string>());
                }
            }
        }
        if (!options.types.empty()) {
            const std::vector<std::string> known = copier.TypeNames();
            for (const std::string& type : options.types) {
                if (std::find(known.begin(), known.end(), type) == known.end()) {
                    RaiseInput(NoDataTypeNamed(type));
                }
            }
        }
        if (!sim.is_none() && open.SimulationCount() == 0) {
            RaiseInput("copy into the current simulation: no simulation begun (call "
                       "simulation() first, or copy with sim=None)");
        }
        std::vector<int> simulations;
        if (sim.is_none()) {
            for (int s = 0; s < copier.SimulationCount(); ++s) {
                simulations.push_back(s);
            }
        } else {
            long index =
                py::hasattr(sim, "index") ? sim.attr("index").cast<long>() : sim.cast<long>();
            if (index < 0) {
                index += copier.SimulationCount();
            }
            if (index < 0 || index >= copier.SimulationCount()) {
                PyErr_SetString(Errors().simulationIndex,
                                SimulationIndexOutOfRange(copier.SimulationCount()).c_str());
                throw py::error_already_set();
            }
            simulations.push_back(static_cast<int>(index));
        }
        std::vector<std::string> dropped =
            salvage && sim.is_none() ? copier.SeriesDamage() : std::vector<std::string>();
        if (!salvage && sim.is_none() && !copier.SeriesDamage().empty()) {
            throw kvres::WriteError(copier.SeriesDamage().front() +
                                    " (salvage=True copies what is readable)");
        }
        py::gil_scoped_release release;
        try {
            for (int simulation : simulations) {
                if (sim.is_none()) {
                    copier.CopySimulation(open, simulation, options, dropped);
                } else {
                    copier.CopyBlocks(open, simulation, options, dropped);
                }
            }
        } catch (const kvres::ResultCopier::Damaged& damage) {
            throw kvres::WriteError(std::string(damage.what()) +
                                    " (salvage=True copies what is readable)");
        }
        return dropped;
    }

    void Close() {
        if (!writer) {
            return;
        }
        try {
            py::gil_scoped_release release;
            writer->Close();
        } catch (const kvres::InputError&) {
            throw; // the writer is as it was: the caller may mend and close again
        } catch (...) {
            Abort();
            throw;
        }
        for (int f = 0; f < writer->FileCount(); ++f) {
            files.push_back(writer->FileName(f));
        }
        Finish();
    }

    void Abort() {
        if (writer) {
            writer->Abort();
        }
        files.clear();
        Finish();
    }

    void Finish() {
        writer.reset();
        copiers.clear();
    }

    std::mutex mutex;
    py::object given;
    std::string target;
    std::unique_ptr<kvres::Writer> writer;
    std::map<std::string, std::unique_ptr<kvres::ResultCopier>> copiers;
    std::vector<std::string> files;
};

// kvres.write: a Result copied whole, or {label: {name: (kind, ids, values)}}.
void Write(const py::object& path, const py::object& result, const std::string& encoding,
           const py::object& titleGiven, const py::object& subtitleGiven, const std::string& nan,
           const py::object& simulations, bool durable, bool replaceSeries,
           const std::string& names) {
    // None: a copied result keeps its source's header texts, a mapping has none.
    std::string title = titleGiven.is_none() ? std::string() : titleGiven.cast<std::string>();
    std::string subtitle =
        subtitleGiven.is_none() ? std::string() : subtitleGiven.cast<std::string>();
    if (py::hasattr(result, "path") && py::hasattr(result, "closed") &&
        result.attr("closed").cast<bool>()) {
        RaiseClosedResult();
    }
    if (py::hasattr(result, "path") && py::hasattr(result, "simulations")) {
        {
            // Refused before the writer exists: nothing is touched.
            std::unique_ptr<kvres::ResultCopier> source;
            try {
                source = std::make_unique<kvres::ResultCopier>(PathText(result.attr("path")));
            } catch (const kvres::ResultCopier::Damaged& damage) {
                throw kvres::WriteError(damage.what());
            }
            const std::string clash = source->ClashWith(PathText(path), "the source");
            if (!clash.empty()) {
                throw kvres::InputError("the target " + clash);
            }
            if (titleGiven.is_none()) {
                title = source->Title();
            }
            if (subtitleGiven.is_none()) {
                subtitle = source->Subtitle();
            }
        }
        const int count = simulations.is_none()
                              ? static_cast<int>(py::len(result.attr("simulations")))
                              : simulations.cast<int>();
        PyWriter writer(path, encoding, title, subtitle, nan, count, durable, replaceSeries, names);
        try {
            writer.Copy(result, py::none(), py::none(), false);
            writer.Close();
        } catch (...) {
            writer.Abort();
            throw;
        }
        return;
    }
    if (!py::isinstance<py::dict>(result) && !py::hasattr(result, "items")) {
        throw py::type_error("write takes a kvres.Result or a mapping {label: {name: "
                             "(kind, ids, values)}}");
    }
    PyWriter writer(path, encoding, title, subtitle, nan,
                    simulations.is_none() ? static_cast<int>(py::len(result))
                                          : simulations.cast<int>(),
                    durable, replaceSeries, names);
    try {
        for (const py::handle item : result.attr("items")()) {
            const py::tuple pair = py::reinterpret_borrow<py::tuple>(item);
            writer.Simulation(pair[0], py::none(), "Time");
            const py::object blocks = pair[1];
            for (const py::handle block : blocks.attr("items")()) {
                const py::tuple entry = py::reinterpret_borrow<py::tuple>(block);
                if (!py::isinstance<py::str>(entry[0])) {
                    throw py::type_error("a data type's name must be a str, not " +
                                         py::repr(entry[0]).cast<std::string>());
                }
                const std::string name = entry[0].cast<std::string>();
                const py::object data = entry[1];
                if (py::isinstance<py::dict>(data)) {
                    writer.Block(name, KindOf(name, data["kind"]), data["ids"], data["values"],
                                 data.contains("phase") ? data["phase"].cast<std::string>()
                                                        : "degrees");
                } else {
                    const py::tuple triple = data.cast<py::tuple>();
                    if (triple.size() != 3) {
                        RaiseInput("data type '" + name +
                                   "': give (kind, ids, values) or a dict of them");
                    }
                    writer.Block(name, KindOf(name, triple[0]), triple[1], triple[2], "degrees");
                }
            }
        }
        writer.Close();
    } catch (...) {
        writer.Abort();
        throw;
    }
}

} // namespace

void BindWriter(py::module_& m) {
    // kvres.WriteError and kvres.InputError are made with the module's other
    // exceptions (ErrorTypes), under kvres.Error.
    writeErrorType = Errors().write;
    inputErrorType = Errors().input;
    py::register_exception_translator([](std::exception_ptr pointer) {
        try {
            if (pointer) {
                std::rethrow_exception(pointer);
            }
        } catch (const kvres::InputError& error) {
            PyErr_SetString(inputErrorType, error.what());
        } catch (const kvres::WriteError& error) {
            PyErr_SetString(writeErrorType, error.what());
        }
    });

    py::class_<PyWriter>(m, "Writer",
                         "Writes a .res result file streaming: simulation(), then block() for "
                         "each data type, for each simulation; close() (or the end of a with "
                         "block) renames the finished file into place. Values are stored as "
                         "the file holds them: a kind's reals per record, phases in degrees.")
        .def(py::init<const py::object&, const std::string&, const std::string&, const std::string&,
                      const std::string&, int, bool, bool, const std::string&>(),
             py::arg("path"), py::arg("encoding") = "i4le", py::arg("title") = "",
             py::arg("subtitle") = "", py::arg("nan") = "error", py::arg("simulations") = 0,
             py::arg("durable") = false, py::arg("replace_series") = false,
             py::arg("names") = "shown",
             "encoding: i4le, i4be, i8le or i8be. title, subtitle: the header texts. nan: "
             "'error' or 'infinity' (Cray files hold no NaN). simulations: how many will "
             "come, if known (saves moving the data once). durable: flush to the disk "
             "before the rename. replace_series: replace files that join the target's "
             "series but belong to no result being replaced (refused otherwise). names: "
             "'shown' (data type names as a reader shows them) or 'stored' (as the file "
             "stores them).")
        .def(
            "simulation",
            [](PyWriter& self, const py::object& label, const py::object& sync,
               const std::string& name) {
                self.Locked([&] { self.Simulation(label, sync, name); });
            },
            py::arg("label") = py::none(), py::kw_only(), py::arg("sync") = py::none(),
            py::arg("name") = "Time",
            "Starts the next simulation: simulation('Time = 0.5') or "
            "simulation(sync=0.5, name='Time').")
        .def(
            "block",
            [](PyWriter& self, const std::string& name, int kind, const py::object& ids,
               const py::object& values, const py::object& records, const std::string& phase) {
                if (!records.is_none()) {
                    if (!ids.is_none() || !values.is_none()) {
                        RaiseInput("data type '" + name +
                                   "': give records= or ids= and values=, not both");
                    }
                    self.Locked([&] { self.Records(name, kind, records, phase); });
                    return;
                }
                if (ids.is_none()) {
                    RaiseInput("data type '" + name + "': give ids= (and values=) or records=");
                }
                self.Locked([&] { self.Block(name, kind, ids, values, phase); });
            },
            py::arg("name"), py::kw_only(), py::arg("kind"), py::arg("ids") = py::none(),
            py::arg("values") = py::none(), py::arg("records") = py::none(),
            py::arg("phase") = "degrees",
            "One data type's values in the current simulation: ids (n,) integers; values "
            "float32 of shape (n,) or (n, 1) for kinds 1 and 3, (n, 3) for 0, 7 and 8, "
            "(n, 2) magnitude and phase for 5 and 6, (n, 6) as stored or (n, 2, 3) "
            "magnitudes then phases for 4. Or records: one structured array of two "
            "fields, the ids and the values (int32 and float32 records are written "
            "where they lie). phase='radians' converts the phases of kinds 4-6 to the "
            "degrees the file stores.")
        .def(
            "copy",
            [](PyWriter& self, const py::object& result, const py::object& sim,
               const py::object& dataTypes, bool salvage) {
                return self.Locked([&] { return self.Copy(result, sim, dataTypes, salvage); });
            },
            py::arg("result"), py::arg("sim") = py::none(), py::arg("data_types") = py::none(),
            py::arg("salvage") = false,
            "Copies stored blocks of an open kvres.Result as the file holds them: of one "
            "simulation into the current one, or (sim=None) every simulation as new "
            "ones. data_types: names to copy (stored or as the result lists them). "
            "Returns what salvage left out.")
        .def(
            "close", [](PyWriter& self) { self.Locked([&] { self.Close(); }); },
            "Finishes the file(s) and renames them into place.")
        .def(
            "abort", [](PyWriter& self) { self.Locked([&] { self.Abort(); }); },
            "Discards everything written.")
        .def_property_readonly("closed", [](const PyWriter& w) { return !w.writer; })
        .def_property_readonly("path", [](const PyWriter& w) { return w.given; })
        .def_property_readonly(
            "files", [](const PyWriter& w) { return w.files; }, "The files written, once closed.")
        .def("__enter__", [](py::object self) { return self; })
        .def("__exit__",
             [](PyWriter& self, const py::object& type, const py::object&, const py::object&) {
                 if (type.is_none()) {
                     // A with block leaves nothing half done: a close that
                     // fails, even for the caller's mistake, discards.
                     self.Locked([&] {
                         try {
                             self.Close();
                         } catch (...) {
                             self.Abort();
                             throw;
                         }
                     });
                 } else {
                     self.Locked([&] { self.Abort(); });
                 }
                 return false;
             });

    m.def("write", &Write, py::arg("path"), py::arg("result"), py::kw_only(),
          py::arg("encoding") = "i4le", py::arg("title") = py::none(),
          py::arg("subtitle") = py::none(), py::arg("nan") = "error",
          py::arg("simulations") = py::none(), py::arg("durable") = false,
          py::arg("replace_series") = false, py::arg("names") = "shown",
          "Writes a whole result: a kvres.Result copied as stored, or a mapping "
          "{label: {name: (kind, ids, values)}}. The keyword arguments are those of "
          "kvres.Writer; a copied result keeps its header texts unless title= or "
          "subtitle= say otherwise.");
}
