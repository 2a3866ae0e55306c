#include "EmbeddedResult.h"

#include "fileio/EncodingNames.h"
#include "fileio/ErrorText.h"
#include "fileio/ResFile.h"
#include "fileio/ResFileSet.h"
#include "fileio/ResLayout.h"
#include "model/DataTypeEntry.h"
#include "model/kvresResult.h"
#include "plugin/ReaderExport.h"

#include "rxAllocator.h"
#include "rxDataType.h"
#include "rxEntityIdReceiver.h"
#include "rxReaderRecord.h"
#include "rxSimulation.h"
#include "rxSubcase.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace {

// The record as the plug-in fills it for a host.
const rxReaderRecord& Record() {
    static const rxReaderRecord record = [] {
        rxReaderRecord filled{};
        SupplyReaderFunctionTable(&filled);
        return filled;
    }();
    return record;
}

// Keeps every id handed over, in order. The announced count (no more than
// the file holds whole records for) is made room for at once, so that an id
// costs a store: the call comes once per entity.
class IdCollector final : public rxEntityIdReceiver {
public:
    void SetNumEntities(int count) override {
        if (count > 0 && static_cast<std::size_t>(count) > ids.size()) {
            ids.resize(static_cast<std::size_t>(count));
        }
    }
    void AddEntityID(int id) override {
        if (kept < ids.size()) {
            ids[kept++] = id;
        } else {
            Grow(id);
        }
    }
    // The ids handed over.
    std::vector<int32_t> Take() {
        ids.resize(kept);
        return std::move(ids);
    }

private:
    [[gnu::noinline]] void Grow(int id) {
        ids.push_back(id);
        kept = ids.size();
    }

    std::vector<int32_t> ids;
    std::size_t kept = 0;
};

constexpr int kEntityIdOption = 0;

} // namespace

bool EmbeddedResult::Identify(const std::string& path) {
    return Record().identifyFile(path.c_str());
}

std::string EmbeddedResult::WhyNotRecognized(const std::string& path) {
    std::string problem;
    std::FILE* file = ResFile::OpenRegular(path, &problem);
    if (file == nullptr) {
        return problem.compare(0, 3, "is ") == 0 ? "it " + problem
                                                 : "it cannot be opened: " + problem;
    }
    char title[reslayout::kTitleWidth];
    const std::size_t read = std::fread(title, 1, sizeof title, file);
    std::fclose(file);
    const std::size_t length = std::strlen(reslayout::kTitleText);
    const std::string expected = std::string("'") + reslayout::kTitleText + "'";
    if (read == 0) {
        return "the file is empty";
    }
    if (read < length) {
        return "the file holds only " + std::to_string(read) + (read == 1 ? " byte" : " bytes") +
               ", too few for the title " + expected;
    }
    if (std::memcmp(title, reslayout::kTitleText, length) != 0) {
        return "it does not begin with the title " + expected;
    }
    return "the identification declined it";
}

EmbeddedResult::EmbeddedResult(const std::string& path) {
    rxResult* created = Record().createResult(path.c_str(), rxAllocator::Default());
    result = dynamic_cast<kvresResult*>(created);
    if (result == nullptr) {
        if (created != nullptr) {
            created->Release();
        }
        throw std::bad_alloc();
    }
    try {
        result->GetFileSet()->KeepFilesOpen();
        if (result->GetNumSubcases() > 0) {
            subcase = result->GetSubcase(0);
        }
        if (subcase != nullptr) {
            subcase->ReadDataTypes();
            const int count = subcase->GetNumDataTypes();
            for (int index = 0; index < count; ++index) {
                if (rxDataType* type = subcase->GetDataType(index)) {
                    dataTypes.push_back(type);
                }
            }
        }
    } catch (...) {
        Close();
        throw;
    }
}

EmbeddedResult::~EmbeddedResult() {
    Close();
}

void EmbeddedResult::BeginOperation() const {
    if (ResFileSet* files = Files()) {
        files->ForgetLostFile();
    }
}

void EmbeddedResult::EndOperation() const {
    ResFileSet* files = Files();
    if (files != nullptr && files->LostFile()) {
        const std::string name = files->LostFileName();
        files->ForgetLostFile();
        throw FileChanged(name +
                          ": the file is no longer the one the result was opened on (replaced, "
                          "changed, removed or, by a relative name, reached from another working "
                          "directory); open it again");
    }
}

void EmbeddedResult::Close() {
    dataTypes.clear();
    subcase = nullptr;
    if (result != nullptr) {
        result->Release();
        result = nullptr;
    }
}

rxDataType* EmbeddedResult::FindDataType(const std::string& name, std::string* missing) const {
    for (rxDataType* type : dataTypes) {
        if (name == type->GetName()) {
            return type;
        }
    }
    if (missing != nullptr) {
        std::string known;
        for (const rxDataType* type : dataTypes) {
            known += (known.empty() ? "'" : ", '") + std::string(type->GetName()) + "'";
        }
        *missing = NoDataTypeNamed(name) + "; the result has " +
                   (known.empty() ? std::string("none") : known);
    }
    return nullptr;
}

int EmbeddedResult::SimulationIndex(long long given, std::string& outOfRange) const {
    const long long count = SimulationCount();
    const long long index = given < 0 ? given + count : given;
    if (index < 0 || index >= count) {
        outOfRange = SimulationIndexOutOfRange(count);
        return -1;
    }
    return static_cast<int>(index);
}

int EmbeddedResult::SimulationCount() const {
    return subcase != nullptr ? subcase->GetNumSimulations() : 0;
}

rxSimulation* EmbeddedResult::Simulation(int index) const {
    return subcase != nullptr ? subcase->GetSimulation(index) : nullptr;
}

bool EmbeddedResult::IsComplex() const {
    return subcase != nullptr && subcase->GetSubcaseType() == 1;
}

bool EmbeddedResult::FindBlock(const rxDataType& dataType, const rxSimulation* simulation,
                               Block& block) const {
    if (result == nullptr || simulation == nullptr) {
        return false;
    }
    const char* name = dataType.GetName();
    block.shape = DataSetShape::Locate(result->FindDataType(name), name, simulation, block.position,
                                       block.fileIndex);
    return block.shape.form != DataSetShape::None;
}

std::vector<EmbeddedResult::Block> EmbeddedResult::BlocksOf(const rxDataType& dataType) const {
    const int count = SimulationCount();
    std::vector<Block> blocks(static_cast<std::size_t>(count > 0 ? count : 0));
    const char* name = dataType.GetName();
    const DataTypeEntry* entry = result != nullptr ? result->FindDataType(name) : nullptr;
    if (entry == nullptr || blocks.empty()) {
        return blocks;
    }
    const DataSetShape shape = DataSetShape::Of(entry->Kind(), name);
    if (shape.form == DataSetShape::None) {
        return blocks;
    }
    std::vector<rxSimulation*> simulations(blocks.size());
    for (int index = 0; index < count; ++index) {
        simulations[static_cast<std::size_t>(index)] = Simulation(index);
    }
    const std::vector<BlockLocation> found = entry->FirstLocations(simulations);
    for (std::size_t index = 0; index < blocks.size(); ++index) {
        if (simulations[index] != nullptr && found[index].simulation != nullptr) {
            blocks[index].fileIndex = found[index].fileIndex;
            blocks[index].position = found[index].position;
            blocks[index].shape = shape;
        }
    }
    return blocks;
}

int32_t EmbeddedResult::Kind(const rxDataType& dataType) const {
    const DataTypeEntry* entry =
        result != nullptr ? result->FindDataType(dataType.GetName()) : nullptr;
    return entry != nullptr ? entry->Kind() : -1;
}

namespace {

std::string EncodingName(const ResFileSet& files) {
    return encodingnames::DetectedName(files.GetIntEncoding(), files.GetRealEncoding(),
                                       files.BigEndian());
}

} // namespace

std::vector<EmbeddedResult::SeriesFile> EmbeddedResult::SeriesFiles() const {
    std::vector<SeriesFile> list;
    ResFileSet* files = Files();
    if (files == nullptr) {
        return list;
    }
    const int count = files->GetNumSeriesFiles();
    for (int index = 0; index < count; ++index) {
        SeriesFile file;
        file.name = files->GetSeriesFileName(index);
        if (files->OpenFile(file.name)) {
            char title[reslayout::kTitleWidth] = {};
            char text[2][reslayout::kHeaderTextWidth] = {};
            file.detected = files->ReadBytes(title, sizeof title) == sizeof title &&
                            files->ReadBytes(text[0], sizeof text[0]) == sizeof text[0] &&
                            files->ReadBytes(text[1], sizeof text[1]) == sizeof text[1];
            file.title = reslayout::FieldText(title, sizeof title);
            file.text[0] = reslayout::FieldText(text[0], sizeof text[0]);
            file.text[1] = reslayout::FieldText(text[1], sizeof text[1]);
            if (file.detected) {
                file.encoding = EncodingName(*files);
            }
            files->CloseFile();
        }
        list.push_back(std::move(file));
    }
    return list;
}

ResFileSet* EmbeddedResult::Files() const {
    return result != nullptr ? &result->FileSet() : nullptr;
}

std::vector<int32_t> EmbeddedResult::EntityIds(rxDataType& dataType) const {
    IdCollector collector;
    if (subcase != nullptr) {
        subcase->ReadEntityIDs(&dataType, kEntityIdOption, &collector);
    }
    return collector.Take();
}
