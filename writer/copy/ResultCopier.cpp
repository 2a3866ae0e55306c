#include "ResultCopier.h"

#include "fileio/EncodingNames.h"
#include "fileio/ResFileSet.h"
#include "fileio/ResKind.h"
#include "fileio/ResLayout.h"
#include "fileio/SeriesNames.h"
#include "model/DataTypeNames.h"
#include "model/StructureReader.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <system_error>
#include <utility>

namespace kvres {
namespace {

namespace fs = std::filesystem;

fs::path Canonical(const std::string& path) {
    std::error_code error;
    fs::path canonical = fs::weakly_canonical(fs::absolute(fs::path(path)), error);
    return error ? fs::path(path) : canonical;
}

bool SameFile(const fs::path& a, const fs::path& b) {
    std::error_code error;
    if (fs::exists(a, error) && fs::exists(b, error)) {
        return fs::equivalent(a, b, error);
    }
    return a == b;
}

// Whether a file at `member` would be read with the result at `base`.
bool InSeriesOf(const fs::path& member, const fs::path& base) {
    if (SameFile(member, base)) {
        return true;
    }
    const std::string baseName = base.filename().string();
    if (member.parent_path() != base.parent_path() || NamesSingleFile(baseName)) {
        return false;
    }
    std::string stem;
    std::string extension;
    SplitFileName(baseName, stem, extension);
    return IsSeriesMember(member.filename().string(), stem, extension);
}

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
        return static_cast<Encoding>(
            encodingnames::FamilyOf(set.GetIntEncoding(), set.BigEndian()));
    }

    void ReadFile(int fileIndex) {
        const std::string& name = fileNames[static_cast<std::size_t>(fileIndex)];
        if (!files.OpenFile(name)) {
            seriesDamage.push_back(name + ": not readable as a .res file; its simulations are "
                                          "left out");
            fileSizes.push_back(0);
            return;
        }
        StructureReader reader(files);
        fileSizes.push_back(reader.Size());
        StructureReader::Header header = reader.ReadHeader();
        if (fileIndex == 0) {
            title = header.text1;
            subtitle = header.text2;
            firstEncoding = EncodingOf(files);
        }
        if (static_cast<std::int64_t>(header.simulations.size()) < header.simulationCount) {
            seriesDamage.push_back(name + ": the simulation table holds " +
                                   std::to_string(header.simulations.size()) +
                                   " whole entries of " + std::to_string(header.simulationCount) +
                                   "; the rest are left out");
        }
        for (StructureReader::Simulation& entry : header.simulations) {
            StoredSimulation simulation{
                std::move(entry.label), fileIndex, entry.tablePosition, {}, {}};
            const auto keep = [&simulation](const StructureReader::Row& row) {
                simulation.rows.push_back({row.name, row.kind, row.blockPosition, {}});
            };
            const StructureReader::Table table = reader.ReadTable(entry.tablePosition);
            if (table.status == StructureReader::Status::Unreachable ||
                table.status == StructureReader::Status::CountUnreadable) {
                simulation.damage = "its data-type table is unreachable (position " +
                                    std::to_string(simulation.tablePosition) + ")";
            } else if (!reader.ForEachRow(table.firstRow, table.wholeRows, keep) ||
                       table.status == StructureReader::Status::CutShort) {
                simulation.damage =
                    "its data-type table is cut short: " + std::to_string(simulation.rows.size()) +
                    " whole rows of " + std::to_string(table.storedRows);
            }
            simulations.push_back(std::move(simulation));
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
                complexData = complexData || ResKind::Of(row.kind).marksComplex;
            }
        }
        for (StoredSimulation& simulation : simulations) {
            for (StoredRow& row : simulation.rows) {
                const std::string normalised = datatypenames::NormaliseName(row.name);
                const std::int32_t kind = firstKind.at(normalised);
                if (ResKind::Of(row.kind).realsPerRecord > 0 &&
                    ResKind::Of(kind).realsPerRecord > 0) {
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
            if (ResKind::Of(row.kind).format == ResKind::Triple && !row.hostName.empty()) {
                for (const char* part : ResKind::kTripleSuffixes) {
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
    std::string CopyRow(Writer& writer, int index, const StoredRow& row, bool salvage,
                        bool callersSimulation) {
        const StoredSimulation& simulation = simulations[static_cast<std::size_t>(index)];
        const std::string what = "data type '" + row.name + "'";
        if (!ResKind::IsCode(row.kind)) {
            return what + " has kind " + std::to_string(row.kind) + ", which no reader reads";
        }
        if (row.name.size() >= static_cast<std::size_t>(reslayout::kNameWidth)) {
            return what + " fills its name field without a closing NUL";
        }
        const int reals = ResKind::Of(row.kind).realsPerRecord;
        const std::int64_t size = fileSizes[static_cast<std::size_t>(simulation.fileIndex)];
        const std::int64_t recordBytes =
            reslayout::RecordBytes(reals, files.IntItemSize(), files.RealItemSize());
        // The simulation's file stays open from one row to the next.
        const std::string& fileName = fileNames[static_cast<std::size_t>(simulation.fileIndex)];
        const StructureReader::Block block =
            (files.IsOpen() && files.GetCurrentFileName() == fileName) || files.OpenFile(fileName)
                ? StructureReader(files, size).ReadBlock(row.position, recordBytes)
                : StructureReader::Block{};
        std::int64_t count = block.storedCount;
        std::string emptied; // why a salvage writes the block empty
        if (!ResKind::Of(row.kind).Presented()) {
            // Never read: its ids are copied when they can be, else none.
            if (block.status != StructureReader::Status::Ok) {
                emptied = what + " (kind " + std::to_string(row.kind) +
                          ", never read): its block is unreachable or cut short";
                count = 0;
            }
        } else if (block.status == StructureReader::Status::Unreachable ||
                   block.status == StructureReader::Status::CountUnreadable) {
            return what + ": its block is unreachable (position " + std::to_string(row.position) +
                   ")";
        } else if (block.status == StructureReader::Status::NegativeCount) {
            emptied =
                what + ": its block has a negative entity count (" + std::to_string(count) + ")";
            count = 0;
        }
        if (!emptied.empty() && !salvage) {
            return emptied;
        }
        const std::int64_t whole = std::min(count, block.wholeRecords);
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
            writer.BeginStoredBlock(row.name, row.kind, whole);
        } catch (const InputError& refused) {
            if (callersSimulation && !salvage) {
                throw;
            }
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
        if (!emptied.empty()) {
            return "~" + emptied + "; written empty";
        }
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
    if (StructureReader(tables->files).ReadHeader().title.rfind(reslayout::kTitleText, 0) != 0) {
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

std::string ResultCopier::ClashWith(const std::string& target, const std::string& source) const {
    const fs::path out = Canonical(target);
    for (const std::string& file : tables->fileNames) {
        const fs::path in = Canonical(file);
        if (InSeriesOf(out, in) || InSeriesOf(in, out)) {
            return "'" + target + "' would overwrite or join the series of " + source + " ('" +
                   file + "'); choose another name or folder";
        }
    }
    return std::string();
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
                if (ResKind::Of(row.kind).format == ResKind::Triple) {
                    for (const char* part : ResKind::kTripleSuffixes) {
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
    writer.BeginSimulation(stored.label);
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
        const std::string problem =
            tables->CopyRow(writer, simulation, row, options.salvage, options.callersSimulation);
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
