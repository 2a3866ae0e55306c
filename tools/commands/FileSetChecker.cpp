#include "FileSetChecker.h"

#include "HostedResult.h"

#include "fileio/EncodingNames.h"
#include "fileio/NativePath.h"
#include "fileio/ResFileSet.h"
#include "fileio/ResKind.h"
#include "fileio/ResLayout.h"
#include "model/DataTypeNames.h"
#include "model/StructureReader.h"
#include "model/kvresResult.h"

#include <rxSimulation.h>
#include <rxSubcase.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <map>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

// Warnings of one sort beyond this many are counted, not listed.
constexpr int kWarningsPerSort = 50;

struct ResultRelease {
    void operator()(kvresResult* result) const { result->Release(); }
};

CheckReport::Encoding Describe(const ResFileSet& files) {
    CheckReport::Encoding encoding;
    encoding.integers = encodingnames::IntWords(files.GetIntEncoding());
    encoding.reals = encodingnames::RealWords(files.GetRealEncoding());
    encoding.byteOrder = encodingnames::ByteOrderName(files.BigEndian());
    encoding.trial = encodingnames::TrialNumber(files.GetIntEncoding(), files.GetRealEncoding(),
                                                files.BigEndian());
    return encoding;
}

bool Presented(std::int32_t kind) {
    return ResKind::Of(kind).format != ResKind::NotPresented;
}

// The host's view of the same path: its simulations' sync values and the
// directory entry each row's name was registered under.
class HostView {
public:
    explicit HostView(const std::string& path) : result(new kvresResult(path.c_str())) {
        rxSubcase* subcase = result->GetNumSubcases() > 0 ? result->GetSubcase(0) : nullptr;
        for (int i = 0; subcase != nullptr && i < subcase->GetNumSimulations(); ++i) {
            simulations.push_back(subcase->GetSimulation(i));
        }
    }
    const rxSimulation* Simulation(std::size_t index) const {
        return index < simulations.size() ? simulations[index] : nullptr;
    }
    const DataTypeEntry* Entry(const std::string& normalisedName) const {
        return result->DataTypes().FindRegistered(normalisedName);
    }

private:
    std::unique_ptr<kvresResult, ResultRelease> result;
    std::vector<const rxSimulation*> simulations;
};

// Rows already listed in one file, as runs of consecutive rows of one table:
// a table that starts inside another one (a few rows in, as a damaged file
// can have) finds the rows it has in common here instead of listing them
// again. Row starts of one run lie a row apart, so runs are kept per residue
// of their start modulo the row size, where they never overlap.
class ListedRows {
public:
    struct Run {
        int simulation = 0;         // index in the file's simulation list
        std::int32_t firstRow = 0;  // row of that simulation's table
        std::int64_t rows = 0;      // consecutive rows
        std::size_t firstEntry = 0; // index of the first one in its dataTypes
    };
    explicit ListedRows(std::int64_t rowBytes) : rowBytes(rowBytes) {}

    // The run holding the row that starts at `start`, and that row's offset
    // in it; null when no listed row starts there.
    const Run* Find(std::int64_t start, std::int64_t& offset) const {
        const auto residue = runs.find(Residue(start));
        if (residue == runs.end()) {
            return nullptr;
        }
        auto after = residue->second.upper_bound(start);
        if (after == residue->second.begin()) {
            return nullptr;
        }
        const auto& [runStart, run] = *std::prev(after);
        offset = (start - runStart) / rowBytes;
        return offset < run.rows ? &run : nullptr;
    }
    // Row `start` is listed as the next row of the run begun at `runStart`,
    // or begins a run.
    void Add(std::int64_t runStart, std::int64_t start, const Run& first) {
        auto& residue = runs[Residue(start)];
        const auto found = residue.find(runStart);
        if (runStart != start && found != residue.end()) {
            ++found->second.rows;
        } else {
            residue.emplace(start, first);
        }
    }

private:
    std::int64_t Residue(std::int64_t start) const {
        return ((start % rowBytes) + rowBytes) % rowBytes;
    }
    std::int64_t rowBytes;
    std::unordered_map<std::int64_t, std::map<std::int64_t, Run>> runs;
};

// Collects warnings of one sort, listing the first few.
class WarningList {
public:
    WarningList(std::vector<std::string>& warnings, std::string sort)
        : warnings(warnings), sort(std::move(sort)) {}
    ~WarningList() {
        if (count > kWarningsPerSort) {
            warnings.push_back(std::to_string(count - kWarningsPerSort) + " more " + sort);
        }
    }
    void Add(const std::string& text) {
        if (++count <= kWarningsPerSort) {
            warnings.push_back(text);
        }
    }

private:
    std::vector<std::string>& warnings;
    std::string sort;
    int count = 0;
};

// 64-bit FNV-1a over a sequence of ids, to compare id sequences between
// simulations without keeping them.
struct IdDigest {
    std::uint64_t hash = 1469598103934665603ull;
    std::int64_t count = 0;
    void Add(std::int32_t id) {
        std::uint32_t bits = static_cast<std::uint32_t>(id);
        for (int i = 0; i < 4; ++i) {
            hash = (hash ^ (bits & 0xFFu)) * 1099511628211ull;
            bits >>= 8;
        }
        ++count;
    }
    bool operator==(const IdDigest& other) const {
        return hash == other.hash && count == other.count;
    }
};

// Reads the whole records of a block (positioned after its count word) and
// fills `values`; returns the digest of its ids.
IdDigest ReadRecords(ResFileSet& files, std::int64_t records, int realsPerRecord,
                     CheckReport::BlockValues& values) {
    IdDigest digest;
    values.read = true;
    values.components.assign(static_cast<std::size_t>(realsPerRecord), {});
    // Read in bulk, a bounded batch at a time, as the data sets read.
    constexpr int kBatch = 4096;
    std::vector<std::int32_t> ids(kBatch);
    std::vector<float> reals(static_cast<std::size_t>(kBatch) *
                             static_cast<std::size_t>(realsPerRecord));
    float* realsOut = realsPerRecord > 0 ? reals.data() : nullptr;
    for (std::int64_t left = records; left > 0;) {
        const int asked = static_cast<int>(std::min<std::int64_t>(left, kBatch));
        const int got = files.ReadRecords(ids.data(), realsOut, realsPerRecord, asked);
        for (int r = 0; r < got; ++r) {
            digest.Add(ids[static_cast<std::size_t>(r)]);
            for (int c = 0; c < realsPerRecord; ++c) {
                const float value = reals[static_cast<std::size_t>(r * realsPerRecord + c)];
                if (std::isnan(value)) {
                    ++values.nanCount;
                    continue;
                }
                if (std::isinf(value)) {
                    ++values.infiniteCount;
                    continue;
                }
                CheckReport::ComponentRange& range = values.components[static_cast<std::size_t>(c)];
                if (!range.any || value < range.minimum) {
                    range.minimum = value;
                }
                if (!range.any || value > range.maximum) {
                    range.maximum = value;
                }
                range.any = true;
            }
        }
        if (got < asked) {
            break;
        }
        left -= got;
    }
    return digest;
}

struct BlockSpan {
    std::int64_t start = 0;
    std::int64_t end = 0;
    std::string what;
};

} // namespace

bool FileSetChecker::Inspect(const std::string& path, bool deep, CheckReport& report,
                             std::string& error) const {
    using Status = CheckReport::Status;
    report = CheckReport{};
    report.file = path;
    report.deep = deep;

    ResFileSet files;
    if (!files.OpenFile(path)) {
        error = "not recognised: no encoding gives a plausible header";
        return false;
    }
    if (StructureReader(files).ReadHeader().title.rfind(reslayout::kTitleText, 0) != 0) {
        files.CloseFile();
        error = std::string("not recognised: the title is not \"") + reslayout::kTitleText + '"';
        return false;
    }
    files.CloseFile();
    report.recognized = true;

    HostView host(path);
    WarningList overlaps(report.warnings, "overlapping blocks");
    WarningList kinds(report.warnings, "kind differences");
    WarningList counts(report.warnings, "entity count differences");
    // Per host data type: the first kind, entity count and ids seen.
    struct FirstSeen {
        std::int32_t kind = 0;
        std::int32_t count = -1;
        int simulation = -1;
        bool haveIds = false;
        IdDigest ids;
    };
    std::map<const DataTypeEntry*, FirstSeen> firstSeen;
    std::size_t simulationIndex = 0;

    const int fileCount = files.GetNumSeriesFiles();
    for (int fileIndex = 0; fileIndex < fileCount; ++fileIndex) {
        CheckReport::File file;
        file.name = files.GetSeriesFileName(fileIndex);
        if (!files.OpenFile(file.name)) {
            const std::string unreadable = HostedResult::Unreadable(file.name);
            file.opened = unreadable.empty();
            file.problem = file.opened ? "no encoding gives a plausible header" : unreadable;
            file.size = std::max<std::int64_t>(NativePath::FileSize(file.name), 0);
            report.problems.push_back({file.name, file.problem});
            report.files.push_back(std::move(file));
            continue;
        }
        file.opened = true;
        file.detected = true;
        file.encoding = Describe(files);
        StructureReader reader(files);
        file.size = reader.Size();
        const int intSize = files.IntItemSize();
        const int realSize = files.RealItemSize();

        StructureReader::Header header = reader.ReadHeader();
        file.title = std::move(header.title);
        file.text1 = std::move(header.text1);
        file.text2 = std::move(header.text2);
        file.simulationCount = header.simulationCount;
        file.wholeSimulationEntries = static_cast<std::int32_t>(header.simulations.size());
        for (StructureReader::Simulation& entry : header.simulations) {
            CheckReport::Simulation simulation;
            simulation.label = std::move(entry.label);
            simulation.tablePosition = entry.tablePosition;
            file.simulations.push_back(std::move(simulation));
        }
        if (file.wholeSimulationEntries < file.simulationCount) {
            report.problems.push_back({file.name, "the simulation table holds " +
                                                      std::to_string(file.wholeSimulationEntries) +
                                                      " whole entries of " +
                                                      std::to_string(file.simulationCount)});
        }

        std::vector<BlockSpan> spans;
        // Tables already listed in this file, by position: a table shared by
        // many simulations is listed once, and a table that begins inside one
        // already listed lists only the rows it does not share, so the
        // report stays in proportion to the file. Rows listed in distinct
        // bytes are at most size / 39 (the smallest row); tables that overlap
        // at an offset that is not a whole row stop listing beyond that.
        std::map<std::int32_t, int> tablesListed;
        const std::int64_t rowBytes = reader.RowBytes();
        ListedRows listedRows(rowBytes);
        std::int64_t rowBudget = file.size / reslayout::RowBytes(4) + 1;
        // --deep reads each block once per layout, however many rows point at it.
        std::map<std::pair<std::int64_t, int>, std::pair<IdDigest, CheckReport::BlockValues>>
            blocksRead;
        for (std::size_t inFile = 0; inFile < file.simulations.size(); ++inFile) {
            CheckReport::Simulation& simulation = file.simulations[inFile];
            const std::size_t index = simulationIndex++;
            const rxSimulation* hostSimulation = host.Simulation(index);
            simulation.sync = hostSimulation != nullptr ? hostSimulation->GetSyncValue() : 0.0f;
            const std::string where = file.name + ", simulation " + std::to_string(index) + " \"" +
                                      simulation.label + '"';
            const std::int64_t position = simulation.tablePosition;
            const auto listed = tablesListed.find(simulation.tablePosition);
            if (listed != tablesListed.end()) {
                simulation.status = Status::Shared;
                simulation.sharedWith = listed->second;
                continue;
            }
            tablesListed.emplace(simulation.tablePosition, static_cast<int>(index));
            const StructureReader::Table table = reader.ReadTable(position);
            simulation.storedRows = table.storedRows;
            simulation.status = table.status == StructureReader::Status::CutShort
                                    ? Status::Ok // said when the listing reaches the end
                                    : table.status;
            if (simulation.status == Status::Unreachable ||
                simulation.status == Status::CountUnreadable) {
                report.problems.push_back({where, std::string("data-type table ") +
                                                      CheckReport::StatusText(simulation.status) +
                                                      " (position " + std::to_string(position) +
                                                      ")"});
                continue;
            }

            // The rows of this table: runs shared with tables listed before,
            // and rows of its own, read here.
            struct OwnRow {
                std::int32_t row;
                StructureReader::Row read;
            };
            std::vector<OwnRow> rows;
            StructureReader::Row read;
            const auto keep = [&read](const StructureReader::Row& row) { read = row; };
            // First row of each normalised name in this table: the row whose
            // block the host reads for it. Shared runs are walked for their
            // names only when a row of this table's own follows them.
            std::unordered_map<std::string, std::int32_t> firstRowOf;
            std::int32_t namesKnownTo = 0;
            const auto learnNames = [&](std::int32_t upTo) {
                for (const CheckReport::SharedRows& shared : simulation.sharedRows) {
                    const std::int32_t end = shared.firstRow + shared.rows;
                    for (std::int32_t r = std::max(namesKnownTo, shared.firstRow);
                         r < std::min(end, upTo); ++r) {
                        const CheckReport::Simulation& other =
                            file.simulations[static_cast<std::size_t>(shared.listedIn)];
                        const CheckReport::DataTypeRow& row =
                            other.dataTypes[shared.firstEntry +
                                            static_cast<std::size_t>(r - shared.firstRow)];
                        firstRowOf.emplace(datatypenames::NormaliseName(row.name), r);
                    }
                }
                namesKnownTo = std::max(namesKnownTo, upTo);
            };
            std::int64_t runStart = -1; // start of this table's current run of own rows
            for (std::int64_t r = 0; r < simulation.storedRows;) {
                const std::int64_t start = table.firstRow + r * rowBytes;
                std::int64_t offset = 0;
                if (const ListedRows::Run* run = listedRows.Find(start, offset)) {
                    const std::int64_t common =
                        std::min<std::int64_t>(simulation.storedRows - r, run->rows - offset);
                    CheckReport::SharedRows shared;
                    shared.firstRow = static_cast<std::int32_t>(r);
                    shared.rows = static_cast<std::int32_t>(common);
                    shared.listedIn = run->simulation;
                    shared.simulation = static_cast<int>(index - inFile) + run->simulation;
                    shared.theirFirstRow = run->firstRow + static_cast<std::int32_t>(offset);
                    shared.firstEntry = run->firstEntry + static_cast<std::size_t>(offset);
                    simulation.sharedRows.push_back(shared);
                    r += common;
                    runStart = -1;
                    continue;
                }
                if (--rowBudget < 0) {
                    simulation.status = Status::Overlapping;
                    if (rowBudget == -1) {
                        report.problems.push_back(
                            {where, "data-type tables overlap: more rows than the file can "
                                    "hold apart; listing stopped"});
                    }
                    break;
                }
                if (r >= table.wholeRows || !reader.ForEachRow(start, 1, keep)) {
                    simulation.status = Status::CutShort;
                    report.problems.push_back(
                        {where, "data-type table cut short: " + std::to_string(r) +
                                    " whole rows of " + std::to_string(simulation.storedRows)});
                    break;
                }
                ListedRows::Run first;
                first.simulation = static_cast<int>(inFile);
                first.firstRow = static_cast<std::int32_t>(r);
                first.rows = 1;
                first.firstEntry = rows.size();
                listedRows.Add(runStart, start, first);
                if (runStart < 0) {
                    runStart = start;
                }
                rows.push_back({static_cast<std::int32_t>(r), std::move(read)});
                ++r;
            }
            if (!simulation.sharedRows.empty() && simulation.status == Status::Ok) {
                simulation.status = Status::Overlapping;
            }

            for (const OwnRow& own : rows) {
                const std::string& name = own.read.name;
                const std::int32_t kind = own.read.kind;
                const std::int32_t blockPosition = own.read.blockPosition;
                CheckReport::DataTypeRow row;
                row.name = name;
                row.row = own.row;
                row.kind = kind;
                row.blockPosition = blockPosition;
                const std::string normalised = datatypenames::NormaliseName(name);
                const DataTypeEntry* entry = host.Entry(normalised);
                row.hostName = entry != nullptr ? entry->Name() : "";
                learnNames(own.row);
                const auto [firstRow, isFirst] = firstRowOf.emplace(normalised, own.row);
                if (!isFirst) {
                    // The directory keeps the first location of a simulation.
                    row.status = Status::Repeated;
                    row.hostReadsRow = firstRow->second;
                    simulation.dataTypes.push_back(std::move(row));
                    continue;
                }
                if (!Presented(kind)) {
                    row.status = Status::NotPresented;
                    row.hostName.clear();
                    simulation.dataTypes.push_back(std::move(row));
                    continue;
                }
                ++report.blockCount;
                // The host reads every block of a data type with the layout
                // of its first kind.
                const std::int32_t readKind =
                    entry != nullptr && Presented(entry->Kind()) ? entry->Kind() : kind;
                const StructureReader::Block block = reader.ReadBlock(
                    blockPosition, reslayout::RecordBytes(ResKind::Of(readKind).realsPerRecord,
                                                          intSize, realSize));
                row.status = block.status;
                row.storedCount = block.storedCount;
                row.bytesAvailable = block.bytesAvailable;
                row.bytesNeeded = block.bytesNeeded;
                row.wholeRecords = block.wholeRecords;
                const bool counted = row.status == Status::Ok || row.status == Status::CutShort;
                if (row.status == Status::CutShort) {
                    row.endsAt = file.size;
                }
                if (counted) {
                    spans.push_back({blockPosition,
                                     blockPosition + std::min(row.bytesNeeded, row.bytesAvailable),
                                     "'" + name + "' of simulation " + std::to_string(index)});
                }

                if (row.status == Status::Ok) {
                    ++report.intactBlocks;
                } else {
                    std::string what =
                        "block of '" + name + "' " + CheckReport::StatusText(row.status);
                    if (row.status == Status::CutShort) {
                        what += ": " + std::to_string(row.wholeRecords) + " whole records of " +
                                std::to_string(row.storedCount) + ", the file ends at byte " +
                                std::to_string(row.endsAt);
                    } else {
                        what += " (position " + std::to_string(blockPosition) + ")";
                    }
                    report.problems.push_back({where, what});
                }

                IdDigest ids;
                if (deep && counted) {
                    const int reals = ResKind::Of(readKind).realsPerRecord;
                    const auto key = std::make_pair(std::int64_t{blockPosition}, reals);
                    auto read = blocksRead.find(key);
                    if (read == blocksRead.end()) {
                        CheckReport::BlockValues values;
                        const IdDigest digest = ReadRecords(files, row.wholeRecords, reals, values);
                        read = blocksRead.emplace(key, std::make_pair(digest, values)).first;
                    }
                    ids = read->second.first;
                    row.values = read->second.second;
                }
                if (entry != nullptr) {
                    auto [seen, first] = firstSeen.try_emplace(entry);
                    FirstSeen& earlier = seen->second;
                    if (first) {
                        earlier.kind = kind;
                        earlier.simulation = static_cast<int>(index);
                    } else if (earlier.kind != kind) {
                        kinds.Add("data type '" + entry->Name() + "' has kind " +
                                  std::to_string(kind) + " in simulation " + std::to_string(index) +
                                  " but kind " + std::to_string(earlier.kind) + " in simulation " +
                                  std::to_string(earlier.simulation) + " (the first one holds)");
                    }
                    if (counted && earlier.count < 0) {
                        earlier.count = row.storedCount;
                    } else if (counted && earlier.count != row.storedCount) {
                        counts.Add("data type '" + entry->Name() + "' has " +
                                   std::to_string(row.storedCount) + " entities in simulation " +
                                   std::to_string(index) + " but " + std::to_string(earlier.count) +
                                   " before");
                    }
                    if (row.values.read) {
                        if (!earlier.haveIds) {
                            earlier.haveIds = true;
                            earlier.ids = ids;
                        } else {
                            row.values.idsMatchFirst = earlier.ids == ids;
                        }
                    }
                }
                simulation.dataTypes.push_back(std::move(row));
            }
        }
        files.CloseFile();

        std::sort(spans.begin(), spans.end(),
                  [](const BlockSpan& a, const BlockSpan& b) { return a.start < b.start; });
        std::size_t widest = 0;
        for (std::size_t i = 1; i < spans.size(); ++i) {
            if (spans[i].start < spans[widest].end) {
                overlaps.Add("in " + file.name + " blocks overlap: " + spans[widest].what +
                             " (bytes " + std::to_string(spans[widest].start) + " to " +
                             std::to_string(spans[widest].end) + ") and " + spans[i].what +
                             " (from byte " + std::to_string(spans[i].start) + ")");
            }
            if (spans[i].end > spans[widest].end) {
                widest = i;
            }
        }
        report.simulationCount += static_cast<int>(file.simulations.size());
        report.files.push_back(std::move(file));
    }
    return true;
}
