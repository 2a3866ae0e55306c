#include "model/kvresResult.h"

#include "model/DataTypeNames.h"
#include "model/ResLayout.h"
#include "model/StructureReader.h"
#include "model/kvresSimulation.h"
#include "model/kvresSubcase.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDecimalDigit(char c) {
    return c >= '0' && c <= '9';
}

// Whether the decimal number in [begin, end) (digits, an optional '.', an
// optional exponent; already matched) lies below 1 in magnitude. Used only
// for numbers beyond the single range, which are then either tiny or huge;
// the exponent saturates, so no text of any length can overflow it.
bool BelowOne(const char* begin, const char* end) {
    constexpr long long kSaturation = 1000000000LL;
    const char* p = begin;
    long long magnitude = 0; // decimal exponent of the first non-zero digit
    bool found = false;
    long long integerDigits = 0;
    for (; p != end && IsDecimalDigit(*p); ++p) {
        if (found || *p != '0') {
            found = true;
            if (integerDigits < kSaturation) {
                ++integerDigits;
            }
        }
    }
    if (found) {
        magnitude = integerDigits - 1;
    }
    if (p != end && *p == '.') {
        long long zeros = 0;
        for (++p; p != end && IsDecimalDigit(*p); ++p) {
            if (!found) {
                if (*p == '0') {
                    zeros = zeros < kSaturation ? zeros + 1 : zeros;
                } else {
                    found = true;
                    magnitude = -zeros - 1;
                }
            }
        }
    }
    long long exponent = 0;
    if (p != end && (*p == 'e' || *p == 'E')) {
        ++p;
        const bool negative = p != end && *p == '-';
        if (p != end && (*p == '+' || *p == '-')) {
            ++p;
        }
        for (; p != end && IsDecimalDigit(*p); ++p) {
            exponent = exponent < kSaturation ? exponent * 10 + (*p - '0') : exponent;
        }
        exponent = negative ? -exponent : exponent;
    }
    return !found || magnitude + exponent < 0;
}

// A decimal number at the start of `text` in the C locale's notation (leading
// white space, optional sign, digits with an optional '.', optional exponent),
// independent of the process locale and rounded once, straight to the nearest
// single; 0 when there is none.
float ParseNumber(const char* text) {
    const char* begin = text;
    const char* end = text + std::strlen(text);
    while (begin != end && IsCSpace(*begin)) {
        ++begin;
    }
    bool negative = false;
    if (begin != end && (*begin == '+' || *begin == '-')) {
        negative = *begin == '-';
        ++begin;
    }
    if (begin != end && (*begin == '+' || *begin == '-')) {
        return 0.0f;
    }
    float result = 0.0f;
    std::from_chars_result parsed = std::from_chars(begin, end, result);
    if (parsed.ec == std::errc::result_out_of_range) {
        // Too large becomes infinite, too small becomes zero, as strtof does.
        result = BelowOne(begin, parsed.ptr) ? 0.0f : HUGE_VALF;
    } else if (parsed.ec != std::errc()) {
        return 0.0f;
    }
    return negative ? -result : result;
}

} // namespace

float ParseLabelValue(const char* label) {
    if (label == nullptr) {
        return kNoLabelValue;
    }
    if (const char* equals = std::strchr(label, '=')) {
        return ParseNumber(equals + 1);
    }
    if (const char* colon = std::strchr(label, ':')) {
        return ParseNumber(colon + 1);
    }
    const char* blank = std::strrchr(label, ' ');
    const char* candidate = blank != nullptr ? blank + 1 : label;
    char first = *candidate;
    if (!(first == '+' || first == '-' || first == '.' || (first >= '0' && first <= '9'))) {
        return kNoLabelValue;
    }
    return ParseNumber(candidate);
}

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
        kvresSimulation* simulation = new kvresSimulation(&subcase, value, entry.label.c_str(),
                                                          entry.tablePosition, fileIndex);
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
            hasComplexData = hasComplexData || reslayout::IsComplexKind(read.kind);
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
