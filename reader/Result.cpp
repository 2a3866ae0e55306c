// kvres::Result and kvres::open: the public read API on EmbeddedResult,
// BlockValues, EntityIdUnion, ResultQueries, AlignedRead and PartsRead, the classes the
// Python module reads through, so the two answer alike. Argument checks and
// their messages follow the module's.
#include "kvres/Result.h"

#include "AlignedRead.h"
#include "BlockValues.h"
#include "EmbeddedResult.h"
#include "EntityIdUnion.h"
#include "PartsRead.h"
#include "ResultQueries.h"

#include "fileio/ErrorText.h"
#include "fileio/ResFile.h"
#include "fileio/ResFileSet.h"

#include "rxDataType.h"
#include "rxSimulation.h"
#include "rxSubcase.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace kvres {

struct Result::State {
    std::string path;
    bool recognized = false;
    std::unique_ptr<EmbeddedResult> handle;
    // readInto's block buffer, reused: as large as the largest block so far.
    std::vector<int32_t> scratch;
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
template <class Work> auto Operation(const EmbeddedResult& open, Work&& work) {
    open.BeginOperation();
    try {
        auto answer = work();
        open.EndOperation();
        return answer;
    } catch (const EmbeddedResult::FileChanged& changed) {
        throw FileError(changed.what(), ChangedCode());
    }
}

DataSet ReadBlock(const EmbeddedResult& open, const rxDataType& type, int index,
                  const EmbeddedResult::Block& block, bool complexRead) {
    BlockValues values(*open.Files(), block.fileIndex, block.position, block.shape, complexRead);
    DataSet set;
    set.dataType = type.GetName();
    set.simulation = index;
    set.complexRead = complexRead;
    set.form = values.GetForm();
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
    state->recognized = EmbeddedResult::Identify(path);
    if (!state->recognized && !force) {
        throw NotRecognizedError(
            NotAResultFile(path, EmbeddedResult::WhyNotRecognized(path), "open(path, true)"));
    }
    state->handle = std::make_unique<EmbeddedResult>(path);
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
        throw ClosedError(OperationOnClosed("kvres::Result"));
    }
    return *state;
}

Subcase Result::subcase() const {
    Subcase answer;
    ResultQueries::SubcaseOf(*Open().handle, answer);
    return answer;
}

std::vector<DataType> Result::dataTypes() const {
    return ResultQueries::DataTypes(*Open().handle);
}

std::vector<Simulation> Result::simulations() const {
    return ResultQueries::Simulations(*Open().handle);
}

DataSet Result::read(const std::string& dataType, int simulation, ReadMode mode) const {
    const EmbeddedResult& open = *Open().handle;
    rxDataType& type = ResultQueries::FindType(open, dataType);
    const bool complexRead = ResultQueries::IsComplexRead(open, mode);
    const int index = ResultQueries::SimulationIndex(open, simulation);
    EmbeddedResult::Block block;
    if (!open.FindBlock(type, open.Simulation(index), block)) {
        throw NoValuesError("data type '" + dataType + "' has no values in simulation " +
                            std::to_string(index));
    }
    return Operation(open, [&] { return ReadBlock(open, type, index, block, complexRead); });
}

std::vector<int32_t> Result::entityIds(const std::string& dataType) const {
    const EmbeddedResult& open = *Open().handle;
    rxDataType& type = ResultQueries::FindType(open, dataType);
    return Operation(open, [&] { return open.EntityIds(type); });
}

std::vector<BlockEntityIds> Result::blockEntityIds(const std::vector<std::string>& dataTypes,
                                                   ReadMode mode) const {
    const EmbeddedResult& open = *Open().handle;
    std::vector<const rxDataType*> types;
    for (const std::string& name : dataTypes) {
        types.push_back(&ResultQueries::FindType(open, name));
    }
    const bool complexRead = ResultQueries::IsComplexRead(open, mode);
    std::vector<EntityIdUnion::Answer> found = Operation(open, [&] {
        return EntityIdUnion::Of(open, types, std::vector<bool>(types.size(), complexRead));
    });
    std::vector<BlockEntityIds> answers(found.size());
    for (std::size_t t = 0; t < found.size(); ++t) {
        answers[t].dataType = dataTypes[t];
        answers[t].ids = std::move(found[t].ids);
        answers[t].repeatedIds = found[t].repeated;
    }
    return answers;
}

std::vector<SeriesFile> Result::files() const {
    const EmbeddedResult& open = *Open().handle;
    return Operation(open, [&] { return ResultQueries::Files(open); });
}

Summary Result::summary(const std::vector<std::string>& drop) const {
    const State& opened = Open();
    const EmbeddedResult& open = *opened.handle;
    Summary answer = Operation(open, [&] { return ResultQueries::Summary(open, drop); });
    answer.recognized = opened.recognized;
    return answer;
}

History Result::history(const std::string& dataType, int32_t entity, ReadMode mode) const {
    const EmbeddedResult& open = *Open().handle;
    const bool complexRead = ResultQueries::IsComplexRead(open, mode);
    return Operation(open,
                     [&] { return ResultQueries::History(open, dataType, entity, complexRead); });
}

long long Result::readInto(const std::string& dataType, int simulation, ReadMode mode,
                           ReadPart part, const int32_t* ids, std::size_t count, int components,
                           float* out) const {
    const State& opened = Open();
    const EmbeddedResult& open = *opened.handle;
    const AlignedRead::Target target =
        AlignedRead::MakeTarget(dataType, mode, part, components, ids, count, out);
    return Operation(
        open, [&] { return AlignedRead::Fill(open, target, simulation, 0, state->scratch); });
}

std::vector<long long> Result::readRangeInto(const std::string& dataType, int start, int stop,
                                             ReadMode mode, ReadPart part, const int32_t* ids,
                                             std::size_t count, int components, float* out) const {
    const State& opened = Open();
    const EmbeddedResult& open = *opened.handle;
    if (start < 0 || stop < start) {
        throw std::invalid_argument("start and stop must be 0 <= start <= stop");
    }
    const AlignedRead::Target target =
        AlignedRead::MakeTarget(dataType, mode, part, components, ids, count, out);
    return Operation(open, [&] {
        // Blocks of one file, mostly: opened (and its encoding detected)
        // once, closed at the end.
        ResFileSet::Hold hold(*open.Files());
        std::vector<long long> answers;
        for (int index = start; index < stop; ++index) {
            answers.push_back(AlignedRead::Fill(
                open, target, index, static_cast<std::size_t>(index - start), state->scratch));
        }
        return answers;
    });
}

std::vector<PartsFill> Result::readPartsInto(const std::string& dataType, int start, int stop,
                                             ReadMode mode, const std::vector<PartOut>& outs,
                                             const int32_t* ids, std::size_t count) const {
    const EmbeddedResult& open = *Open().handle;
    if (start < 0 || stop < start) {
        throw std::invalid_argument("start and stop must be 0 <= start <= stop");
    }
    if (!std::is_sorted(ids, ids + count)) {
        throw std::invalid_argument("ids must be sorted in increasing order");
    }
    for (const PartOut& out : outs) {
        if (out.part == PartOut::Part::Column && (out.vector || out.column < 0 || out.column > 2)) {
            throw std::invalid_argument("a column part is a scalar of column 0, 1 or 2");
        }
    }
    std::vector<long long> answers(3 * static_cast<std::size_t>(stop - start));
    Operation(open, [&] {
        PartsRead::Fill(open, dataType, mode, start, stop - start, outs, ids, count, answers.data(),
                        state->scratch);
        return 0;
    });
    std::vector<PartsFill> fills(static_cast<std::size_t>(stop - start));
    for (std::size_t s = 0; s < fills.size(); ++s) {
        fills[s] = {answers[3 * s], answers[3 * s + 1], answers[3 * s + 2]};
    }
    return fills;
}

} // namespace kvres
