#include "model/kvresResult.h"

#include "fileio/ResKind.h"
#include "fileio/ResLayout.h"
#include "model/DataTypeNames.h"
#include "model/HostBoundary.h"
#include "model/LabelValue.h"
#include "model/StructureReader.h"
#include "model/kvresSimulation.h"
#include "model/kvresSubcase.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

kvresResult::kvresResult(const char* fileName) : rxResult(fileName) {
    // A file that fails the header test still makes a result; it is empty.
    fileSet.OpenFile(fileName != nullptr ? fileName : "");
    hasComplexData = false;
}

kvresResult::~kvresResult() = default;

ResFileSet* kvresResult::GetFileSet() {
    fileSet.Rewind();
    return &fileSet;
}

DataTypeEntry* kvresResult::RegisterBlock(rxSimulation* simulation, const char* name, int32_t kind,
                                          int32_t position, int32_t fileIndex) {
    return &dataTypes.RegisterBlock(simulation, name, kind, position, fileIndex);
}

const DataTypeEntry* kvresResult::FindDataType(const char* name) const {
    return dataTypes.FindDataType(name);
}

rxSubcase* kvresResult::ReadSubcase(int index) {
    if (index != 0 || subcases.empty()) {
        return nullptr;
    }
    return subcases.front();
}

int kvresResult::ReadNumSubcases() {
    // Scanning again would add a second subcase and rename names that are
    // already renamed; the structure is fixed after the first scan.
    if (scanned) {
        return static_cast<int>(subcases.size());
    }
    scanned = true;
    // Out of memory part-way (in the reader or in a host call): no partial
    // structure is kept.
    AtHostBoundary(
        false,
        [&] {
            Scan();
            return true;
        },
        [&] { ForgetScan(); });
    return static_cast<int>(subcases.size());
}

// Builds the subcase and the directory, and attaches the subcase to the
// result only once every file has been read, so that an exception leaves
// nothing half-built behind; the subcase and its simulations go with it.
void kvresResult::Scan() {
    GetFileSet();
    subcases.reserve(subcases.size() + 1);
    kvresSubcase* subcase = new kvresSubcase(this);
    if (subcase == nullptr) {
        throw std::bad_alloc(); // the host's allocator has no memory
    }
    try {
        const int fileCount = fileSet.GetNumSeriesFiles();
        float previousValue = kNoLabelValue;
        for (int fileIndex = 0; fileIndex < fileCount; ++fileIndex) {
            ScanFile(*subcase, fileIndex, previousValue);
        }
        dataTypes.EndTables();
        FinishNames();
    } catch (...) {
        subcase->Release();
        throw;
    }
    subcases.push_back(subcase); // room reserved above: cannot fail
}

// What a result whose file could not be read holds: one subcase without
// simulations, an empty directory, no file open.
void kvresResult::ForgetScan() noexcept {
    fileSet.CloseFile();
    dataTypes.Clear();
    hasComplexData = false;
    if (!subcases.empty()) {
        return;
    }
    kvresSubcase* empty = nullptr;
    try {
        empty = new kvresSubcase(this);
        if (empty != nullptr) {
            subcases.push_back(empty);
        }
    } catch (...) {
        if (empty != nullptr) {
            empty->Release();
        }
    }
}

// Reads one series file's simulation table and data-type tables
// (StructureReader). Nothing is created or registered from a value that was
// not read whole: the table of simulations ends at the first entry cut short,
// and a data-type table ends at its first row cut short by the end of the
// file. Every simulation gets every row of its table, but each row of the
// file is read and registered once, however many tables (at one position,
// rows apart or overlapping in any other way) hold it: the directory keeps
// each table as a window over those rows.
void kvresResult::ScanFile(kvresSubcase& subcase, int fileIndex, float& previousValue) {
    if (!fileSet.OpenFile(fileSet.GetSeriesFileName(fileIndex))) {
        return;
    }
    StructureReader reader(fileSet);
    std::vector<kvresSimulation*> found;
    // The header's copy of the simulation table goes before the tables are read.
    for (const StructureReader::Simulation& entry : reader.ReadHeader().simulations) {
        float value = ParseLabelValue(entry.label.c_str());
        bool stands = previousValue < value || std::isnan(previousValue) || std::isnan(value);
        if (!stands) {
            value = previousValue == kNoLabelValue ? 0.0f : previousValue + 1.0f;
        }
        kvresSimulation* simulation =
            new kvresSimulation(&subcase, value, entry.label.c_str(), entry.tablePosition,
                                fileIndex, dataTypes, fileSet);
        if (simulation == nullptr) {
            // The host's allocator has no memory: the scan cannot finish.
            throw std::bad_alloc();
        }
        subcase.AddSimulation(simulation);
        found.push_back(simulation);
        previousValue = value;
    }

    for (kvresSimulation* simulation : found) {
        const StructureReader::Table table = reader.ReadTable(simulation->TablePosition());
        if (table.status != StructureReader::Status::Ok &&
            table.status != StructureReader::Status::CutShort) {
            continue;
        }
        for (const ScannedTables::Run& run : dataTypes.AddTable(
                 simulation, fileIndex, table.firstRow, reader.RowBytes(), table.wholeRows)) {
            ReadTableRows(reader, run);
        }
    }
    fileSet.CloseFile();
}

// Reads the rows of `run` and registers each, in row order.
void kvresResult::ReadTableRows(StructureReader& reader, const ScannedTables::Run& run) {
    int64_t row = run.firstRow;
    const bool whole = reader.ForEachRow(
        dataTypes.Tables().RowPosition(run.rowSet, row), run.count,
        [&](const StructureReader::Row& read) {
            const std::string name = datatypenames::NormaliseName(read.name);
            dataTypes.RegisterRow(run, row++, name.c_str(), read.kind, read.blockPosition);
            hasComplexData = hasComplexData || ResKind::Of(read.kind).marksComplex;
        });
    if (!whole) {
        // The rows were whole when the file was measured: it changed under
        // the scan, which cannot then keep its promise of every row.
        throw std::runtime_error("a data-type table could not be read whole");
    }
}

// Every registered name in its final form (see DataTypeNames), renamed only
// where that form differs.
void kvresResult::FinishNames() {
    for (std::size_t index = 0; index < dataTypes.Size(); ++index) {
        const DataTypeEntry& entry = dataTypes.At(index);
        std::string name = datatypenames::FinalName(entry.Name(), entry.Kind(), hasComplexData);
        if (name != entry.Name()) {
            dataTypes.Rename(index, std::move(name));
        }
    }
}
