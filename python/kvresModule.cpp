// The compiled part of the Python package kvres (kvres._kvres, re-exported by
// kvres/__init__.py): a binding over the C++ read API's own classes
// (reader/: ResultQueries, AlignedRead, PartsRead on EmbeddedResult),
// which it answers through, returning structure and values as numpy arrays.
// It converts arguments, holds each result under its own lock with the GIL
// let go, and turns the reader's exceptions into Python's. Every entry
// checks its arguments and the result's state before it touches the plug-in;
// C++ failures leave as Python exceptions (allocation failures as
// MemoryError), never as anything else.
#include "AlignedRead.h"
#include "BlockBuffers.h"
#include "BlockValues.h"
#include "EmbeddedResult.h"
#include "EntityIdUnion.h"
#include "ErrorTypes.h"
#include "FormatBindings.h"
#include "PartsRead.h"
#include "ResultQueries.h"
#include "WriterBindings.h"
#include "kvres/ReadError.h"
#include "kvres/ResultRecords.h"
#include "kvres/version.h"

#include "fileio/ErrorText.h"
#include "fileio/ResFile.h"
#include "fileio/ResFileSet.h"
#include "fileio/ResKind.h"

#include "rxDataType.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#if !defined(_WIN32)
#include <pthread.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace py = pybind11;

namespace {

using SubcaseInfo = kvres::Subcase;
using DataTypeInfo = kvres::DataType;
using SeriesFileInfo = kvres::SeriesFile;
using SimulationInfo = kvres::Simulation;

// kvres.DataSet: one data type's ids and values in one simulation, as numpy
// arrays. Held as plain objects: a default py::array would make an empty
// array only to drop it.
struct DataSetArrays {
    std::string dataType;
    int simulation = 0;
    std::string read;
    py::object ids;
    py::object values;
    bool complete = false;
};

struct HistoryValues {
    std::string dataType;
    int entity = 0;
    std::string read;
    py::array sync;
    py::array values;
};

std::string BindingName(const DataTypeInfo& type) {
    return ResKind::BindingName(type.binding == DataTypeInfo::Binding::Elements ? ResKind::Elements
                                                                                : ResKind::Nodes);
}

std::string FormatName(const DataTypeInfo& type) {
    return ResKind::FormatName(type.format == DataTypeInfo::Format::Vector ? ResKind::Vector
                                                                           : ResKind::Scalar);
}

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
// regular file that can be read; anything else (a FIFO, a socket, a device)
// raises OSError at once, as reading it could wait forever. The file layer's
// one readability check, as the C++ API makes it.
void CheckReadable(const std::string& path, const py::object& given) {
    std::string problem;
    int error = 0;
    if (ResFile::Readable(path, problem, error)) {
        return;
    }
    if (error == 0) {
        Raise(Errors().read, path + ": " + problem);
    }
    RaiseFileError(error, py::module_::import("os").attr("fspath")(given));
}

// A failure found while the result's lock is held and the GIL released:
// raised as a Python exception of `type` once the GIL is back.
struct Problem {
    PyObject* type;
    std::string message;
};

// The read a caller asked for, its argument already converted.
using ReadMode = kvres::ReadMode;

ReadMode ReadModeArgument(const py::object& given) {
    if (!py::isinstance<py::str>(given)) {
        Raise(PyExc_TypeError, "read must be 'auto', 'real' or 'complex'");
    }
    const std::string read = Bytes(given);
    if (read == "auto") {
        return ReadMode::Auto;
    }
    if (read == "real") {
        return ReadMode::Real;
    }
    if (read == "complex") {
        return ReadMode::Complex;
    }
    Raise(PyExc_ValueError, "read must be 'auto', 'real' or 'complex', not '" + read + "'");
}

// An integer argument (Python's or numpy's, never a bool) as a 64-bit value;
// `overflow` is raised, with `what` in the message, for one beyond 64 bits.
long long IntegerArgument(const py::handle& given, PyObject* overflow, const std::string& what) {
    if (py::isinstance<py::bool_>(given) || !PyIndex_Check(given.ptr())) {
        Raise(PyExc_TypeError, what + " must be an integer");
    }
    PyObject* number = PyNumber_Index(given.ptr());
    if (number == nullptr) {
        throw py::error_already_set();
    }
    int overflowed = 0;
    const long long value = PyLong_AsLongLongAndOverflow(number, &overflowed);
    const py::object text = py::reinterpret_steal<py::object>(PyObject_Str(number));
    Py_DECREF(number);
    if (value == -1 && PyErr_Occurred() != nullptr) {
        throw py::error_already_set();
    }
    if (overflowed != 0) {
        Raise(overflow, what + " " + (text ? text.cast<std::string>() : std::string("?")) +
                            " is outside the 32-bit range");
    }
    return value;
}

// An entity id: a 32-bit signed integer as the file stores it.
int32_t EntityArgument(const py::handle& given) {
    const long long id = IntegerArgument(given, PyExc_OverflowError, "entity id");
    if (id < std::numeric_limits<int32_t>::min() || id > std::numeric_limits<int32_t>::max()) {
        Raise(PyExc_OverflowError,
              "entity id " + std::to_string(id) + " is outside the 32-bit range of entity ids");
    }
    return static_cast<int32_t>(id);
}

// A simulation as given: an index (negative counts from the end), or a
// kvres.Simulation.
long long SimulationArgument(const py::handle& given) {
    if (py::isinstance<SimulationInfo>(given)) {
        return given.cast<const SimulationInfo&>().index;
    }
    if (py::isinstance<py::bool_>(given) || !PyIndex_Check(given.ptr())) {
        Raise(PyExc_TypeError, "a simulation is given by its index or a kvres.Simulation");
    }
    return IntegerArgument(given, Errors().simulationIndex, "simulation index");
}

[[noreturn]] void RaiseNotRecognized(const std::string& path, const std::string& why) {
    Raise(Errors().notRecognized, NotAResultFile(path, why, "open(..., force=True)"));
}

// A data type's name as given: a str or a kvres.DataType.
std::string DataTypeArgument(const py::handle& given) {
    if (py::isinstance<DataTypeInfo>(given)) {
        return given.cast<const DataTypeInfo&>().name;
    }
    if (py::isinstance<py::str>(given)) {
        return Bytes(given);
    }
    Raise(PyExc_TypeError, "a data type is named by a str or a kvres.DataType");
}

// A block as read with the GIL released: the memory its arrays will view.
struct RawBlock : AlignedRead::Raw {
    BlockBuffers::Buffer storage;
};

// An open result. Every use of the plug-in's objects happens under the
// result's own lock with the GIL released, so that threads read different
// results at the same time; arguments are converted to plain values before
// the lock is taken, and Python objects are made after it is let go, so no
// Python code (an argument's __index__, a finaliser) runs while it is held.
//
// A result does not cross a fork: in a child process another thread of the
// parent may have held its lock at the fork, and would never let it go. A
// child's every use of a result opened before the fork raises RuntimeError
// instead of taking the lock, and its end leaves the handle to the parent.
class Result {
public:
    // `opened` is the result of the path `given`, made with the GIL let go.
    Result(py::object given, bool recognized, std::unique_ptr<EmbeddedResult> opened)
        : given(std::move(given)), recognized(recognized), handle(std::move(opened)),
          generation(forkGeneration.load()) {}

    ~Result() {
        if (Forked()) {
            (void)handle.release(); // the parent's; its lock may be held for ever here
        }
    }
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;

    // Counts the forks this process came out of as a child.
    static std::atomic<unsigned> forkGeneration;

    void Close() {
        RefuseAfterFork();
        std::unique_ptr<EmbeddedResult> closing;
        {
            py::gil_scoped_release released;
            std::lock_guard<std::mutex> guard(mutex);
            closing = std::move(handle);
            closing.reset();
            std::vector<int32_t>().swap(scratch);
        }
    }

    bool Closed() const {
        RefuseAfterFork();
        py::gil_scoped_release released;
        std::lock_guard<std::mutex> guard(mutex);
        return handle == nullptr;
    }
    bool Recognized() const { return recognized; }
    py::object Path() const { return given; }

    py::object Subcase() const {
        std::unique_ptr<SubcaseInfo> info = WithHandle(SubcaseOf);
        if (info == nullptr) {
            return py::none();
        }
        return py::cast(*info);
    }

    std::vector<DataTypeInfo> DataTypes() const { return WithHandle(ResultQueries::DataTypes); }

    // The sync values (float32) and the labels of every simulation, without
    // a Simulation object each: what a table of thousands needs.
    py::tuple SimulationTable() const { return TableObjects(WithHandle(TableOf)); }

    std::vector<SeriesFileInfo> Files() const { return WithHandle(ResultQueries::Files); }

    // What a dataset or a study needs of the result, gathered with the GIL let
    // go once and the file opened once: a dict of "subcase" (or None),
    // "sync" and "labels" (as SimulationTable), "label_array" (the labels as
    // np.array(labels, dtype=str) makes them), "data_types" (those not named
    // in `drop`), "ids" ({"nodes": ..., "elements": ...}, the union of the
    // entity ids of the kept data types of each binding), "files" and
    // "recognized".
    // `brief`: without 'labels' (the list; 'label_array' stays) and 'ids',
    // which the dataset backend does not use.
    py::dict Summary(const py::object& drop, bool brief) const {
        const std::vector<std::string> dropped = DropArgument(drop);
        kvres::Summary gathered = WithHandle([&](const EmbeddedResult& open) {
            return ResultQueries::Summary(open, dropped, !brief);
        });
        gathered.recognized = recognized;
        return SummaryDict(std::move(gathered), brief);
    }

    // The summaries of many result sets, as Summary gives them, in the order
    // of `paths`: each file judged, opened, summarised and closed again by a
    // few threads, with the GIL let go once for all of them. A study of
    // hundreds of files spends most of its opening here. Raises what
    // kvres.open would: for a path that cannot be read, before any file is
    // opened; else for the first path, in order, that is not recognised
    // (unless `force`). No result stays open.
    static py::list Summaries(const py::object& pathsGiven, const py::object& drop, bool force,
                              int threadsGiven) {
        if (IsOnePath(pathsGiven)) {
            Raise(PyExc_TypeError, "paths must be an iterable of paths, not one path; "
                                   "summaries([path]) reads one");
        }
        if (!py::isinstance<py::iterable>(pathsGiven)) {
            Raise(PyExc_TypeError, "paths must be an iterable of paths");
        }
        std::vector<py::object> given;
        std::vector<std::string> paths;
        for (const py::handle path : pathsGiven) {
            given.push_back(py::reinterpret_borrow<py::object>(path));
            paths.push_back(PathBytes(given.back()));
            CheckReadable(paths.back(), given.back());
        }
        const std::vector<std::string> dropped = DropArgument(drop);
        struct Outcome {
            bool recognized = false;
            bool opened = false;
            std::string why;
            std::string changed;
            std::exception_ptr failure;
            kvres::Summary gathered;
        };
        std::vector<Outcome> outcomes(paths.size());
        {
            py::gil_scoped_release released;
            std::atomic<std::size_t> next{0};
            auto work = [&]() noexcept {
                for (std::size_t index = next++; index < paths.size(); index = next++) {
                    Outcome& outcome = outcomes[index];
                    try {
                        outcome.recognized = EmbeddedResult::Identify(paths[index]);
                        if (!outcome.recognized && !force) {
                            outcome.why = EmbeddedResult::WhyNotRecognized(paths[index]);
                            continue;
                        }
                        EmbeddedResult open(paths[index]);
                        open.BeginOperation();
                        outcome.gathered = ResultQueries::Summary(open, dropped);
                        open.EndOperation();
                        outcome.opened = true;
                    } catch (const EmbeddedResult::FileChanged& changed) {
                        outcome.changed = changed.what();
                    } catch (...) {
                        outcome.failure = std::current_exception();
                    }
                }
            };
            const std::size_t wanted =
                threadsGiven > 0 ? static_cast<std::size_t>(threadsGiven)
                                 : std::max(1u, std::min(8u, std::thread::hardware_concurrency()));
            std::vector<std::thread> helpers;
            for (std::size_t count = std::min(wanted, paths.size()); count > 1; --count) {
                try {
                    helpers.emplace_back(work);
                } catch (const std::system_error&) {
                    break; // fewer threads: the rest is read on this one
                }
            }
            work();
            for (std::thread& helper : helpers) {
                helper.join();
            }
        }
        py::list summaries;
        for (std::size_t index = 0; index < paths.size(); ++index) {
            Outcome& outcome = outcomes[index];
            if (outcome.failure != nullptr) {
                std::rethrow_exception(outcome.failure);
            }
            if (!outcome.changed.empty()) {
                Raise(Errors().read, outcome.changed);
            }
            if (!outcome.opened) {
                RaiseNotRecognized(paths[index], outcome.why);
            }
            outcome.gathered.recognized = outcome.recognized;
            summaries.append(SummaryDict(std::move(outcome.gathered)));
            outcome.gathered = kvres::Summary(); // its ids live on in the arrays just made
        }
        return summaries;
    }

    std::vector<SimulationInfo> Simulations() const {
        return WithHandle(ResultQueries::Simulations);
    }

    DataSetArrays Read(const py::object& dataType, const py::object& sim,
                       const py::object& read) const {
        const std::string name = DataTypeArgument(dataType);
        const long long wanted = SimulationArgument(sim);
        const ReadMode mode = ReadModeArgument(read);
        RawBlock raw = WithHandle(
            [&](const EmbeddedResult& open) { return ReadBlock(open, name, wanted, mode); });
        return Arrays(std::move(raw));
    }

    // Reads a block straight into `out` (float32, or complex64 for the part
    // "complex"), aligned with the sorted `ids`: out[k] belongs to ids[k],
    // NaN where the block has none. `part` is "real", "complex" (magnitude *
    // e^(i * phase)), "magnitude" or "phase". Returns how many of the
    // block's entities have ids outside `ids` (left out), or -1 when the
    // simulation has no block of the data type (out is all NaN then).
    long long ReadInto(const py::object& dataType, const py::object& sim, const py::object& read,
                       const py::object& partGiven, const py::array& idsGiven,
                       py::array outGiven) const {
        const long long wanted = SimulationArgument(sim);
        const Target target = TargetArguments(dataType, read, partGiven, idsGiven, outGiven, 0);
        return WithHandle([&](const EmbeddedResult& open) {
            return AlignedRead::Fill(open, target.aligned, wanted, 0, scratch);
        });
    }

    // ReadInto for the simulations start, start + 1, ... stop - 1 in one call,
    // into out[0], out[1], ...: what a chunk of a dataset reads, without a
    // call (and a release of the GIL) per block. Returns ReadInto's answer
    // for each simulation.
    py::array ReadRangeInto(const py::object& dataType, const py::object& start,
                            const py::object& stop, const py::object& read,
                            const py::object& partGiven, const py::array& idsGiven,
                            py::array outGiven) const {
        const long long first = SimulationArgument(start);
        const long long last = SimulationArgument(stop);
        const Target target = TargetArguments(dataType, read, partGiven, idsGiven, outGiven, 1);
        const long long count = outGiven.shape(0);
        if (first < 0 || last < first || last - first != count) {
            Raise(PyExc_ValueError, "start and stop must be 0 <= start <= stop with stop - start "
                                    "== len(out)");
        }
        py::array_t<long long> answers(static_cast<py::ssize_t>(count));
        long long* answer = answers.mutable_data();
        WithHandle([&](const EmbeddedResult& open) {
            // Blocks of one file, mostly: opened (and its encoding detected)
            // once, closed at the end.
            ResFileSet::Hold hold(*open.Files());
            for (long long index = 0; index < count; ++index) {
                answer[index] = AlignedRead::Fill(open, target.aligned, first + index,
                                                  static_cast<std::size_t>(index), scratch);
            }
            return 0;
        });
        return std::move(answers);
    }

    py::array EntityIds(const py::object& dataType) const {
        const std::string name = DataTypeArgument(dataType);
        return IdArray(WithHandle(
            [&](const EmbeddedResult& open) { return open.EntityIds(FindDataType(open, name)); }));
    }

    // The sorted union of the entity ids of `dataTypes` (each as EntityIds
    // gives them), the file opened once for all of them: what an entity
    // coordinate needs of one result set.
    py::array UnionEntityIds(const std::vector<py::object>& dataTypes) const {
        std::vector<std::string> names;
        names.reserve(dataTypes.size());
        for (const py::object& dataType : dataTypes) {
            names.push_back(DataTypeArgument(dataType));
        }
        return IdArray(WithHandle([&](const EmbeddedResult& open) {
            ResFileSet::Hold hold(*open.Files());
            return ResultQueries::UnionOf(open, names);
        }));
    }

    // For each data type of `dataTypes`: the sorted union of the entity ids
    // of all its blocks, over every simulation (not only the first, whose
    // ids EntityIds gives), and whether some block holds an id twice. A
    // complex kind's blocks are read with the complex read (`complexReads`
    // says which), so that records are taken at their stored length. The
    // file is held open for all of them, and the GIL let go once.
    py::list BlockEntityIds(const std::vector<py::object>& dataTypes,
                            const std::vector<bool>& complexReads) const {
        if (complexReads.size() != dataTypes.size()) {
            Raise(PyExc_ValueError, "complex_reads must give one flag per data type");
        }
        std::vector<std::string> names;
        names.reserve(dataTypes.size());
        for (const py::object& dataType : dataTypes) {
            names.push_back(DataTypeArgument(dataType));
        }
        std::vector<EntityIdUnion::Answer> found = WithHandle([&](const EmbeddedResult& open) {
            std::vector<const rxDataType*> types;
            for (const std::string& name : names) {
                types.push_back(&FindDataType(open, name));
            }
            return EntityIdUnion::Of(open, types, complexReads);
        });
        py::list answers;
        for (EntityIdUnion::Answer& one : found) {
            answers.append(
                py::make_tuple(OwnedIdArray(std::move(one.ids)), py::bool_(one.repeated)));
        }
        return answers;
    }

    // Reads the block of a data type in each simulation start ... stop - 1
    // once and fills every output the block feeds: outs[j][s - start] gets
    // `parts[j]` of it, aligned with the sorted `ids` (NaN where the block has
    // none). A part is "value" (the read's floats: a real scalar or x y z),
    // "magnitude", "phase" (radians) or "complex" (complex64, magnitude *
    // e^(i * phase)) of a complex read, or "column0" ... "column2" (the
    // record's reals as stored, a triple's magnitude, phase in degrees and
    // offset). Where a block holds an id twice, its first record counts.
    // Returns an int64 array of (state, unknown, repeated) per simulation:
    // state -1 when the simulation has no block, 0 when the block could not
    // be read whole (cut short, its file gone), 1 when it was; unknown: the
    // entities whose ids are not in `ids` (left out); repeated: the records
    // of ids already met in the block (left out).
    py::array ReadPartsInto(const py::object& dataType, const py::object& startGiven,
                            const py::object& stopGiven, const py::object& read,
                            const std::vector<std::string>& parts, const py::array& idsGiven,
                            const py::list& outsGiven) const {
        const std::string name = DataTypeArgument(dataType);
        const ReadMode mode = ReadModeArgument(read);
        const long long first = SimulationArgument(startGiven);
        const long long last = SimulationArgument(stopGiven);
        if (first < 0 || last < first) {
            Raise(PyExc_ValueError, "start and stop must be 0 <= start <= stop");
        }
        const long long count = last - first;
        const auto ids = py::array_t<int32_t, py::array::c_style>::ensure(idsGiven);
        if (!ids || ids.ndim() != 1) {
            Raise(PyExc_TypeError, "ids must be a one-dimensional int32 array");
        }
        if (parts.size() != py::len(outsGiven) || parts.empty()) {
            Raise(PyExc_ValueError, "parts and outs must be as long as each other, not empty");
        }
        std::vector<kvres::PartOut> targets;
        std::vector<py::array> held;
        for (std::size_t j = 0; j < parts.size(); ++j) {
            held.push_back(outsGiven[j].cast<py::array>());
            targets.push_back(PartArgument(parts[j], held.back(), ids.shape(0), count));
        }
        const int32_t* idData = ids.data();
        const std::size_t entities = static_cast<std::size_t>(ids.shape(0));
        py::array_t<long long> answers({static_cast<py::ssize_t>(count), py::ssize_t{3}});
        long long* answer = answers.mutable_data();
        WithHandle([&](const EmbeddedResult& open) {
            PartsRead::Fill(open, name, mode, first, count, targets, idData, entities, answer,
                            scratch);
            return 0;
        });
        return std::move(answers);
    }

    HistoryValues History(const py::object& dataType, const py::object& entityGiven,
                          const py::object& read) const {
        const std::string name = DataTypeArgument(dataType);
        const int32_t entity = EntityArgument(entityGiven);
        const ReadMode mode = ReadModeArgument(read);
        const kvres::History raw = WithHandle([&](const EmbeddedResult& open) {
            return ResultQueries::History(open, name, entity,
                                          ResultQueries::IsComplexRead(open, mode));
        });
        const py::ssize_t count = static_cast<py::ssize_t>(raw.sync.size());
        py::array_t<float> sync(count);
        py::array_t<float> values(ValueShape(raw.form, count));
        if (count > 0) {
            std::memcpy(sync.mutable_data(), raw.sync.data(), raw.sync.size() * sizeof(float));
            std::memcpy(values.mutable_data(), raw.values.data(),
                        raw.values.size() * sizeof(float));
        }
        return HistoryValues{raw.dataType, entity, raw.complexRead ? "complex" : "real",
                             std::move(sync), std::move(values)};
    }

    std::string Repr() const {
        std::string text = "<kvres.Result " + py::repr(given).cast<std::string>();
        std::size_t types = 0;
        int simulations = 0;
        bool closed = false;
        if (Forked()) {
            return text + " (opened before a fork)>";
        }
        {
            py::gil_scoped_release released;
            std::lock_guard<std::mutex> guard(mutex);
            closed = handle == nullptr;
            if (!closed) {
                types = handle->DataTypes().size();
                simulations = handle->SimulationCount();
            }
        }
        if (closed) {
            return text + " (closed)>";
        }
        return text + ": " + std::to_string(types) + " data types, " + std::to_string(simulations) +
               " simulations>";
    }

private:
    bool Forked() const { return generation != forkGeneration.load(); }
    void RefuseAfterFork() const {
        if (Forked()) {
            Raise(PyExc_RuntimeError, "a kvres.Result does not cross a fork: open the file "
                                      "again in this process");
        }
    }

    struct Table {
        std::vector<float> sync;
        std::vector<std::string> labels;
    };

    static std::unique_ptr<SubcaseInfo> SubcaseOf(const EmbeddedResult& open) {
        auto found = std::make_unique<SubcaseInfo>();
        if (!ResultQueries::SubcaseOf(open, *found)) {
            found.reset();
        }
        return found;
    }

    static Table TableOf(const EmbeddedResult& open) {
        Table found;
        ResultQueries::Table(open, found.sync, found.labels);
        return found;
    }

    static py::tuple TableObjects(Table table) {
        py::array_t<float> sync(static_cast<py::ssize_t>(table.sync.size()));
        if (!table.sync.empty()) {
            std::memcpy(sync.mutable_data(), table.sync.data(), table.sync.size() * sizeof(float));
        }
        py::list labels(table.labels.size());
        for (std::size_t index = 0; index < table.labels.size(); ++index) {
            labels[index] = Text(table.labels[index]);
        }
        return py::make_tuple(std::move(sync), std::move(labels));
    }

    // One output of ReadPartsInto, checked.
    static kvres::PartOut PartArgument(const std::string& part, py::array& out,
                                       py::ssize_t entities, long long count) {
        kvres::PartOut target;
        if (part == "value") {
            target.part = kvres::PartOut::Part::Value;
        } else if (part == "magnitude") {
            target.part = kvres::PartOut::Part::Magnitude;
        } else if (part == "phase") {
            target.part = kvres::PartOut::Part::Phase;
        } else if (part == "complex") {
            target.part = kvres::PartOut::Part::Complex;
        } else if (part.size() == 7 && part.compare(0, 6, "column") == 0 && part[6] >= '0' &&
                   part[6] <= '2') {
            target.part = kvres::PartOut::Part::Column;
            target.column = part[6] - '0';
        } else {
            Raise(PyExc_ValueError, "a part is 'value', 'magnitude', 'phase', 'complex' or "
                                    "'column0' to 'column2', not '" +
                                        part + "'");
        }
        const bool complexOut = target.part == kvres::PartOut::Part::Complex;
        const py::dtype given = out.dtype();
        const bool fits = given.attr("isnative").cast<bool>() &&
                          (complexOut ? given.kind() == 'c' && given.itemsize() == 8
                                      : given.kind() == 'f' && given.itemsize() == 4);
        const py::ssize_t dims = out.ndim() - 1;
        if (!fits || !(out.flags() & py::array::c_style) || !out.writeable() || dims < 1 ||
            dims > 2 || out.shape(0) != count || out.shape(1) != entities ||
            (dims == 2 && out.shape(2) != 3) ||
            (dims == 2 && target.part == kvres::PartOut::Part::Column)) {
            Raise(PyExc_TypeError,
                  "each out must be a writeable C-contiguous " +
                      std::string(complexOut ? "complex64" : "float32") +
                      " array of shape (stop - start, len(ids)) or (stop - start, len(ids), 3) "
                      "(a column: scalars only)");
        }
        target.vector = dims == 2;
        target.out = static_cast<float*>(out.mutable_data());
        return target;
    }

    // An int32 array over `ids` itself, which it then owns: no copy.
    static py::array OwnedIdArray(std::vector<int32_t>&& ids) {
        auto owned = std::make_unique<std::vector<int32_t>>(std::move(ids));
        py::capsule base(owned.get(),
                         [](void* held) { delete static_cast<std::vector<int32_t>*>(held); });
        const std::vector<int32_t>& kept = *owned.release(); // the capsule's now
        return py::array_t<int32_t>(static_cast<py::ssize_t>(kept.size()), kept.data(), base);
    }

    static py::array IdArray(const std::vector<int32_t>& ids) {
        py::array_t<int32_t> array(static_cast<py::ssize_t>(ids.size()));
        if (!ids.empty()) {
            std::memcpy(array.mutable_data(), ids.data(), ids.size() * sizeof(int32_t));
        }
        return std::move(array);
    }

    // Whether `given` is one path (str, bytes or os.PathLike) rather than
    // an iterable of them.
    static bool IsOnePath(const py::object& given) {
        return py::isinstance<py::str>(given) || py::isinstance<py::bytes>(given) ||
               py::hasattr(given, "__fspath__");
    }

    // The names in `drop`: one str, or an iterable whose str items count;
    // anything else names no data type.
    static std::vector<std::string> DropArgument(const py::object& drop) {
        std::vector<std::string> names;
        if (py::isinstance<py::str>(drop)) {
            names.push_back(Bytes(drop));
            return names;
        }
        if (!py::isinstance<py::iterable>(drop)) {
            Raise(PyExc_TypeError, "drop must be a data type's name or an iterable of names");
        }
        for (const py::handle item : drop) {
            if (py::isinstance<py::str>(item)) {
                names.push_back(Bytes(item));
            }
        }
        return names;
    }

    // Labels all of ASCII as the str array np.array(labels, dtype=str) makes
    // of them, built without a Python object each; None for others (and for
    // none), which take numpy's own road.
    static py::object LabelArray(const std::vector<std::string>& labels) {
        std::size_t width = 1;
        for (const std::string& label : labels) {
            for (const char c : label) {
                if (static_cast<unsigned char>(c) >= 0x80) {
                    return py::none();
                }
            }
            width = std::max(width, label.size());
        }
        if (labels.empty()) {
            return py::none();
        }
        py::array array(py::dtype("U" + std::to_string(width)),
                        std::vector<py::ssize_t>{static_cast<py::ssize_t>(labels.size())},
                        std::vector<py::ssize_t>{});
        auto* chars = static_cast<uint32_t*>(array.mutable_data());
        std::fill(chars, chars + labels.size() * width, 0u);
        for (std::size_t index = 0; index < labels.size(); ++index) {
            const std::string& label = labels[index];
            std::copy(label.begin(), label.end(), chars + index * width);
        }
        return std::move(array);
    }

    static py::dict SummaryDict(kvres::Summary&& gathered, bool brief = false) {
        py::dict summary;
        summary["subcase"] =
            gathered.hasSubcase ? py::cast(gathered.subcase) : py::object(py::none());
        py::object labelArray = LabelArray(gathered.labels);
        if (brief && !labelArray.is_none()) {
            py::tuple table = TableObjects({std::move(gathered.sync), {}});
            summary["sync"] = table[0];
        } else {
            py::tuple table = TableObjects({std::move(gathered.sync), std::move(gathered.labels)});
            summary["sync"] = table[0];
            if (labelArray.is_none()) {
                labelArray =
                    py::module_::import("numpy").attr("array")(table[1], py::arg("dtype") = "str");
            }
            if (!brief) {
                summary["labels"] = table[1];
            }
        }
        summary["label_array"] = labelArray;
        summary["data_types"] = py::cast(std::move(gathered.dataTypes));
        if (!brief) {
            py::dict ids;
            ids["nodes"] = IdArray(gathered.nodeIds);
            ids["elements"] = IdArray(gathered.elementIds);
            summary["ids"] = ids;
        }
        summary["files"] = py::cast(std::move(gathered.files));
        summary["recognized"] = gathered.recognized;
        return summary;
    }

    // What ReadInto and ReadRangeInto were asked for, checked.
    struct Target {
        // Held, so that the target's ids stay valid when they had to be
        // converted.
        py::array_t<int32_t, py::array::c_style> ids;
        AlignedRead::Target aligned;
    };

    // Checks the arguments of a read into `out`, whose first `leading`
    // dimensions come before a block's (len(ids),) or (len(ids), 3).
    static Target TargetArguments(const py::object& dataType, const py::object& read,
                                  const py::object& partGiven, const py::array& idsGiven,
                                  py::array& outGiven, int leading) {
        Target target;
        const std::string name = DataTypeArgument(dataType);
        const ReadMode mode = ReadModeArgument(read);
        const std::string part = py::isinstance<py::str>(partGiven) ? Bytes(partGiven) : "";
        kvres::ReadPart readPart = kvres::ReadPart::Real;
        if (part == "complex") {
            readPart = kvres::ReadPart::Complex;
        } else if (part == "magnitude") {
            readPart = kvres::ReadPart::Magnitude;
        } else if (part == "phase") {
            readPart = kvres::ReadPart::Phase;
        } else if (part != "real") {
            Raise(PyExc_ValueError, "part must be 'real', 'complex', 'magnitude' or 'phase'");
        }
        target.ids = py::array_t<int32_t, py::array::c_style>::ensure(idsGiven);
        const auto& ids = target.ids;
        if (!ids || ids.ndim() != 1) {
            Raise(PyExc_TypeError, "ids must be a one-dimensional int32 array");
        }
        const bool complexOut = readPart == kvres::ReadPart::Complex;
        const py::dtype given = outGiven.dtype();
        const bool nativeOrder = given.attr("isnative").cast<bool>();
        const bool fits =
            nativeOrder && (complexOut ? given.kind() == 'c' && given.itemsize() == 8
                                       : given.kind() == 'f' && given.itemsize() == 4);
        const py::ssize_t count = ids.shape(0);
        const py::ssize_t dims = outGiven.ndim() - leading;
        if (!fits || !(outGiven.flags() & py::array::c_style) || !outGiven.writeable() ||
            dims < 1 || dims > 2 || outGiven.shape(leading) != count ||
            (dims == 2 && outGiven.shape(leading + 1) != 3)) {
            const std::string lead = leading == 0 ? "" : "n, ";
            Raise(PyExc_TypeError, "out must be a writeable C-contiguous " +
                                       std::string(complexOut ? "complex64" : "float32") +
                                       " array of shape (" + lead + "len(ids),) or (" + lead +
                                       "len(ids), 3)");
        }
        try {
            target.aligned = AlignedRead::MakeTarget(name, mode, readPart, dims == 2 ? 3 : 1,
                                                     ids.data(), static_cast<std::size_t>(count),
                                                     static_cast<float*>(outGiven.mutable_data()));
        } catch (const std::invalid_argument& wrong) {
            Raise(PyExc_ValueError, wrong.what());
        }
        return target;
    }

    // Runs `work` on the open handle under the result's lock with the GIL
    // released. `work` must not touch Python; it reports failures by
    // throwing a Problem, raised here once the GIL is back.
    template <class Work>
    auto WithHandle(Work&& work) const -> decltype(work(std::declval<const EmbeddedResult&>())) {
        RefuseAfterFork();
        std::unique_ptr<Problem> problem;
        using Answer = decltype(work(std::declval<const EmbeddedResult&>()));
        Answer answer{};
        {
            py::gil_scoped_release released;
            std::lock_guard<std::mutex> guard(mutex);
            if (handle == nullptr) {
                problem = std::make_unique<Problem>(
                    Problem{Errors().closed, OperationOnClosed("kvres.Result")});
            } else {
                try {
                    handle->BeginOperation();
                    answer = work(*handle);
                    handle->EndOperation();
                } catch (Problem& found) {
                    problem = std::make_unique<Problem>(std::move(found));
                } catch (const kvres::DataTypeNotFoundError& missing) {
                    problem = std::make_unique<Problem>(
                        Problem{Errors().dataTypeNotFound, missing.what()});
                } catch (const kvres::SimulationIndexError& outside) {
                    problem = std::make_unique<Problem>(
                        Problem{Errors().simulationIndex, outside.what()});
                } catch (const kvres::NoValuesError& none) {
                    problem = std::make_unique<Problem>(Problem{Errors().noValues, none.what()});
                } catch (const std::invalid_argument& wrong) {
                    problem = std::make_unique<Problem>(Problem{PyExc_ValueError, wrong.what()});
                } catch (const EmbeddedResult::FileChanged& changed) {
                    problem = std::make_unique<Problem>(Problem{Errors().read, changed.what()});
                }
            }
        }
        if (problem != nullptr) {
            Raise(problem->type, problem->message);
        }
        return answer;
    }

    // Reads the block of `name` in simulation `wanted` into memory the
    // arrays will view, or into `scratch`, a buffer the caller keeps from
    // read to read (no allocation, and no fresh pages, per block).
    static RawBlock ReadBlock(const EmbeddedResult& open, const std::string& name, long long wanted,
                              ReadMode mode, std::vector<int32_t>* scratch = nullptr) {
        RawBlock block;
        const bool complexRead = ResultQueries::IsComplexRead(open, mode);
        static_cast<AlignedRead::Raw&>(block) =
            AlignedRead::ReadRaw(open, name, wanted, complexRead, [&](std::size_t words) {
                if (scratch != nullptr) {
                    if (scratch->size() < words) {
                        scratch->resize(words);
                    }
                    return scratch->data();
                }
                block.storage = BlockBuffers::Take(words);
                return block.storage.get();
            });
        return block;
    }

    static rxDataType& FindDataType(const EmbeddedResult& open, const std::string& name) {
        return ResultQueries::FindType(open, name);
    }

    // The numpy arrays of a block read: views of its storage, which a
    // capsule owns and the arrays keep alive.
    static DataSetArrays Arrays(RawBlock raw) {
        const py::ssize_t readable = raw.readable;
        int32_t* memory = raw.storage.get();
        py::capsule owner(
            memory, [](void* pointer) { BlockBuffers::Give(static_cast<int32_t*>(pointer)); });
        raw.storage.release();
        py::object ids;
        py::object floats;
        const std::vector<py::ssize_t> shape = ValueShape(raw.form, readable);
        if (raw.packed) {
            const py::ssize_t stride = 4 * (1 + raw.recordReals);
            auto* records = reinterpret_cast<unsigned char*>(memory);
            std::vector<py::ssize_t> strides{stride};
            if (shape.size() == 2) {
                strides.push_back(4);
            }
            ids = py::array(py::dtype::of<int32_t>(), {readable}, {stride}, memory, owner);
            floats = py::array(py::dtype::of<float>(), shape, strides,
                               reinterpret_cast<float*>(records + 4 + 4 * raw.valueColumn), owner);
        } else {
            ids = py::array(py::dtype::of<int32_t>(), {readable}, {}, memory, owner);
            floats = py::array(py::dtype::of<float>(), shape, {},
                               reinterpret_cast<float*>(memory + readable), owner);
        }
        DataSetArrays set;
        set.dataType = raw.dataType;
        set.simulation = raw.simulation;
        set.read = raw.complexRead ? "complex" : "real";
        set.complete = raw.complete;
        if (raw.delivered == readable) {
            set.ids = std::move(ids);
            set.values = std::move(floats);
        } else {
            // Only whole records count; copies keep the arrays compact.
            const py::slice whole(0, raw.delivered, 1);
            set.ids = ids.attr("__getitem__")(whole).attr("copy")();
            set.values = floats.attr("__getitem__")(whole).attr("copy")();
        }
        return set;
    }

    static std::vector<py::ssize_t> ValueShape(kvres::ValueForm form, py::ssize_t count) {
        switch (form) {
        case kvres::ValueForm::RealScalar:
            return {count};
        case kvres::ValueForm::RealVector:
            return {count, 3};
        case kvres::ValueForm::ComplexScalar:
            return {count, 2};
        case kvres::ValueForm::ComplexVector:
            return {count, 2, 3};
        }
        return {count};
    }

    py::object given;
    bool recognized;
    mutable std::mutex mutex;
    std::unique_ptr<EmbeddedResult> handle;
    // ReadInto's block buffer, reused under the lock: as large as the largest
    // block read into an array so far.
    mutable std::vector<int32_t> scratch;
    unsigned generation;
};

std::atomic<unsigned> Result::forkGeneration{0};

} // namespace

PYBIND11_MODULE(_kvres, m) {
    m.doc() = "Read .res finite-element result sets as numpy arrays, with the kvres plug-in's "
              "own answers.";
    m.attr("__version__") = KVRES_VERSION;
    MakeErrorTypes(m);
    BindWriter(m);
    BindFormat(m);

    // pybind11 looks numpy's C API and its dtypes up once, in function-local
    // statics whose initialisation imports numpy. Done first by two threads
    // at once (each read releases the GIL), one would wait on the static's
    // guard while holding the GIL the other needs to finish it: a deadlock.
    // The import of this module runs alone, so they are made here.
    py::array_t<int32_t> ints(1);
    py::array_t<float> floats(1);
    py::dtype::of<int32_t>();
    py::dtype::of<float>();
    py::dtype("complex64");

#if !defined(_WIN32)
    pthread_atfork(nullptr, nullptr, [] { ++Result::forkGeneration; });
#endif

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
        .def_property_readonly("binding", BindingName, "'nodes' or 'elements'")
        .def_property_readonly("format", FormatName, "'scalar' or 'vector'")
        .def_readonly("kind", &DataTypeInfo::kind,
                      "The kind code 0 to 8 of the file's data-type table row")
        .def("__repr__", [](const DataTypeInfo& t) {
            return "<kvres.DataType " + py::repr(Text(t.name)).cast<std::string>() + " " +
                   BindingName(t) + " " + FormatName(t) + ">";
        });

    py::class_<SeriesFileInfo>(m, "SeriesFile", "One file of a result's series and its header.")
        .def_property_readonly("name",
                               [](const SeriesFileInfo& f) {
                                   return py::module_::import("os").attr("fsdecode")(
                                       py::bytes(f.name));
                               })
        .def_readonly("detected", &SeriesFileInfo::detected,
                      "Whether the file's header was read in a detected encoding")
        .def_property_readonly("title", [](const SeriesFileInfo& f) { return Text(f.title); })
        .def_property_readonly("text",
                               [](const SeriesFileInfo& f) {
                                   py::list lines;
                                   for (const std::string& line : f.text) {
                                       lines.append(Text(line));
                                   }
                                   return lines;
                               })
        .def_readonly("encoding", &SeriesFileInfo::encoding,
                      "Integer and real encoding and byte order, e.g. 'Int4 Real4 little-endian'")
        .def("__repr__", [](const SeriesFileInfo& f) {
            return "<kvres.SeriesFile " +
                   py::repr(py::module_::import("os").attr("fsdecode")(py::bytes(f.name)))
                       .cast<std::string>() +
                   " " + f.encoding + ">";
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

    py::class_<DataSetArrays>(m, "DataSet", "The values of one data type in one simulation.")
        .def_property_readonly("data_type", [](const DataSetArrays& d) { return Text(d.dataType); })
        .def_readonly("simulation", &DataSetArrays::simulation)
        .def_readonly("read", &DataSetArrays::read, "'real' or 'complex'")
        .def_readonly("ids", &DataSetArrays::ids, "int32 entity ids, shape (n,)")
        .def_readonly("values", &DataSetArrays::values,
                      "float32: (n,) real scalar, (n, 3) real vector, (n, 2) magnitude and "
                      "phase, (n, 2, 3) magnitudes and phases")
        .def_readonly("complete", &DataSetArrays::complete,
                      "False when the block was cut short; the arrays hold the whole records "
                      "read")
        .def("__len__", [](const DataSetArrays& d) { return py::len(d.ids); })
        .def("__repr__", [](const DataSetArrays& d) {
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
        .def("simulation_table", &Result::SimulationTable,
             "(sync, labels): the sync values as a float32 array and the labels as a list, "
             "one per simulation")
        .def_property_readonly("files", &Result::Files,
                               "The series files, with their headers' texts and encodings")
        .def("read", &Result::Read, py::arg("data_type"), py::arg("sim"),
             py::arg("read") = py::str("auto"),
             "The values of a data type (name or DataType) in a simulation (index or "
             "Simulation).")
        .def("read_into", &Result::ReadInto, py::arg("data_type"), py::arg("sim"), py::arg("read"),
             py::arg("part"), py::arg("ids"), py::arg("out"),
             "Reads a block into `out`, aligned with the sorted entity `ids` (NaN where "
             "the block has none); returns how many of its entities were not in `ids`, "
             "or -1 when the simulation has no block of the data type.")
        .def("read_range_into", &Result::ReadRangeInto, py::arg("data_type"), py::arg("start"),
             py::arg("stop"), py::arg("read"), py::arg("part"), py::arg("ids"), py::arg("out"),
             "read_into for the simulations start ... stop - 1, into out[0], out[1], ...; "
             "returns read_into's answer for each.")
        .def("entity_ids", &Result::EntityIds, py::arg("data_type"),
             "The entity ids the subcase reports for a data type.")
        .def("summary", &Result::Summary, py::arg("drop") = py::tuple(), py::kw_only(),
             py::arg("brief") = false,
             "The structure a dataset needs, in one call: a dict of 'subcase', 'sync', "
             "'labels', 'label_array', 'data_types' (those not named in drop), 'ids' (per "
             "binding, the union of union_entity_ids of its data types) and 'files'; "
             "brief=True leaves out 'labels' and 'ids'.")
        .def("union_entity_ids", &Result::UnionEntityIds, py::arg("data_types"),
             "The sorted union (int32) of the entity ids the subcase reports for the "
             "data types, the file opened once for all of them.")
        .def("block_entity_ids", &Result::BlockEntityIds, py::arg("data_types"),
             py::arg("complex_reads"),
             "For each data type, (ids, repeated): the sorted union (int32) of the entity ids "
             "of all its blocks in every simulation, and whether a block holds an id twice; "
             "a complex kind's blocks are read with complex_reads set for it.")
        .def("read_parts_into", &Result::ReadPartsInto, py::arg("data_type"), py::arg("start"),
             py::arg("stop"), py::arg("read"), py::arg("parts"), py::arg("ids"), py::arg("outs"),
             "Reads each block of simulations start ... stop - 1 once into every out of outs, "
             "each its part ('value', 'magnitude', 'phase', 'complex', 'column0' to "
             "'column2'), aligned with the sorted ids (NaN where the block has none, a "
             "repeated id's first record); returns an int64 array of (state, unknown, "
             "repeated) per simulation, state -1 for no block, 0 for a block not read whole, "
             "1 for a whole one.")
        .def("history", &Result::History, py::arg("data_type"), py::arg("entity"),
             py::arg("read") = py::str("auto"), "One entity's values over every simulation.")
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
        "pooled_empty",
        [](const std::vector<py::ssize_t>& shape, const py::dtype& dtype) {
            // Uninitialised memory read as object references would be
            // followed at the first assignment.
            if (dtype.attr("hasobject").cast<bool>()) {
                Raise(PyExc_TypeError, "pooled_empty takes no dtype that holds Python objects");
            }
            std::size_t bytes = static_cast<std::size_t>(dtype.itemsize());
            for (const py::ssize_t extent : shape) {
                if (extent < 0) {
                    Raise(PyExc_ValueError, "negative dimensions are not allowed");
                }
                const auto size = static_cast<std::size_t>(extent);
                if (size != 0 && bytes > static_cast<std::size_t>(-1) / size) {
                    Raise(PyExc_MemoryError, "array too large");
                }
                bytes *= size;
            }
            BlockBuffers::Buffer buffer = BlockBuffers::Take(bytes / 4 + 1);
            int32_t* memory = buffer.get();
            py::capsule owner(
                memory, [](void* pointer) { BlockBuffers::Give(static_cast<int32_t*>(pointer)); });
            buffer.release();
            return py::array(dtype, shape, {}, memory, owner);
        },
        py::arg("shape"), py::arg("dtype"),
        "An uninitialised C-contiguous array whose memory comes from the buffers block "
        "reads reuse and goes back to them when the array dies: filled again and again "
        "(a dask chunk per task), it touches no fresh pages.");

    m.def("summaries", &Result::Summaries, py::arg("paths"), py::arg("drop") = py::tuple(),
          py::arg("force") = false, py::arg("threads") = 0,
          "The summaries (as Result.summary gives them, with \"recognized\") of many result "
          "sets, in the order given: each opened, summarised and closed on a few threads "
          "(threads=0: one a CPU, eight at most) with the GIL let go. Raises as open() would: "
          "for a path that cannot be read before any file is opened, else for the first "
          "path not recognised (unless force).");

    m.def(
        "open",
        [](const py::object& path, bool force) {
            const std::string bytes = PathBytes(path);
            CheckReadable(bytes, path);
            // Judged and opened with the GIL let go once.
            bool recognized = false;
            std::unique_ptr<EmbeddedResult> opened;
            std::string why;
            {
                py::gil_scoped_release released;
                recognized = EmbeddedResult::Identify(bytes);
                if (recognized || force) {
                    opened = std::make_unique<EmbeddedResult>(bytes);
                } else {
                    why = EmbeddedResult::WhyNotRecognized(bytes);
                }
            }
            if (opened == nullptr) {
                RaiseNotRecognized(bytes, why);
            }
            return std::make_unique<Result>(path, recognized, std::move(opened));
        },
        py::arg("path"), py::arg("force") = false,
        "Opens a .res result set (one file or its numbered series).");
}
