// Result: one .res result set (a file or its numbered series) opened with
// kvres::open, read the way the reader plug-in hands it to a host: its
// subcase, data types, simulations, series files, and any data type's
// values in any simulation; besides, what a dataset needs: the summary in
// one call, one entity's history, and reads into the caller's memory aligned
// with sorted entity ids, a range of simulations at a time. Failures are
// exceptions of the types in ReadError.h (std::invalid_argument for
// arguments that do not fit). The result keeps its file set and the
// scanned structure until close() or destruction; it reads values only when
// asked. Movable, not copyable; one result is used from one thread at a
// time.
#pragma once

#include "kvres/ReadError.h"
#include "kvres/ReaderApi.h"
#include "kvres/ResultRecords.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace kvres {

class Result;

// Opens the result set at `path`. Throws FileError when the file cannot be
// read and, unless `force`, NotRecognizedError when its title is not a .res
// title.
KVRES_READER_API Result open(const std::string& path, bool force = false);

class KVRES_READER_API Result {
public:
    Result(Result&& other) noexcept;
    Result& operator=(Result&& other) noexcept;
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;
    ~Result();

    // The path it was opened with.
    const std::string& path() const;
    // Whether the file's title marked it as a .res result file.
    bool recognized() const;
    bool closed() const;
    // Releases the files and the structure; every call but path(),
    // recognized() and closed() then throws ClosedError.
    void close();

    Subcase subcase() const;
    std::vector<DataType> dataTypes() const;
    std::vector<Simulation> simulations() const;

    // The values of the data type called `dataType` in simulation
    // `simulation` (negative counts from the end, as in Python).
    DataSet read(const std::string& dataType, int simulation, ReadMode mode = ReadMode::Auto) const;
    // The same for a data type and a simulation this result listed.
    DataSet read(const DataType& dataType, const Simulation& simulation,
                 ReadMode mode = ReadMode::Auto) const {
        return read(dataType.name, simulation.index, mode);
    }
    // The entity ids the subcase reports for a data type.
    std::vector<int32_t> entityIds(const std::string& dataType) const;
    // For each data type named: every entity id that any of its blocks holds,
    // in any simulation (the subcase reports the first simulation's block
    // only), each block read as read(dataType, simulation, mode) reads it,
    // and whether some block holds an id twice. All the blocks are read in
    // one pass over the files, ids only.
    std::vector<BlockEntityIds> blockEntityIds(const std::vector<std::string>& dataTypes,
                                               ReadMode mode = ReadMode::Auto) const;

    // The files of the series, their headers read anew.
    std::vector<SeriesFile> files() const;
    // The structure a dataset needs, in one call with the file opened once;
    // the data types named in `drop` are left out (and so are their ids).
    Summary summary(const std::vector<std::string>& drop = {}) const;
    // The values of entity `entity` of a data type in every simulation.
    History history(const std::string& dataType, int32_t entity,
                    ReadMode mode = ReadMode::Auto) const;

    // Reads the block of a data type in a simulation into caller memory,
    // aligned with the `count` sorted `ids`: `out` (count * components
    // floats, twice that for ReadPart::Complex; components 1 or 3) gets
    // `part` of ids[k]'s value at k, NaN where the block has none (a block's
    // repeated id: its first record). Returns how many of the block's
    // entities have ids outside `ids` (left out), or -1 when the simulation
    // has no block of the data type (out all NaN). Throws
    // std::invalid_argument for unsorted ids or a part the block's values
    // do not hold.
    long long readInto(const std::string& dataType, int simulation, ReadMode mode, ReadPart part,
                       const int32_t* ids, std::size_t count, int components, float* out) const;
    // readInto for the simulations start ... stop - 1 in one call, the file
    // held open: simulation start + j goes to the j-th block of `out`
    // (stop - start blocks of readInto's size). Returns readInto's answer
    // for each simulation.
    std::vector<long long> readRangeInto(const std::string& dataType, int start, int stop,
                                         ReadMode mode, ReadPart part, const int32_t* ids,
                                         std::size_t count, int components, float* out) const;
    // Reads the block of a data type in each simulation start ... stop - 1
    // once and puts into every output of `outs` its part of it (PartOut),
    // aligned with the `count` sorted `ids` as readInto does: outs[j].out
    // holds stop - start blocks of count values (three floats each for a
    // vector, two more for Complex). Returns what each simulation gave.
    // Throws std::invalid_argument for unsorted ids or a part the blocks do
    // not hold.
    std::vector<PartsFill> readPartsInto(const std::string& dataType, int start, int stop,
                                         ReadMode mode, const std::vector<PartOut>& outs,
                                         const int32_t* ids, std::size_t count) const;

private:
    struct State;
    explicit Result(std::unique_ptr<State> state);
    const State& Open() const;
    std::unique_ptr<State> state;

    friend Result open(const std::string& path, bool force);
};

} // namespace kvres
