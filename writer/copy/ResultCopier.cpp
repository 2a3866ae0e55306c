#include "ResultCopier.h"

#include "fileio/ResFileSet.h"
#include "model/DataTypeNames.h"
#include "model/ResLayout.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <utility>

namespace kvres {
namespace {

struct StoredRow {
    std::string name;
    std::int32_t kind = 0;
    std::int32_t position = 0;
    std::string hostName; // empty when the host made no data type of it
};

struct StoredSimulation {
    std::string label; // the field's text, up to 31 characters
    int fileIndex = 0;
    std::int32_t tablePosition = 0;
    std::vector<StoredRow> rows;
    std::string damage; // what makes its rows unreachable, in part or whole
};

constexpr int kBatchRecords = 8192;

} // namespace

class ResultCopier::Tables {
public:
    ResFileSet files;
    std::vector<std::string> fileNames;
    std::vector<std::int64_t> fileSizes;
    std::vector<StoredSimulation> simulations;
    std::vector<std::string> seriesDamage;
    std::string title;
    std::string subtitle;
    Encoding firstEncoding = Encoding::I4LE;
    std::int64_t bytesCopied = 0;
    std::vector<std::int32_t> idBuffer;
    std::vector<float> realBuffer;

    static Encoding EncodingOf(const ResFileSet& set) {
        const bool big = set.SwapBytes();
        if (set.GetIntEncoding() == Int4) {
            return big ? Encoding::I4BE : Encoding::I4LE;
        }
        return big ? Encoding::I8BE : Encoding::I8LE;
    }

    void ReadFile(int fileIndex) {
        const std::string& name = fileNames[static_cast<std::size_t>(fileIndex)];
        if (!files.OpenFile(name)) {
            seriesDamage.push_back(name + ": not readable as a .res file; its simulations are "
                                          "left out");
            fileSizes.push_back(0);
            return;
        }
        fileSizes.push_back(files.BytesRemaining());
        char text[reslayout::kHeaderTextWidth];
        files.ReadBytes(text, reslayout::kTitleWidth);
        files.ReadBytes(text, reslayout::kHeaderTextWidth);
        const std::string text1 = reslayout::FieldText(text, reslayout::kHeaderTextWidth);
        files.ReadBytes(text, reslayout::kHeaderTextWidth);
        const std::string text2 = reslayout::FieldText(text, reslayout::kHeaderTextWidth);
        if (fileIndex == 0) {
            title = text1;
            subtitle = text2;
            firstEncoding = EncodingOf(files);
        }
        std::int32_t count = 0;
        files.ReadInt(&count);
        const std::size_t first = simulations.size();
        for (std::int32_t s = 0; s < count; ++s) {
            char label[reslayout::kLabelWidth];
            StoredSimulation simulation;
            if (files.ReadBytes(label, reslayout::kLabelWidth) != reslayout::kLabelWidth ||
                files.ReadInt(&simulation.tablePosition) != 1) {
                seriesDamage.push_back(name + ": the simulation table holds " + std::to_string(s) +
                                       " whole entries of " + std::to_string(count) +
                                       "; the rest are left out");
                break;
            }
            simulation.label = reslayout::FieldText(label, reslayout::kLabelWidth);
            simulation.fileIndex = fileIndex;
            simulations.push_back(std::move(simulation));
        }
        const std::int64_t size = fileSizes.back();
        const std::int64_t rowBytes = reslayout::kNameWidth + 2 * files.IntItemSize();
        for (std::size_t s = first; s < simulations.size(); ++s) {
            StoredSimulation& simulation = simulations[s];
            std::int32_t rows = 0;
            if (simulation.tablePosition < 0 || simulation.tablePosition >= size ||
                !files.SeekTo(simulation.tablePosition) || files.ReadInt(&rows) != 1) {
                simulation.damage = "its data-type table is unreachable (position " +
                                    std::to_string(simulation.tablePosition) + ")";
                continue;
            }
            // Rows beyond what the file holds are cut off; none is allocated
            // for before it was read.
            const std::int64_t room = (size - simulation.tablePosition) / rowBytes + 1;
            for (std::int32_t r = 0; r < rows && r < room; ++r) {
                char rowName[reslayout::kNameWidth];
                StoredRow row;
                if (files.ReadBytes(rowName, reslayout::kNameWidth) != reslayout::kNameWidth ||
                    files.ReadInt(&row.kind) != 1 || files.ReadInt(&row.position) != 1) {
                    break;
                }
                row.name = reslayout::FieldText(rowName, reslayout::kNameWidth);
                simulation.rows.push_back(std::move(row));
            }
            if (rows > 0 && simulation.rows.size() < static_cast<std::size_t>(rows)) {
                simulation.damage =
                    "its data-type table is cut short: " + std::to_string(simulation.rows.size()) +
                    " whole rows of " + std::to_string(rows);
            }
        }
        files.CloseFile();
    }

    // The names the host gives the rows, by the reader's own naming rules:
    // each row's normalised name, made final by the kind of that name's
    // first row in reading order and by whether any row holds complex data.
    // (By name, not by block position: two types may share one block.)
    void NameAsHost() {
        std::map<std::string, std::int32_t> firstKind;
        bool complexData = false;
        for (const StoredSimulation& simulation : simulations) {
            for (const StoredRow& row : simulation.rows) {
                firstKind.emplace(datatypenames::NormaliseName(row.name), row.kind);
                complexData = complexData || reslayout::IsComplexKind(row.kind);
            }
        }
        for (StoredSimulation& simulation : simulations) {
            for (StoredRow& row : simulation.rows) {
                const std::string normalised = datatypenames::NormaliseName(row.name);
                const std::int32_t kind = firstKind.at(normalised);
                if (reslayout::RealsPerRecord(row.kind) > 0 &&
                    reslayout::RealsPerRecord(kind) > 0) {
                    row.hostName = datatypenames::FinalName(normalised, kind, complexData);
                }
            }
        }
    }

    static bool Chosen(const StoredRow& row, const std::vector<std::string>& types) {
        if (types.empty()) {
            return true;
        }
        for (const std::string& type : types) {
            if (type == row.name || (!row.hostName.empty() && type == row.hostName)) {
                return true;
            }
            if ((row.kind == 7 || row.kind == 8) && !row.hostName.empty()) {
                for (const char* part : {":Magnitude", ":Phase", ":Offset"}) {
                    if (type == row.hostName + part) {
                        return true;
                    }
                }
            }
        }
        return false;
    }

    std::string Where(int index) const {
        const StoredSimulation& simulation = simulations[static_cast<std::size_t>(index)];
        return fileNames[static_cast<std::size_t>(simulation.fileIndex)] + ", simulation " +
               std::to_string(index) + " '" + simulation.label + "'";
    }

    // Copies one row's block; returns what had to be left out, if anything.
    std::string CopyRow(Writer& writer, int index, const StoredRow& row, bool salvage) {
        const StoredSimulation& simulation = simulations[static_cast<std::size_t>(index)];
        const std::string what = "data type '" + row.name + "'";
        if (row.kind < 0 || row.kind > 8) {
            return what + " has kind " + std::to_string(row.kind) + ", which no reader reads";
        }
        if (row.name.size() >= static_cast<std::size_t>(reslayout::kNameWidth)) {
            return what + " fills its name field without a closing NUL";
        }
        const int reals = reslayout::RealsPerRecord(row.kind);
        const std::int64_t size = fileSizes[static_cast<std::size_t>(simulation.fileIndex)];
        std::int32_t count = 0;
        // The simulation's file stays open from one row to the next.
        const std::string& fileName = fileNames[static_cast<std::size_t>(simulation.fileIndex)];
        bool readable =
            (files.IsOpen() && files.GetCurrentFileName() == fileName) || files.OpenFile(fileName);
        readable = readable && row.position >= 0 && row.position < size &&
                   files.SeekTo(row.position) && files.ReadInt(&count) == 1;
        if (row.kind == 2) {
            // Never read: its ids are copied when they can be, else none.
            if (!readable || count < 0 ||
                static_cast<std::int64_t>(count) * files.IntItemSize() >
                    size - row.position - files.IntItemSize()) {
                count = 0;
            }
        } else if (!readable) {
            return what + ": its block is unreachable (position " + std::to_string(row.position) +
                   ")";
        } else if (count < 0) {
            if (!salvage) {
                return what + ": its block has a negative entity count (" + std::to_string(count) +
                       ")";
            }
            count = 0;
        }
        const std::int64_t recordBytes =
            reslayout::RecordBytes(row.kind, files.IntItemSize(), files.RealItemSize());
        const std::int64_t whole = std::max<std::int64_t>(
            0, std::min<std::int64_t>(count,
                                      (size - row.position - files.IntItemSize()) / recordBytes));
        std::string note;
        if (whole < count) {
            note = what + ": its block is cut short: " + std::to_string(whole) +
                   " whole records of " + std::to_string(count);
            if (!salvage) {
                return note;
            }
            note += "; the whole records are kept";
        }
        try {
            writer.BeginBlock(row.name, row.kind, whole);
        } catch (const InputError& refused) {
            return what + ": " + refused.what();
        }
        idBuffer.resize(kBatchRecords);
        realBuffer.resize(static_cast<std::size_t>(kBatchRecords) *
                          static_cast<std::size_t>(std::max(reals, 1)));
        for (std::int64_t done = 0; done < whole;) {
            const int asked = static_cast<int>(std::min<std::int64_t>(whole - done, kBatchRecords));
            const int got = files.ReadRecords(
                idBuffer.data(), reals > 0 ? realBuffer.data() : nullptr, reals, asked);
            if (got != asked) {
                throw Damaged(Where(index) + ", " + what + ": the file changed while it was read");
            }
            writer.WriteRecords(idBuffer.data(), realBuffer.data(), static_cast<std::size_t>(got));
            done += got;
            bytesCopied += got * recordBytes;
        }
        writer.EndBlock();
        if (!note.empty()) {
            return "~" + note; // copied, shortened
        }
        return std::string();
    }
};

ResultCopier::ResultCopier(const std::string& path) : tables(std::make_unique<Tables>()) {
    if (!tables->files.OpenFile(path)) {
        throw Damaged(path + ": not recognised: no encoding gives a plausible header");
    }
    char title[reslayout::kTitleWidth] = {};
    tables->files.ReadBytes(title, reslayout::kTitleWidth);
    if (std::memcmp(title, reslayout::kTitleText, std::strlen(reslayout::kTitleText)) != 0) {
        throw Damaged(path + ": not recognised: the title is not \"" +
                      std::string(reslayout::kTitleText) + "\"");
    }
    tables->files.CloseFile();
    for (int f = 0; f < tables->files.GetNumSeriesFiles(); ++f) {
        tables->fileNames.push_back(tables->files.GetSeriesFileName(f));
    }
    for (int f = 0; f < static_cast<int>(tables->fileNames.size()); ++f) {
        tables->ReadFile(f);
    }
    tables->NameAsHost();
}

ResultCopier::~ResultCopier() = default;

Encoding ResultCopier::FirstEncoding() const {
    return tables->firstEncoding;
}

const std::string& ResultCopier::Title() const {
    return tables->title;
}

const std::string& ResultCopier::Subtitle() const {
    return tables->subtitle;
}

const std::vector<std::string>& ResultCopier::Files() const {
    return tables->fileNames;
}

int ResultCopier::SimulationCount() const {
    return static_cast<int>(tables->simulations.size());
}

std::string ResultCopier::Label(int simulation) const {
    return tables->simulations.at(static_cast<std::size_t>(simulation)).label;
}

std::vector<std::string> ResultCopier::TypeNames() const {
    std::vector<std::string> names;
    for (const StoredSimulation& simulation : tables->simulations) {
        for (const StoredRow& row : simulation.rows) {
            names.push_back(row.name);
            if (!row.hostName.empty()) {
                names.push_back(row.hostName);
                if (row.kind == 7 || row.kind == 8) {
                    for (const char* part : {":Magnitude", ":Phase", ":Offset"}) {
                        names.push_back(row.hostName + part);
                    }
                }
            }
        }
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

const std::vector<std::string>& ResultCopier::SeriesDamage() const {
    return tables->seriesDamage;
}

std::int64_t ResultCopier::BytesCopied() const {
    return tables->bytesCopied;
}

void ResultCopier::CopySimulation(Writer& writer, int simulation, const Options& options,
                                  std::vector<std::string>& dropped) {
    const StoredSimulation& stored = tables->simulations.at(static_cast<std::size_t>(simulation));
    std::string label = stored.label;
    if (label.size() >= static_cast<std::size_t>(reslayout::kLabelWidth)) {
        const std::string problem =
            tables->Where(simulation) + ": the label fills its field without a closing NUL";
        if (!options.salvage) {
            throw Damaged(problem);
        }
        label.resize(reslayout::kLabelWidth - 1);
        dropped.push_back(problem + "; its last character is left out");
    }
    writer.BeginSimulation(label);
    CopyBlocks(writer, simulation, options, dropped);
}

void ResultCopier::CopyBlocks(Writer& writer, int simulation, const Options& options,
                              std::vector<std::string>& dropped) {
    const StoredSimulation& stored = tables->simulations.at(static_cast<std::size_t>(simulation));
    if (!stored.damage.empty()) {
        const std::string problem = tables->Where(simulation) + ": " + stored.damage;
        if (!options.salvage) {
            throw Damaged(problem);
        }
        dropped.push_back(problem + (stored.rows.empty() ? "; it is copied without data types"
                                                         : "; the whole rows are copied"));
    }
    for (const StoredRow& row : stored.rows) {
        if (!Tables::Chosen(row, options.types)) {
            continue;
        }
        const std::string problem = tables->CopyRow(writer, simulation, row, options.salvage);
        if (problem.empty()) {
            continue;
        }
        if (problem[0] == '~') {
            dropped.push_back(tables->Where(simulation) + ", " + problem.substr(1));
            continue;
        }
        if (!options.salvage) {
            throw Damaged(tables->Where(simulation) + ", " + problem);
        }
        dropped.push_back(tables->Where(simulation) + ", " + problem + "; left out");
    }
    tables->files.CloseFile();
}

} // namespace kvres
