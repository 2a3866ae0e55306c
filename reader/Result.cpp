// kvres::Result and kvres::open: the public read API on LinkedPluginResult and
// BlockValues, the same two classes the Python module reads through, so the
// two answer alike. Argument checks and their messages follow the module's.
#include "kvres/Result.h"

#include "BlockValues.h"
#include "LinkedPluginResult.h"

#include "fileio/ResFile.h"

#include "rxDataType.h"
#include "rxSimulation.h"
#include "rxSubcase.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace kvres {

ReadError::ReadError(const std::string& message) : std::runtime_error(message) {}
ReadError::~ReadError() = default;
FileError::FileError(const std::string& message, int code) : ReadError(message), errorCode(code) {}
FileError::~FileError() = default;
NotRecognizedError::~NotRecognizedError() = default;
ClosedError::~ClosedError() = default;
DataTypeNotFoundError::~DataTypeNotFoundError() = default;
SimulationIndexError::~SimulationIndexError() = default;
NoValuesError::~NoValuesError() = default;

struct Result::State {
    std::string path;
    bool recognized = false;
    std::unique_ptr<LinkedPluginResult> handle;
};

namespace {

// Throws FileError unless `path` names a regular file that can be read: a
// FIFO or a device is refused at once (reading one could wait forever or
// give nothing), and so is a name holding a NUL (the system would open the
// name cut at it).
void CheckReadable(const std::string& path) {
    std::string problem;
    int error = 0;
    if (!ResFile::Readable(path, problem, error)) {
        // A NUL in the name is shown as \0: the message is a C string.
        std::string shown;
        for (char c : path) {
            shown += c == '\0' ? std::string("\\0") : std::string(1, c);
        }
        throw FileError(shown + ": " + problem, error);
    }
}

// The error code of a file found changed after the open.
int ChangedCode() {
#if defined(ESTALE)
    return ESTALE;
#else
    return EIO;
#endif
}

// Runs `work` on `open` as one operation: a series file found changed
// meanwhile throws FileError instead of answering with another file's values.
template <class Work> auto Operation(const LinkedPluginResult& open, Work&& work) {
    open.BeginOperation();
    try {
        auto answer = work();
        open.EndOperation();
        return answer;
    } catch (const LinkedPluginResult::FileChanged& changed) {
        throw FileError(changed.what(), ChangedCode());
    }
}

rxDataType& FindType(const LinkedPluginResult& open, const std::string& name) {
    std::string missing;
    if (rxDataType* type = open.FindDataType(name, &missing)) {
        return *type;
    }
    throw DataTypeNotFoundError(missing);
}

int SimulationIndex(const LinkedPluginResult& open, int given) {
    std::string outOfRange;
    const int index = open.SimulationIndex(given, outOfRange);
    if (index < 0) {
        throw SimulationIndexError(outOfRange);
    }
    return index;
}

ValueForm FormOf(BlockValues::Form form) {
    switch (form) {
    case BlockValues::Form::RealScalar:
        return ValueForm::RealScalar;
    case BlockValues::Form::RealVector:
        return ValueForm::RealVector;
    case BlockValues::Form::ComplexScalar:
        return ValueForm::ComplexScalar;
    case BlockValues::Form::ComplexVector:
        return ValueForm::ComplexVector;
    }
    return ValueForm::RealScalar;
}

DataSet ReadBlock(const LinkedPluginResult& open, const rxDataType& type, int index,
                  const LinkedPluginResult::Block& block, bool complexRead) {
    BlockValues values(*open.Files(), block.fileIndex, block.position, block.shape, complexRead);
    DataSet set;
    set.dataType = type.GetName();
    set.simulation = index;
    set.complexRead = complexRead;
    set.form = FormOf(values.GetForm());
    set.width = values.FloatsPerEntity();
    const auto readable = static_cast<std::size_t>(values.Readable());
    set.ids.resize(readable);
    set.values.resize(readable * static_cast<std::size_t>(set.width));
    const int32_t delivered = values.Fill(set.ids.data(), set.values.data());
    set.complete = values.Complete(delivered);
    set.ids.resize(static_cast<std::size_t>(delivered));
    set.values.resize(static_cast<std::size_t>(delivered) * static_cast<std::size_t>(set.width));
    return set;
}

} // namespace

Result open(const std::string& path, bool force) {
    CheckReadable(path);
    auto state = std::make_unique<Result::State>();
    state->path = path;
    state->recognized = LinkedPluginResult::Identify(path);
    if (!state->recognized && !force) {
        throw NotRecognizedError(path + ": not a .res result file (its title differs); "
                                        "open(path, true) reads it anyway");
    }
    state->handle = std::make_unique<LinkedPluginResult>(path);
    return Result(std::move(state));
}

Result::Result(std::unique_ptr<State> opened) : state(std::move(opened)) {}
Result::Result(Result&& other) noexcept = default;
Result& Result::operator=(Result&& other) noexcept = default;
Result::~Result() = default;

const std::string& Result::path() const {
    static const std::string none;
    return state != nullptr ? state->path : none;
}

bool Result::recognized() const {
    return state != nullptr && state->recognized;
}

bool Result::closed() const {
    return state == nullptr || state->handle == nullptr;
}

void Result::close() {
    if (state != nullptr) {
        state->handle.reset();
    }
}

const Result::State& Result::Open() const {
    if (closed()) {
        throw ClosedError("operation on a closed kvres::Result");
    }
    return *state;
}

Subcase Result::subcase() const {
    const LinkedPluginResult& open = *Open().handle;
    Subcase answer;
    if (const rxSubcase* found = open.Subcase()) {
        answer.id = found->GetID();
        answer.label = found->GetLabel();
        answer.isComplex = open.IsComplex();
    }
    return answer;
}

std::vector<DataType> Result::dataTypes() const {
    std::vector<DataType> list;
    for (const rxDataType* type : Open().handle->DataTypes()) {
        const auto& attributes = type->GetAttributes();
        DataType entry;
        entry.name = type->GetName();
        entry.binding = type->GetBinding() == rxDataType::Elements ? DataType::Binding::Elements
                                                                   : DataType::Binding::Nodes;
        entry.format = !attributes.empty() && attributes.front().format == rxDataSet::Vector
                           ? DataType::Format::Vector
                           : DataType::Format::Scalar;
        list.push_back(std::move(entry));
    }
    return list;
}

std::vector<Simulation> Result::simulations() const {
    const LinkedPluginResult& open = *Open().handle;
    std::vector<Simulation> list;
    const int count = open.SimulationCount();
    for (int index = 0; index < count; ++index) {
        if (const rxSimulation* simulation = open.Simulation(index)) {
            const char* label = simulation->GetLabel();
            list.push_back({index, label != nullptr ? label : "", simulation->GetSyncValue()});
        }
    }
    return list;
}

DataSet Result::read(const std::string& dataType, int simulation, ReadMode mode) const {
    const LinkedPluginResult& open = *Open().handle;
    rxDataType& type = FindType(open, dataType);
    const bool complexRead = mode == ReadMode::Auto ? open.IsComplex() : mode == ReadMode::Complex;
    const int index = SimulationIndex(open, simulation);
    LinkedPluginResult::Block block;
    if (!open.FindBlock(type, open.Simulation(index), block)) {
        throw NoValuesError("data type '" + dataType + "' has no values in simulation " +
                            std::to_string(index));
    }
    return Operation(open, [&] { return ReadBlock(open, type, index, block, complexRead); });
}

std::vector<int32_t> Result::entityIds(const std::string& dataType) const {
    const LinkedPluginResult& open = *Open().handle;
    rxDataType& type = FindType(open, dataType);
    return Operation(open, [&] { return open.EntityIds(type); });
}

} // namespace kvres
