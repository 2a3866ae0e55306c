#include "model/kvresResult.h"

#include "fileio/ResEncoding.h"
#include "model/DataTypeNames.h"
#include "model/LabelValue.h"
#include "model/ResLayout.h"
#include "model/kvresSimulation.h"
#include "model/kvresSubcase.h"

#include <algorithm>
#include <cmath>
#include <limits>
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
    try {
        Scan();
    } catch (...) {
        // Out of memory part-way (in the reader or in a host call): no
        // partial structure is kept.
        ForgetScan();
    }
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

// Reads one series file's simulation table and data-type tables. Nothing is
// created or registered from a value that was not read whole: the table of
// simulations ends at the first entry cut short, and a data-type table ends
// at its first row cut short by the end of the file. Every simulation gets
// every row of its table, but each row of the file is read and registered
// once, however many tables (at one position, rows apart or overlapping in
// any other way) hold it: the directory keeps each table as a window over
// those rows.
void kvresResult::ScanFile(kvresSubcase& subcase, int fileIndex, float& previousValue) {
    if (!fileSet.OpenFile(fileSet.GetSeriesFileName(fileIndex))) {
        return;
    }
    const int64_t fileSize = fileSet.BytesRemaining();
    char header[reslayout::kHeaderTextWidth];
    int32_t simulationCount = 0;
    if (fileSet.ReadBytes(header, reslayout::kTitleWidth) != reslayout::kTitleWidth ||
        fileSet.ReadBytes(header, reslayout::kHeaderTextWidth) != reslayout::kHeaderTextWidth ||
        fileSet.ReadBytes(header, reslayout::kHeaderTextWidth) != reslayout::kHeaderTextWidth ||
        fileSet.ReadInt(&simulationCount) != 1) {
        fileSet.CloseFile();
        return;
    }

    std::vector<kvresSimulation*> found;
    for (int32_t i = 0; i < simulationCount; ++i) {
        char labelField[reslayout::kLabelWidth];
        int32_t tablePosition = 0;
        if (fileSet.ReadBytes(labelField, reslayout::kLabelWidth) != reslayout::kLabelWidth ||
            fileSet.ReadInt(&tablePosition) != 1) {
            break;
        }
        std::string label = reslayout::FieldText(labelField, reslayout::kLabelWidth);
        float value = ParseLabelValue(label.c_str());
        bool stands = previousValue < value || std::isnan(previousValue) || std::isnan(value);
        if (!stands) {
            value = previousValue == kNoLabelValue ? 0.0f : previousValue + 1.0f;
        }
        kvresSimulation* simulation = new kvresSimulation(
            &subcase, value, label.c_str(), tablePosition, fileIndex, dataTypes, fileSet);
        if (simulation == nullptr) {
            // The host's allocator has no memory: the scan cannot finish.
            throw std::bad_alloc();
        }
        subcase.AddSimulation(simulation);
        found.push_back(simulation);
        previousValue = value;
    }

    const int32_t intSize = fileSet.IntItemSize();
    const int32_t rowBytes = reslayout::kNameWidth + 2 * intSize;
    for (kvresSimulation* simulation : found) {
        int32_t typeCount = 0;
        if (!fileSet.SeekTo(simulation->TablePosition()) || fileSet.ReadInt(&typeCount) != 1 ||
            typeCount <= 0) {
            continue;
        }
        // The rows that lie whole in the file; the first one cut short ends
        // the table.
        const int64_t firstRow = int64_t{simulation->TablePosition()} + intSize;
        const int64_t wholeRows = firstRow < fileSize ? (fileSize - firstRow) / rowBytes : 0;
        const int64_t rowCount = std::min<int64_t>(typeCount, wholeRows);
        for (const ScannedTables::Run& run :
             dataTypes.AddTable(simulation, fileIndex, firstRow, rowBytes, rowCount)) {
            ReadTableRows(run, rowBytes);
        }
    }
    fileSet.CloseFile();
}

// Reads the rows of `run` and registers each, in row order, a bounded piece
// of the file at a time.
void kvresResult::ReadTableRows(const ScannedTables::Run& run, int32_t rowBytes) {
    const ScannedTables& tables = dataTypes.Tables();
    const int64_t position = tables.RowPosition(run.rowSet, run.firstRow);
    if (position > std::numeric_limits<int32_t>::max() ||
        !fileSet.SeekTo(static_cast<int32_t>(position))) {
        throw std::runtime_error("a data-type table could not be reached");
    }
    const int64_t rowsPerPiece = std::max<int64_t>(1, int64_t{kTablePieceBytes} / rowBytes);
    std::vector<unsigned char> piece(
        static_cast<std::size_t>(std::min(run.count, rowsPerPiece) * rowBytes));
    const IntEncoding ints = fileSet.GetIntEncoding();
    const bool swap = fileSet.SwapBytes();
    const int32_t intSize = fileSet.IntItemSize();
    for (int64_t done = 0; done < run.count;) {
        const int64_t rows = std::min(run.count - done, rowsPerPiece);
        const int length = static_cast<int>(rows * rowBytes);
        if (fileSet.ReadBytes(piece.data(), length) != length) {
            // The rows were whole when the file was measured: it changed
            // under the scan, which cannot then keep its promise of every row.
            throw std::runtime_error("a data-type table was cut short while it was read");
        }
        for (int64_t r = 0; r < rows; ++r) {
            const unsigned char* row = piece.data() + r * rowBytes;
            const std::string name = datatypenames::NormaliseName(
                reslayout::FieldText(reinterpret_cast<const char*>(row), reslayout::kNameWidth));
            const int32_t kind = DecodeIntItem(row + reslayout::kNameWidth, ints, swap);
            const int32_t block = DecodeIntItem(row + reslayout::kNameWidth + intSize, ints, swap);
            dataTypes.RegisterRow(run, run.firstRow + done + r, name.c_str(), kind, block);
            if (!hasComplexData && reslayout::IsComplexKind(kind)) {
                hasComplexData = true;
            }
        }
        done += rows;
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
