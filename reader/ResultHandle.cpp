#include "ResultHandle.h"

#include "model/DataTypeEntry.h"
#include "model/kvresResult.h"
#include "plugin/ReaderExport.h"

#include "rxAllocator.h"
#include "rxDataType.h"
#include "rxEntityIdReceiver.h"
#include "rxReaderRecord.h"
#include "rxSimulation.h"
#include "rxSubcase.h"

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

// Keeps every id handed over, in order.
class IdCollector final : public rxEntityIdReceiver {
public:
    void SetNumEntities(int) override {}
    void AddEntityID(int id) override { ids.push_back(id); }
    std::vector<int32_t> ids;
};

constexpr int kEntityIdOption = 0;

} // namespace

bool ResultHandle::Identify(const std::string& path) {
    return Record().identifyFile(path.c_str());
}

ResultHandle::ResultHandle(const std::string& path) {
    rxResult* created = Record().createResult(path.c_str(), rxAllocator::Default());
    result = dynamic_cast<kvresResult*>(created);
    if (result == nullptr) {
        if (created != nullptr) {
            created->Release();
        }
        throw std::bad_alloc();
    }
    try {
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

ResultHandle::~ResultHandle() {
    Close();
}

void ResultHandle::Close() {
    dataTypes.clear();
    subcase = nullptr;
    if (result != nullptr) {
        result->Release();
        result = nullptr;
    }
}

rxDataType* ResultHandle::FindDataType(const std::string& name) const {
    for (rxDataType* type : dataTypes) {
        if (name == type->GetName()) {
            return type;
        }
    }
    return nullptr;
}

int ResultHandle::SimulationCount() const {
    return subcase != nullptr ? subcase->GetNumSimulations() : 0;
}

rxSimulation* ResultHandle::Simulation(int index) const {
    return subcase != nullptr ? subcase->GetSimulation(index) : nullptr;
}

bool ResultHandle::IsComplex() const {
    return subcase != nullptr && subcase->GetSubcaseType() == 1;
}

bool ResultHandle::FindBlock(const rxDataType& dataType, const rxSimulation* simulation,
                             Block& block) const {
    if (result == nullptr || simulation == nullptr) {
        return false;
    }
    const char* name = dataType.GetName();
    const DataTypeEntry* entry = result->FindDataType(name);
    if (entry == nullptr || !entry->FindLocation(simulation, &block.position, &block.fileIndex)) {
        return false;
    }
    block.shape = DataSetShape::Of(entry->Kind(), name);
    block.magnitudesOnly = DataSetShape::ReadsMagnitudesOnly(name);
    return block.shape.form != DataSetShape::None;
}

ResFileSet* ResultHandle::Files() const {
    return result != nullptr ? result->GetFileSet() : nullptr;
}

std::vector<int32_t> ResultHandle::EntityIds(rxDataType& dataType) const {
    IdCollector collector;
    if (subcase != nullptr) {
        subcase->ReadEntityIDs(&dataType, kEntityIdOption, &collector);
    }
    return std::move(collector.ids);
}
