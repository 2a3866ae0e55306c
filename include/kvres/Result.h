// Result: one .res result set (a file or its numbered series) opened with
// kvres::open, read the way the reader plug-in hands it to a host: its
// subcase, data types, simulations, and any data type's values in any
// simulation. Failures are exceptions of the types in ReadError.h. The
// result keeps its file set and the scanned structure until close() or
// destruction; it reads values only when asked. Movable, not copyable; one
// result is used from one thread at a time.
#pragma once

#include "kvres/ReadError.h"
#include "kvres/ReaderApi.h"
#include "kvres/ResultRecords.h"

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

private:
    struct State;
    explicit Result(std::unique_ptr<State> state);
    const State& Open() const;
    std::unique_ptr<State> state;

    friend Result open(const std::string& path, bool force);
};

} // namespace kvres
