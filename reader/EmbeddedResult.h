// EmbeddedResult: one result opened the way a host opens it, with the
// plug-in's code built into this library (the C++ API's and the Python
// module's road; hostkit's HostedResult loads the plug-in at run time
// instead). The plug-in's entry point fills a reader record; its identification callback
// judges the file and its creation callback makes the result with the host
// library's default allocator. The handle then runs the structure scan and
// the subcase's ReadDataTypes once, and holds the result's one reference
// until Close or destruction. It answers where a data type's block lies in a
// simulation by the same rules the simulation's data-set creation follows,
// and the entity ids through the subcase's own ReadEntityIDs. It reads no
// block values itself (BlockValues does) and knows nothing of Python.
// Unlike the host's road, it has its file set keep the file last read open
// and record each series file's identity at the scan, refusing a file found
// changed at a later read (ResFileSet::KeepFilesOpen): every operation of
// the C++ API and the Python module runs between BeginOperation and
// EndOperation, which throws FileChanged then.
#pragma once

#include "model/DataSetShape.h"

#include "kvres/ResultRecords.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

class ResFileSet;
class kvresResult;
class rxDataType;
class rxSimulation;
class rxSubcase;

class EmbeddedResult {
public:
    // Where one data type's block lies in one simulation and how its data
    // set reads it.
    struct Block {
        int32_t fileIndex = 0;
        int32_t position = 0;
        DataSetShape shape;
    };

    // One file of the result's series: its name, the header's texts (up to
    // their first NUL) and the encoding detected for it (empty when none was).
    using SeriesFile = kvres::SeriesFile;

    // Asks the identification callback about `path`; true when recognised.
    static bool Identify(const std::string& path);
    // Why the identification declines `path`, in words true for the file:
    // that it cannot be read, is empty, is too short for the title or
    // begins otherwise.
    static std::string WhyNotRecognized(const std::string& path);
    // Creates and scans the result of `path`. Throws std::bad_alloc when the
    // creation callback gives no result.
    explicit EmbeddedResult(const std::string& path);
    ~EmbeddedResult();
    EmbeddedResult(const EmbeddedResult&) = delete;
    EmbeddedResult& operator=(const EmbeddedResult&) = delete;

    // A series file is no longer the file the result was opened on.
    class FileChanged : public std::runtime_error {
    public:
        using std::runtime_error::runtime_error;
    };
    // Forgets a changed file an earlier operation met.
    void BeginOperation() const;
    // Throws FileChanged when an open since BeginOperation found a series
    // file replaced, changed or gone (or reached another file through a
    // relative name): what was read then is not the file's.
    void EndOperation() const;

    // Releases the result; everything below then answers as for an empty one.
    void Close();
    bool IsOpen() const { return result != nullptr; }

    // The first subcase, or null.
    rxSubcase* Subcase() const { return subcase; }
    // The subcase's data types, in the order ReadDataTypes made them.
    const std::vector<rxDataType*>& DataTypes() const { return dataTypes; }
    // The first data type called exactly `name`, or null; then `missing`, if
    // given, says so and names the data types there are.
    rxDataType* FindDataType(const std::string& name, std::string* missing = nullptr) const;
    // The simulation `given` names (a negative one counts from the end), or
    // -1 when there is none; then `outOfRange` says so.
    int SimulationIndex(long long given, std::string& outOfRange) const;
    int SimulationCount() const;
    rxSimulation* Simulation(int index) const;
    // Whether the subcase says its results are complex (type 1).
    bool IsComplex() const;

    // The block of `dataType` in `simulation`: false when the simulation has
    // none, or the data type's kind presents no data set.
    bool FindBlock(const rxDataType& dataType, const rxSimulation* simulation, Block& block) const;
    // The block of `dataType` in every simulation, by simulation index, found
    // in one pass over the data type's directory entry (the same answers as
    // FindBlock for each); a simulation without one has a shape of form None.
    std::vector<Block> BlocksOf(const rxDataType& dataType) const;
    // The kind code of the directory entry behind a data type, -1 when none.
    int32_t Kind(const rxDataType& dataType) const;
    // Every file of the series, its header read anew.
    std::vector<SeriesFile> SeriesFiles() const;
    // The file-set reader (at no particular position: every read opens or
    // positions its file first); null when closed.
    ResFileSet* Files() const;
    // What the subcase's ReadEntityIDs hands its receiver.
    std::vector<int32_t> EntityIds(rxDataType& dataType) const;

private:
    kvresResult* result = nullptr;
    rxSubcase* subcase = nullptr;
    std::vector<rxDataType*> dataTypes;
};
