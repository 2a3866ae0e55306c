#include "kvres/Writer.h"

#include "OutputFile.h"
#include "RecordEncoder.h"
#include "SeriesCommit.h"

#include "fileio/EncodingNames.h"
#include "fileio/ErrorText.h"
#include "fileio/ResKind.h"
#include "fileio/ResLayout.h"
#include "fileio/SeriesNames.h"
#include "model/DataSetShape.h"
#include "model/DataTypeNames.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <system_error>
#include <vector>

namespace kvres {

const char* EncodingName(Encoding encoding) {
    const int index = static_cast<int>(encoding);
    return encodingnames::kEntries[index >= 0 && index < encodingnames::kCount ? index : 0].name;
}

bool ParseEncoding(const std::string& name, Encoding& encoding) {
    const int index = encodingnames::Find(name);
    if (index < 0) {
        return false;
    }
    encoding = static_cast<Encoding>(index);
    return true;
}

namespace {

namespace fs = std::filesystem;
using detail::OutputFile;
using detail::RecordEncoder;
using detail::SeriesCommit;

constexpr int kMaxSimulationsPerFile = reslayout::kMaxSimulations;
constexpr int kMaxSeriesFiles = 11; // run.res, run0.res ... run9.res
// Records are encoded into a staging piece of this size and written a piece
// at a time. Each write call costs the kernel a fixed amount, so pieces are
// large; smaller ones (that stay in the processor's cache) measured slower.
constexpr std::size_t kPieceRecordBytes = 1024 * 1024;
// Records of at least this many bytes are allocated in the file at once
// before they are written: one allocation, not one per page as the writes
// arrive (about a fifth of the time of an 8 MB block on ext4).
constexpr std::size_t kReserveBytes = 1024 * 1024;

std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

// The characters of a UTF-8 text: its bytes less its continuation bytes.
std::size_t Characters(const std::string& text) {
    std::size_t count = 0;
    for (const char c : text) {
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return count;
}

// A text for a fixed field of `width` bytes: at most `width` bytes (a text
// that fills the field has no closing NUL, as the layout allows) and no NUL,
// which would end it early.
void CheckText(const std::string& text, int width, const std::string& what) {
    if (text.find('\0') != std::string::npos) {
        throw InputError(what + " " + Quoted(text.substr(0, text.find('\0'))) +
                         " holds a NUL character");
    }
    if (text.size() > static_cast<std::size_t>(width)) {
        const std::size_t characters = Characters(text);
        throw InputError(what + " " + Quoted(text) + " has " + std::to_string(characters) +
                         " characters" +
                         (characters == text.size()
                              ? "; its field holds " + std::to_string(width)
                              : ", " + std::to_string(text.size()) + " bytes; its field holds " +
                                    std::to_string(width) + " bytes"));
    }
}

void PutText(std::vector<unsigned char>& bytes, const std::string& text, int width) {
    const std::size_t used = std::min(text.size(), static_cast<std::size_t>(width));
    bytes.insert(bytes.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(used));
    bytes.insert(bytes.end(), static_cast<std::size_t>(width) - used, 0);
}

// Records as the caller holds them: record i's id at ids + i * idStride
// bytes and its reals side by side at values + i * valueStride bytes.
struct RecordSource {
    const unsigned char* ids;
    const unsigned char* values;
    std::size_t idStride;
    std::size_t valueStride;

    const std::int32_t* Ids(std::size_t record) const {
        return reinterpret_cast<const std::int32_t*>(ids + record * idStride);
    }
    const float* Values(std::size_t record) const {
        return reinterpret_cast<const float*>(values + record * valueStride);
    }
};

// The codes of the kinds that mark a result complex, in words: "4, 6 and 8".
std::string ComplexKindCodes() {
    std::vector<std::string> codes;
    for (std::int32_t code = 0; code < ResKind::kCodes; ++code) {
        if (ResKind::Of(code).marksComplex) {
            codes.push_back(std::to_string(code));
        }
    }
    std::string text;
    for (std::size_t i = 0; i < codes.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == codes.size() ? " and " : ", ") + codes[i];
    }
    return text;
}

using datatypenames::EndsWith;
using datatypenames::HostNames;
constexpr const char* kComplexMark = ResKind::kComplexResultMark;

// A data type as the reader registers it: the kind of its first block, the
// simulation that block is in, and the name it was given.
struct Registered {
    int kind = 0;
    int simulation = 0;
    std::string given;
};

struct Row {
    std::string name;
    std::int32_t kind = 0;
    std::int64_t blockOffset = 0; // from the start of the file's data
};

struct Simulation {
    std::string label;
    int index = 0;                // over the whole series
    std::int64_t dataStart = 0;   // where its first block lies, from the start of the data
    std::int64_t tableOffset = 0; // its data-type table, once written
    std::vector<Row> rows;
};

// One file of the series being written. Its data (blocks and data-type
// tables) begins after the room reserved for `reserved` simulation entries;
// Finish moves it when the file holds another number.
struct Part {
    std::unique_ptr<OutputFile> file;
    int reserved = 1;
    std::int64_t dataEnd = 0;
    std::vector<Simulation> simulations;
};

} // namespace

class Writer::State {
public:
    State(const std::string& path, const WriterOptions& options, std::int64_t maxFileBytes)
        : path(path), options(options), encoder(options.encoding), maxFileBytes(maxFileBytes) {
        CheckText(options.title, reslayout::kHeaderTextWidth, "title");
        CheckText(options.subtitle, reslayout::kHeaderTextWidth, "subtitle");
        if (options.expectedSimulations < 0) {
            throw InputError("expected simulations must be 0 or more, not " +
                             std::to_string(options.expectedSimulations));
        }
        const std::int64_t smallest = HeaderBytes() + EntryBytes() + encoder.IntSize();
        if (maxFileBytes < smallest || maxFileBytes > kMaxFileBytes) {
            throw InputError("a file limit of " + std::to_string(maxFileBytes) +
                             " bytes is outside " + std::to_string(smallest) + " to " +
                             std::to_string(kMaxFileBytes));
        }
        if (path.empty()) {
            throw InputError("no file name given");
        }
        std::error_code error;
        if (fs::is_directory(fs::path(path), error)) {
            throw InputError(Quoted(path) + " is a folder");
        }
        SeriesCommit::Recover(path);
        CheckUnasked();
        OpenPart();
    }

    // --- layout -----------------------------------------------------------

    std::int64_t HeaderBytes() const { return reslayout::HeaderBytes(encoder.IntSize()); }
    std::int64_t EntryBytes() const { return reslayout::EntryBytes(encoder.IntSize()); }
    std::int64_t RowBytes() const { return reslayout::RowBytes(encoder.IntSize()); }
    std::int64_t TableBytes(std::size_t rows) const {
        return encoder.IntSize() + static_cast<std::int64_t>(rows) * RowBytes();
    }
    std::int64_t DataBase(const Part& part) const {
        return HeaderBytes() + part.reserved * EntryBytes();
    }
    // The size the current file would have with `extraData` more bytes of
    // data and the open simulation's table holding `extraRows` more rows.
    std::int64_t SizeWith(std::int64_t extraData, std::size_t extraRows) const {
        const Part& part = parts.back();
        std::int64_t size = HeaderBytes() +
                            static_cast<std::int64_t>(part.simulations.size()) * EntryBytes() +
                            part.dataEnd + extraData;
        if (simulationOpen) {
            size += TableBytes(part.simulations.back().rows.size() + extraRows);
        }
        return size;
    }

    // --- state ------------------------------------------------------------

    void CheckUsable() const {
        if (closed) {
            throw InputError(OperationOnClosed("kvres::Writer of " + Quoted(path)));
        }
        if (!failure.empty()) {
            throw WriteError("the writer of " + Quoted(path) + " failed earlier: " + failure);
        }
    }

    // Runs `work`; a WriteError that is not an InputError ends the writer.
    template <class Work> void Guard(Work&& work) {
        CheckUsable();
        try {
            work();
        } catch (const InputError&) {
            throw;
        } catch (const WriteError& error) {
            failure = error.what();
            Discard();
            throw;
        } catch (const std::exception& error) {
            failure = error.what();
            Discard();
            throw;
        }
    }

    std::string Where() const {
        const Simulation& simulation = parts.back().simulations.back();
        return "simulation " + std::to_string(simulation.index) + " " + Quoted(simulation.label);
    }

    // --- files ------------------------------------------------------------

    std::string PartPath(int index) const {
        if (index == 0) {
            return path;
        }
        const fs::path target(path);
        std::string stem;
        std::string extension;
        SplitFileName(target.filename().string(), stem, extension);
        return (target.parent_path() / (stem + std::to_string(index - 1) + extension)).string();
    }

    // Starts the next file of the series; `why` says why the last one ended.
    void OpenPart(const std::string& why = std::string()) {
        const int index = static_cast<int>(parts.size());
        const std::string name = fs::path(path).filename().string();
        if (index > 0 && NamesSingleFile(name)) {
            throw WriteError("the result does not fit one file (" + why + "), and " + Quoted(path) +
                             " cannot continue in a series: a name ending in a digit is read "
                             "on its own");
        }
        if (index > 0 && !name.empty() && name[0] == '.') {
            throw WriteError("the result does not fit one file (" + why + "), and " + Quoted(path) +
                             " cannot continue in a series: a reader skips the hidden files "
                             "of a series");
        }
        if (index >= kMaxSeriesFiles) {
            throw WriteError("the series of " + Quoted(path) +
                             " is full: " + std::to_string(kMaxSeriesFiles) + " files of at most " +
                             std::to_string(maxFileBytes) + " bytes each");
        }
        Part part;
        const int remaining = options.expectedSimulations - simulationCount;
        part.reserved = std::max(1, std::min(remaining, kMaxSimulationsPerFile));
        // Never reserve more than the file may hold.
        while (part.reserved > 1 &&
               HeaderBytes() + part.reserved * EntryBytes() > maxFileBytes / 2) {
            part.reserved /= 2;
        }
        part.file = std::make_unique<OutputFile>(PartPath(index));
        parts.push_back(std::move(part));
    }

    void WriteData(Part& part, std::int64_t offset, const void* bytes, std::size_t length) {
        part.file->WriteAt(DataBase(part) + offset, bytes, length);
    }

    void WriteTable(Part& part, Simulation& simulation, std::int64_t base) {
        std::vector<unsigned char> bytes(
            static_cast<std::size_t>(TableBytes(simulation.rows.size())));
        unsigned char* at = bytes.data();
        encoder.PutInt(at, static_cast<std::int32_t>(simulation.rows.size()));
        at += encoder.IntSize();
        for (const Row& row : simulation.rows) {
            std::memset(at, 0, reslayout::kNameWidth);
            std::memcpy(at, row.name.data(), row.name.size());
            at += reslayout::kNameWidth;
            encoder.PutInt(at, row.kind);
            at += encoder.IntSize();
            encoder.PutInt(at, static_cast<std::int32_t>(base + row.blockOffset));
            at += encoder.IntSize();
        }
        part.file->WriteAt(DataBase(part) + simulation.tableOffset, bytes.data(), bytes.size());
    }

    // Ends the open simulation: its table follows its blocks.
    void EndSimulation() {
        if (!simulationOpen) {
            return;
        }
        Part& part = parts.back();
        Simulation& simulation = part.simulations.back();
        simulation.tableOffset = part.dataEnd;
        part.dataEnd += TableBytes(simulation.rows.size());
        WriteTable(part, simulation, DataBase(part));
        simulationOpen = false;
    }

    // Writes the header and the simulation table, moving the data when the
    // file holds another number of simulations than was reserved, and cuts
    // the file at its end.
    void FinishPart(Part& part) {
        const int count = static_cast<int>(part.simulations.size());
        const std::int64_t base = HeaderBytes() + count * EntryBytes();
        if (count != part.reserved) {
            part.file->Move(DataBase(part), base, part.dataEnd);
            part.reserved = count;
            for (Simulation& simulation : part.simulations) {
                WriteTable(part, simulation, base);
            }
        }
        std::vector<unsigned char> head;
        head.reserve(static_cast<std::size_t>(base));
        PutText(head, reslayout::kTitleText, reslayout::kTitleWidth);
        PutText(head, options.title, reslayout::kHeaderTextWidth);
        PutText(head, options.subtitle, reslayout::kHeaderTextWidth);
        unsigned char word[8];
        encoder.PutInt(word, count);
        head.insert(head.end(), word, word + encoder.IntSize());
        for (const Simulation& simulation : part.simulations) {
            PutText(head, simulation.label, reslayout::kLabelWidth);
            encoder.PutInt(word, static_cast<std::int32_t>(base + simulation.tableOffset));
            head.insert(head.end(), word, word + encoder.IntSize());
        }
        part.file->WriteAt(0, head.data(), head.size());
        part.file->Truncate(base + part.dataEnd);
        part.file->Finish(options.durable);
        // Only the names are needed from here on.
        for (Simulation& simulation : part.simulations) {
            simulation.rows.clear();
            simulation.rows.shrink_to_fit();
        }
    }

    // The open simulation, with the blocks it has so far, moves to a new
    // file; the current file is finished without it.
    void MoveSimulationToNextFile() {
        Part& old = parts.back();
        Simulation moving = std::move(old.simulations.back());
        old.simulations.pop_back();
        const std::int64_t start = moving.dataStart;
        const std::int64_t length = old.dataEnd - start;
        old.dataEnd = start;
        // The new file reserves room for the moving simulation too.
        --simulationCount;
        OpenPart("a file holds at most " + std::to_string(maxFileBytes) + " bytes");
        ++simulationCount;
        Part& next = parts.back();
        Part& previous = parts[parts.size() - 2];
        previous.file->CopyTo(DataBase(previous) + start, *next.file, DataBase(next), length);
        for (Row& row : moving.rows) {
            row.blockOffset -= start;
        }
        moving.dataStart = 0;
        next.dataEnd = length;
        next.simulations.push_back(std::move(moving));
        FinishPart(previous);
    }

    // --- operations -------------------------------------------------------

    void BeginSimulation(const std::string& label) {
        CheckText(label, reslayout::kLabelWidth, "label");
        if (blockOpen) {
            throw InputError(UnfinishedBlock());
        }
        Guard([&] {
            EndSimulation();
            Part* part = &parts.back();
            const bool full = static_cast<int>(part->simulations.size()) >= kMaxSimulationsPerFile;
            if (!part->simulations.empty() &&
                (full || SizeWith(EntryBytes() + TableBytes(0), 0) > maxFileBytes)) {
                FinishPart(*part);
                OpenPart(full ? "a file holds at most " + std::to_string(kMaxSimulationsPerFile) +
                                    " simulations"
                              : "a file holds at most " + std::to_string(maxFileBytes) + " bytes");
                part = &parts.back();
            }
            Simulation simulation;
            simulation.label = label;
            simulation.index = simulationCount;
            simulation.dataStart = part->dataEnd;
            part->simulations.push_back(std::move(simulation));
            ++simulationCount;
            simulationOpen = true;
        });
    }

    // The stored name that a reader shows as `name` for a block of `kind`:
    // a complex vector's name keeps four characters more (" (c)"), and a
    // real vector named with the complex result's mark ("_NC") is stored
    // without it. Refuses a name that no stored name shows as given.
    std::string StoredName(const std::string& name, int kind) const {
        CheckText(name, reslayout::kNameWidth - 1, "data type name");
        const std::string stored = datatypenames::StoredCandidate(name, kind, true);
        const ResKind& shape = ResKind::Of(kind);
        if (stored.size() >= static_cast<std::size_t>(reslayout::kNameWidth)) {
            throw InputError("data type name " + Quoted(name) + " of kind " + std::to_string(kind) +
                             " is stored as " + Quoted(stored) + ", " +
                             std::to_string(stored.size()) + " characters; its field holds " +
                             std::to_string(reslayout::kNameWidth - 1));
        }
        // Whether the mark is due is judged apart (CheckComplexMarks).
        if (!datatypenames::StoredName(name, kind, datatypenames::Marked(name, kind))) {
            const std::string shown =
                datatypenames::FinalName(datatypenames::NormaliseName(stored), kind, false);
            throw InputError("data type " + Quoted(name) + " of kind " + std::to_string(kind) +
                             " would read back as " + Quoted(shown) +
                             ": give the name a reader shows, or store names as given");
        }
        if (ResKind::Of(kind).marksComplex && shape.format == ResKind::Vector &&
            DataSetShape::ReadsMagnitudesOnly(name.c_str())) {
            throw InputError("data type " + Quoted(name) + " of kind " + std::to_string(kind) +
                             ": a reader reads a complex vector whose name holds \"_NC\" as "
                             "magnitudes only; choose another name");
        }
        return stored;
    }

    // Refuses a second data type that a host would show under a name another
    // one shows, judged with the complex-data mark the result will have.
    void CheckHostNames(const std::string& name, const std::string& registeredName,
                        int kind) const {
        const bool complexAfter = complexData || ResKind::Of(kind).marksComplex;
        const std::vector<std::string> own = HostNames(registeredName, kind, complexAfter);
        const auto clash = [&](const std::string& otherName, const Registered& other,
                               const std::vector<std::string>& names, const std::string& firstName,
                               int firstKind) {
            for (const std::string& shown : HostNames(otherName, other.kind, complexAfter)) {
                if (std::find(names.begin(), names.end(), shown) != names.end()) {
                    throw InputError("data type " + Quoted(firstName) + " (kind " +
                                     std::to_string(firstKind) + ") would show as " +
                                     Quoted(shown) + ", as data type " + Quoted(other.given) +
                                     " (kind " + std::to_string(other.kind) +
                                     ") does; a host would take them for one");
                }
            }
        };
        for (const auto& [otherName, other] : registered) {
            clash(otherName, other, own, name, kind);
        }
        if (complexAfter && !complexData) {
            // The complex-data mark renames the real vectors already there.
            for (auto a = registered.begin(); a != registered.end(); ++a) {
                const std::vector<std::string> names = HostNames(a->first, a->second.kind, true);
                for (auto b = std::next(a); b != registered.end(); ++b) {
                    clash(b->first, b->second, names, a->second.given, a->second.kind);
                }
            }
        }
    }

    // A real vector's shown name carries the complex result's mark exactly
    // when the result holds complex data: a name given with the mark needs
    // complex data (checked at Close), one without it refuses it.
    void CheckComplexMarks(const std::string& name, int kind) const {
        const ResKind& shape = ResKind::Of(kind);
        const std::string mark = shape.complexResultSuffix;
        if (!mark.empty()) {
            if (EndsWith(name, mark)) {
                // Judged at Close, when the result's kinds are known.
            } else if (complexData) {
                throw InputError("data type " + Quoted(name) + " of kind " + std::to_string(kind) +
                                 " would read back as " + Quoted(name + mark) +
                                 " in a result with complex data: give that name");
            }
        }
        if (shape.marksComplex && !complexData && !plainName.empty()) {
            throw InputError("data type " + Quoted(name) + " of kind " + std::to_string(kind) +
                             " makes the result hold complex data, so data type " +
                             Quoted(plainName) + " would read back as " +
                             Quoted(plainName + kComplexMark) +
                             "; give real vectors the name a reader shows");
        }
    }

    void BeginBlock(const std::string& name, int kind, std::int64_t count, bool storedName) {
        CheckUsable();
        if (!simulationOpen) {
            throw InputError("block " + Quoted(name) + " comes before any simulation");
        }
        if (blockOpen) {
            throw InputError(UnfinishedBlock());
        }
        if (!ResKind::IsCode(kind)) {
            throw InputError("data type " + Quoted(name) + " has kind " + std::to_string(kind) +
                             "; kinds are 0 to " + std::to_string(ResKind::kCodes - 1));
        }
        if (count < 0 || count > 2147483647) {
            throw InputError("data type " + Quoted(name) + " has " + std::to_string(count) +
                             " records; a block holds 0 to 2147483647");
        }
        const std::string stored = storedName ? name : StoredName(name, kind);
        CheckText(stored, reslayout::kNameWidth - 1, "data type name");
        const std::string registeredName = datatypenames::NormaliseName(stored);
        Simulation& simulation = parts.back().simulations.back();
        for (const Row& row : simulation.rows) {
            if (datatypenames::NormaliseName(row.name) == registeredName) {
                throw InputError(
                    "data type " + Quoted(name) + " is already in " + Where() +
                    (row.name == stored ? std::string() : " (as " + Quoted(row.name) + ")") +
                    "; a reader would read only the first");
            }
        }
        const auto known = registered.find(registeredName);
        if (known != registered.end() && known->second.kind != kind) {
            throw InputError("data type " + Quoted(name) + " has kind " + std::to_string(kind) +
                             " in " + Where() + " but kind " + std::to_string(known->second.kind) +
                             " in simulation " + std::to_string(known->second.simulation) +
                             (known->second.given == name
                                  ? std::string()
                                  : " (as " + Quoted(known->second.given) + ")") +
                             "; a data type keeps one kind");
        }
        if (known == registered.end()) {
            CheckHostNames(name, registeredName, kind);
        }
        if (!storedName) {
            CheckComplexMarks(name, kind);
        }
        const int reals = RealsPerRecord(kind);
        const std::int64_t blockBytes =
            encoder.IntSize() + count * static_cast<std::int64_t>(encoder.RecordBytes(reals));
        Guard([&] {
            if (SizeWith(blockBytes, 1) > maxFileBytes) {
                if (parts.back().simulations.size() > 1) {
                    MoveSimulationToNextFile();
                }
                if (SizeWith(blockBytes, 1) > maxFileBytes) {
                    throw WriteError(Where() + " does not fit one file: with data type " +
                                     Quoted(name) + " (" + std::to_string(count) +
                                     " records) it needs " +
                                     std::to_string(SizeWith(blockBytes, 1)) +
                                     " bytes, a file holds " + std::to_string(maxFileBytes));
                }
            }
            Part& part = parts.back();
            block = Row{stored, kind, part.dataEnd};
            blockGiven = name;
            blockStoredName = storedName;
            blockReals = reals;
            blockCount = count;
            blockDone = 0;
            unsigned char word[8];
            encoder.PutInt(word, static_cast<std::int32_t>(count));
            WriteData(part, part.dataEnd, word, static_cast<std::size_t>(encoder.IntSize()));
            blockOpen = true;
        });
    }

    void WriteRecords(const std::int32_t* ids, const float* values, std::size_t records) {
        const std::size_t reals = static_cast<std::size_t>(blockOpen ? blockReals : 0);
        WriteRecords(RecordSource{reinterpret_cast<const unsigned char*>(ids),
                                  reinterpret_cast<const unsigned char*>(values), 4, 4 * reals},
                     records);
    }

    static std::int32_t IdOf(const RecordSource& source, std::size_t record) {
        std::int32_t id;
        std::memcpy(&id, source.Ids(record), 4);
        return id;
    }

    // Copies `count` records from `first` on into separate ids and values.
    template <std::size_t Reals>
    static void GatherFixed(const RecordSource& source, std::size_t first, std::size_t count,
                            std::int32_t* ids, float* values) {
        for (std::size_t i = 0; i < count; ++i) {
            std::memcpy(ids + i, source.Ids(first + i), 4);
            if constexpr (Reals > 0) {
                std::memcpy(values + i * Reals, source.Values(first + i), 4 * Reals);
            }
        }
    }

    void Gather(const RecordSource& source, std::size_t first, std::size_t count, std::int32_t* ids,
                float* values) const {
        switch (blockReals) {
        case 0:
            return GatherFixed<0>(source, first, count, ids, values);
        case 1:
            return GatherFixed<1>(source, first, count, ids, values);
        case 2:
            return GatherFixed<2>(source, first, count, ids, values);
        case 3:
            return GatherFixed<3>(source, first, count, ids, values);
        default:
            return GatherFixed<6>(source, first, count, ids, values);
        }
    }

    // The first NaN among the reals of `records` records: its record and its
    // place in the record; false when there is none.
    bool FindNaN(const RecordSource& source, std::size_t records, std::size_t& record,
                 std::size_t& real) const {
        const std::size_t reals = static_cast<std::size_t>(blockReals);
        if (source.valueStride == 4 * reals) {
            const std::size_t count = records * reals;
            const std::size_t nan = RecordEncoder::FindNaN(source.Values(0), count);
            record = reals > 0 ? nan / reals : 0;
            real = reals > 0 ? nan % reals : 0;
            return nan < count;
        }
        for (record = 0; record < records; ++record) {
            const std::size_t nan = RecordEncoder::FindNaN(source.Values(record), reals);
            if (nan < reals) {
                real = nan;
                return true;
            }
        }
        return false;
    }

    void WriteRecords(const RecordSource& source, std::size_t records) {
        CheckUsable();
        if (!blockOpen) {
            throw InputError("records come before any block");
        }
        if (records == 0) {
            return;
        }
        if (static_cast<std::int64_t>(records) > blockCount - blockDone) {
            throw InputError("data type " + Quoted(block.name) + " takes " +
                             std::to_string(blockCount) + " records; " +
                             std::to_string(blockDone + static_cast<std::int64_t>(records)) +
                             " were given");
        }
        if (source.ids == nullptr || (blockReals > 0 && source.values == nullptr)) {
            throw InputError("data type " + Quoted(block.name) + ": no ids or values given");
        }
        std::size_t record = 0;
        std::size_t real = 0;
        if (encoder.IsCray() && !options.nanAsInfinity && FindNaN(source, records, record, real)) {
            throw InputError(
                "NaN cannot be stored in a Cray file: " + Where() + ", data type " +
                Quoted(block.name) + ", entity " + std::to_string(IdOf(source, record)) +
                " (record " + std::to_string(blockDone + static_cast<std::int64_t>(record)) +
                ", value " + std::to_string(real) + "); allow NaN as infinity to write it anyway");
        }
        Guard([&] {
            Part& part = parts.back();
            const std::size_t reals = static_cast<std::size_t>(blockReals);
            const std::size_t recordBytes = encoder.RecordBytes(blockReals);
            const std::int64_t start = block.blockOffset + encoder.IntSize() +
                                       blockDone * static_cast<std::int64_t>(recordBytes);
            // Every byte of these records is written below (or the file is
            // discarded): allocated at once when there are many.
            const std::size_t totalBytes = records * recordBytes;
            if (totalBytes >= kReserveBytes) {
                part.file->Reserve(DataBase(part) + start, static_cast<std::int64_t>(totalBytes));
            }
            // The caller's records are the file's own: written as they lie.
            if (encoder.IsHostOrderFour() && source.idStride == recordBytes &&
                source.valueStride == recordBytes && source.values == source.ids + 4) {
                WriteData(part, start, source.ids, records * recordBytes);
                blockDone += static_cast<std::int64_t>(records);
                return;
            }
            const bool contiguous = source.idStride == 4 && source.valueStride == 4 * reals;
            const std::size_t perPiece = std::max<std::size_t>(1, kPieceRecordBytes / recordBytes);
            const std::size_t stagingNeeded = std::min(records, perPiece) * recordBytes;
            if (stagingBytes < stagingNeeded) {
                // Not zero-filled: every byte is encoded before it is written.
                staging.reset(new unsigned char[stagingNeeded]);
                stagingBytes = stagingNeeded;
            }
            for (std::size_t done = 0; done < records;) {
                const std::size_t piece = std::min(records - done, perPiece);
                const std::int32_t* ids = source.Ids(done);
                const float* values = source.Values(done);
                if (!contiguous) {
                    // Gathered into separate ids and values first.
                    gatheredIds.resize(piece);
                    gatheredValues.resize(piece * reals);
                    Gather(source, done, piece, gatheredIds.data(), gatheredValues.data());
                    ids = gatheredIds.data();
                    values = gatheredValues.data();
                }
                const std::size_t bytes =
                    encoder.Encode(ids, values, blockReals, piece, staging.get());
                WriteData(part, start + static_cast<std::int64_t>(done * recordBytes),
                          staging.get(), bytes);
                done += piece;
            }
            blockDone += static_cast<std::int64_t>(records);
        });
    }

    void EndBlock() {
        CheckUsable();
        if (!blockOpen) {
            throw InputError("no block to end");
        }
        if (blockDone != blockCount) {
            throw InputError(UnfinishedBlock());
        }
        Part& part = parts.back();
        Simulation& simulation = part.simulations.back();
        part.dataEnd = block.blockOffset + encoder.IntSize() +
                       blockCount * static_cast<std::int64_t>(encoder.RecordBytes(blockReals));
        registered.emplace(datatypenames::NormaliseName(block.name),
                           Registered{block.kind, simulation.index, blockGiven});
        complexData = complexData || ResKind::Of(block.kind).marksComplex;
        const std::string mark = ResKind::Of(block.kind).complexResultSuffix;
        if (!blockStoredName && !mark.empty()) {
            std::string& first = EndsWith(blockGiven, mark) ? markedName : plainName;
            if (first.empty()) {
                first = blockGiven;
            }
        }
        simulation.rows.push_back(block);
        blockOpen = false;
    }

    // Forgets an unfinished block: its bytes are overwritten by what follows.
    void AbandonBlock() { blockOpen = false; }

    std::string UnfinishedBlock() const {
        return "block " + Quoted(block.name) + " is unfinished: " + std::to_string(blockDone) +
               " of " + std::to_string(blockCount) + " records written";
    }

    void Close() {
        CheckUsable();
        if (blockOpen) {
            throw InputError(UnfinishedBlock());
        }
        if (!markedName.empty() && !complexData) {
            throw InputError("data type " + Quoted(markedName) + " would read back as " +
                             Quoted(markedName.substr(0, markedName.size() - 3)) +
                             " in a result without complex data (kinds " + ComplexKindCodes() +
                             ")");
        }
        CheckUnasked();
        Guard([&] {
            EndSimulation();
            FinishPart(parts.back());
            Commit();
        });
        closed = true;
    }

    // Refuses to replace files that join the target's series but belong to
    // no result being replaced, unless the options allow it.
    void CheckUnasked() const {
        if (options.replaceSeries) {
            return;
        }
        const std::vector<std::string> unasked = SeriesCommit::UnaskedMembers(path);
        if (unasked.empty()) {
            return;
        }
        std::string names;
        for (std::size_t i = 0; i < unasked.size(); ++i) {
            names += (i == 0                    ? ""
                      : i + 1 == unasked.size() ? " and "
                                                : ", ") +
                     Quoted(fs::path(unasked[i]).filename().string());
        }
        throw InputError(names + (unasked.size() == 1 ? " is" : " are") +
                         " not part of a result being replaced, but a reader would take " +
                         (unasked.size() == 1 ? "it" : "them") + " for part of the result at " +
                         Quoted(path) +
                         ": move them away, or ask for the series to be replaced "
                         "(--replace-series, replace_series=True)");
    }

    // Puts the new files in place of every file of the target's series.
    void Commit() {
        std::vector<std::string> temporaries;
        std::vector<std::string> finals;
        for (const Part& part : parts) {
            temporaries.push_back(part.file->TemporaryPath());
            finals.push_back(part.file->FinalPath());
        }
        const std::vector<std::string> old = SeriesCommit::ExistingMembers(path);
        SeriesCommit::Run(path, temporaries, finals, old, options.durable);
        for (Part& part : parts) {
            part.file->MarkCommitted();
        }
        for (const std::string& member : old) {
            const std::string name = fs::path(member).filename().string();
            bool replaced = false;
            for (const std::string& final : finals) {
                replaced = replaced || fs::path(final).filename().string() == name;
            }
            if (!replaced) {
                removed.push_back(member);
            }
        }
    }

    void Discard() {
        for (Part& part : parts) {
            if (part.file) {
                part.file->Discard();
            }
        }
    }

    void Abort() {
        Discard();
        closed = true;
    }

    std::string path;
    WriterOptions options;
    RecordEncoder encoder;
    std::int64_t maxFileBytes;
    std::vector<Part> parts;
    std::map<std::string, Registered> registered; // by normalised stored name
    bool complexData = false;
    std::string plainName;  // the first real vector given without the mark
    std::string markedName; // the first real vector given with it
    std::string blockGiven; // the open block's name as given
    bool blockStoredName = false;
    int simulationCount = 0;
    bool simulationOpen = false;
    bool blockOpen = false;
    Row block;
    int blockReals = 0;
    std::int64_t blockCount = 0;
    std::int64_t blockDone = 0;
    std::unique_ptr<unsigned char[]> staging;
    std::size_t stagingBytes = 0;
    std::vector<std::int32_t> gatheredIds;
    std::vector<float> gatheredValues;
    std::string failure;
    bool closed = false;
    std::vector<std::string> removed; // old series files the commit removed
};

int Writer::RealsPerRecord(int kind) {
    if (!ResKind::IsCode(kind)) {
        return -1;
    }
    return ResKind::Of(kind).realsPerRecord;
}

Writer::Writer(const std::string& path, const WriterOptions& options)
    : Writer(path, options, kMaxFileBytes) {}

Writer::Writer(const std::string& path, const WriterOptions& options, std::int64_t maxFileBytes)
    : state(std::make_unique<State>(path, options, maxFileBytes)) {}

Writer::~Writer() {
    if (state && !state->closed) {
        state->Discard();
    }
}

void Writer::BeginSimulation(const std::string& label) {
    state->BeginSimulation(label);
}

void Writer::WriteBlock(const std::string& name, int kind, const std::int32_t* ids,
                        std::size_t count, const float* values, std::size_t valueCount) {
    const int reals = RealsPerRecord(kind);
    if (reals >= 0 && valueCount != count * static_cast<std::size_t>(reals)) {
        throw InputError("data type " + Quoted(name) + " of kind " + std::to_string(kind) +
                         " takes " + std::to_string(reals) +
                         " values per record: " + std::to_string(count) + " ids need " +
                         std::to_string(count * static_cast<std::size_t>(reals)) + " values, " +
                         std::to_string(valueCount) + " were given");
    }
    state->BeginBlock(name, kind, static_cast<std::int64_t>(count), state->options.storedNames);
    try {
        state->WriteRecords(ids, values, count);
    } catch (const InputError&) {
        state->AbandonBlock();
        throw;
    }
    state->EndBlock();
}

void Writer::WriteRecordArray(const std::string& name, int kind, const void* records,
                              std::size_t count, std::size_t stride, std::size_t valuesOffset) {
    const int reals = RealsPerRecord(kind);
    const std::size_t valueBytes = 4 * static_cast<std::size_t>(std::max(reals, 0));
    if (reals >= 0 && (stride < 4 || valuesOffset > stride || stride - valuesOffset < valueBytes ||
                       (valueBytes > 0 && valuesOffset < 4))) {
        throw InputError("data type " + Quoted(name) + " of kind " + std::to_string(kind) +
                         ": records of " + std::to_string(stride) + " bytes with values at byte " +
                         std::to_string(valuesOffset) + " cannot hold an id and " +
                         std::to_string(reals) + " values");
    }
    state->BeginBlock(name, kind, static_cast<std::int64_t>(count), state->options.storedNames);
    const unsigned char* base = static_cast<const unsigned char*>(records);
    try {
        state->WriteRecords(
            RecordSource{base, base == nullptr ? nullptr : base + valuesOffset, stride, stride},
            count);
    } catch (const InputError&) {
        state->AbandonBlock();
        throw;
    }
    state->EndBlock();
}

void Writer::BeginBlock(const std::string& name, int kind, std::int64_t count) {
    state->BeginBlock(name, kind, count, state->options.storedNames);
}

void Writer::BeginStoredBlock(const std::string& name, int kind, std::int64_t count) {
    state->BeginBlock(name, kind, count, true);
}

void Writer::WriteRecords(const std::int32_t* ids, const float* values, std::size_t records) {
    state->WriteRecords(ids, values, records);
}

void Writer::EndBlock() {
    state->EndBlock();
}

void Writer::Close() {
    state->Close();
}

void Writer::Abort() {
    state->Abort();
}

int Writer::SimulationCount() const {
    return state->simulationCount;
}

int Writer::FileCount() const {
    return static_cast<int>(state->parts.size());
}

std::string Writer::FileName(int index) const {
    return index >= 0 && index < FileCount() ? state->PartPath(index) : std::string();
}

const std::vector<std::string>& Writer::RemovedFiles() const {
    return state->removed;
}

void Writer::RemoveTemporaryFilesForSignal() {
    detail::OutputFile::RemoveAllForSignal();
}

const WriterOptions& Writer::Options() const {
    return state->options;
}

} // namespace kvres
