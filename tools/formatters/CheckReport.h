// CheckReport: what `kvres-tool check` found in a file set, as plain values:
// per series file its encoding, header and simulations, per simulation its
// data-type rows with the state of each block, the warnings and the counts.
// Filled by FileSetChecker, written by CheckFormatter; it holds no file.
#pragma once

#include "model/StructureStatus.h"

#include <cstdint>
#include <string>
#include <vector>

struct CheckReport {
    // The state of a simulation's table or of a row's block: the structure
    // reader's status, with the states check adds; StatusText gives each its
    // one text.
    using Status = StructureStatus;
    static const char* StatusText(Status status) { return StructureStatusText(status); }

    // Per component of a block's records, with --deep.
    struct ComponentRange {
        float minimum = 0.0f;
        float maximum = 0.0f;
        bool any = false; // a finite value was seen
    };
    struct BlockValues {
        bool read = false; // --deep read this block
        std::vector<ComponentRange> components;
        std::int64_t nanCount = 0;
        std::int64_t infiniteCount = 0;
        // Whether the id sequence equals that of the first simulation with
        // this data type; true for that first simulation itself.
        bool idsMatchFirst = true;
    };
    struct DataTypeRow {
        std::string name;     // as stored
        std::string hostName; // as the host sees it after renaming; empty if not presented
        std::int32_t kind = 0;
        std::int32_t blockPosition = 0;
        std::int32_t storedCount = 0;
        std::int64_t bytesNeeded = 0;    // the count word and every stored record
        std::int64_t bytesAvailable = 0; // from the block's position to the end of the file
        std::int64_t wholeRecords = 0;
        std::int64_t endsAt = -1; // cut-short: the byte offset where the file ends
        // Ok to NotPresented, or Repeated: a name met before in the same
        // table, whose block the host does not read (it reads row hostReadsRow)
        Status status = Status::Ok;
        std::int32_t row = 0;           // its row in the simulation's data-type table
        std::int32_t hostReadsRow = -1; // repeated: the row the host reads for this name
        BlockValues values;
    };
    // Rows of a data-type table that are rows of a table listed before: the
    // table begins inside that one. They are listed there only.
    struct SharedRows {
        std::int32_t firstRow = 0;      // in this table
        std::int32_t rows = 0;          // how many, consecutive
        int simulation = 0;             // the simulation whose table lists them
        std::int32_t theirFirstRow = 0; // the first one's row in that table
        // Where they stand in the report: the listing simulation's index in
        // its file and the first one's index in its dataTypes.
        int listedIn = 0;
        std::size_t firstEntry = 0;
    };
    struct Simulation {
        std::string label;
        float sync = 0.0f;
        std::int32_t tablePosition = 0;
        std::int32_t storedRows = 0;
        // Ok to NegativeCount, Shared: the table of an earlier simulation of
        // the same file (sharedWith), whose rows are not listed again, or
        // Overlapping: a table that begins inside tables listed before, whose
        // rows in common (sharedRows) are not listed again
        Status status = Status::Ok;
        int sharedWith = -1;
        std::vector<SharedRows> sharedRows;
        std::vector<DataTypeRow> dataTypes;
    };
    struct Encoding {
        std::string integers;
        std::string reals;
        std::string byteOrder;
        int trial = 0; // 1 to 8, the detection trial that accepted the file
    };
    struct File {
        std::string name;
        std::int64_t size = 0;
        bool opened = false;
        bool detected = false;
        std::string problem; // why it could not be read; empty when it could
        Encoding encoding;
        std::string title, text1, text2;
        std::int32_t simulationCount = 0;
        std::int32_t wholeSimulationEntries = 0;
        std::vector<Simulation> simulations;
    };
    struct Problem {
        std::string where;
        std::string what;
    };

    std::string file;
    bool recognized = false;
    std::vector<File> files;
    std::vector<std::string> warnings;
    std::vector<Problem> problems;
    bool deep = false;

    // Summary counts.
    int simulationCount = 0;
    int blockCount = 0;
    int intactBlocks = 0;
};
