// ResultQueries: the structure answers and the history shared by kvres::Result
// and the Python module.
#include "ResultQueries.h"

#include "fileio/ResFileSet.h"

#include "rxDataType.h"
#include "rxSimulation.h"
#include "rxSubcase.h"

#include <algorithm>
#include <functional>
#include <limits>

rxDataType& ResultQueries::FindType(const EmbeddedResult& open, const std::string& name) {
    std::string missing;
    if (rxDataType* type = open.FindDataType(name, &missing)) {
        return *type;
    }
    throw kvres::DataTypeNotFoundError(missing);
}

int ResultQueries::SimulationIndex(const EmbeddedResult& open, long long given) {
    std::string outOfRange;
    const int index = open.SimulationIndex(given, outOfRange);
    if (index < 0) {
        throw kvres::SimulationIndexError(outOfRange);
    }
    return index;
}

bool ResultQueries::IsComplexRead(const EmbeddedResult& open, kvres::ReadMode mode) {
    return mode == kvres::ReadMode::Auto ? open.IsComplex() : mode == kvres::ReadMode::Complex;
}

bool ResultQueries::SubcaseOf(const EmbeddedResult& open, kvres::Subcase& subcase) {
    const rxSubcase* found = open.Subcase();
    if (found == nullptr) {
        return false;
    }
    subcase.id = found->GetID();
    subcase.label = found->GetLabel();
    subcase.isComplex = open.IsComplex();
    return true;
}

std::vector<kvres::DataType> ResultQueries::DataTypes(const EmbeddedResult& open) {
    std::vector<kvres::DataType> list;
    for (const rxDataType* type : open.DataTypes()) {
        const auto& attributes = type->GetAttributes();
        kvres::DataType entry;
        entry.name = type->GetName();
        entry.binding = type->GetBinding() == rxDataType::Elements
                            ? kvres::DataType::Binding::Elements
                            : kvres::DataType::Binding::Nodes;
        entry.format = !attributes.empty() && attributes.front().format == rxDataSet::Vector
                           ? kvres::DataType::Format::Vector
                           : kvres::DataType::Format::Scalar;
        entry.kind = open.Kind(*type);
        list.push_back(std::move(entry));
    }
    return list;
}

std::vector<kvres::SeriesFile> ResultQueries::Files(const EmbeddedResult& open) {
    return open.SeriesFiles();
}

std::vector<kvres::Simulation> ResultQueries::Simulations(const EmbeddedResult& open) {
    std::vector<kvres::Simulation> list;
    const int count = open.SimulationCount();
    for (int index = 0; index < count; ++index) {
        if (const rxSimulation* simulation = open.Simulation(index)) {
            const char* label = simulation->GetLabel();
            list.push_back({index, label != nullptr ? label : "", simulation->GetSyncValue()});
        }
    }
    return list;
}

void ResultQueries::Table(const EmbeddedResult& open, std::vector<float>& sync,
                          std::vector<std::string>& labels) {
    const int count = open.SimulationCount();
    for (int index = 0; index < count; ++index) {
        const rxSimulation* simulation = open.Simulation(index);
        const char* label = simulation != nullptr ? simulation->GetLabel() : nullptr;
        sync.push_back(simulation != nullptr ? simulation->GetSyncValue() : 0.0f);
        labels.emplace_back(label != nullptr ? label : "");
    }
}

// Data types of one binding mostly report the same sorted ids, which are
// then taken as they are.
std::vector<int32_t> ResultQueries::UnionOf(const EmbeddedResult& open,
                                            const std::vector<std::string>& names) {
    std::vector<std::vector<int32_t>> distinct;
    for (const std::string& name : names) {
        std::vector<int32_t> some = open.EntityIds(FindType(open, name));
        if (!some.empty() && std::find(distinct.begin(), distinct.end(), some) == distinct.end()) {
            distinct.push_back(std::move(some));
        }
    }
    if (distinct.empty()) {
        return {};
    }
    if (distinct.size() == 1 &&
        std::adjacent_find(distinct[0].begin(), distinct[0].end(), std::greater_equal<int32_t>()) ==
            distinct[0].end()) {
        return std::move(distinct[0]);
    }
    std::vector<int32_t> joined;
    for (const std::vector<int32_t>& some : distinct) {
        joined.insert(joined.end(), some.begin(), some.end());
    }
    std::sort(joined.begin(), joined.end());
    joined.erase(std::unique(joined.begin(), joined.end()), joined.end());
    return joined;
}

kvres::Summary ResultQueries::Summary(const EmbeddedResult& open,
                                      const std::vector<std::string>& drop, bool withIds) {
    ResFileSet::Hold hold(*open.Files());
    kvres::Summary found;
    found.hasSubcase = SubcaseOf(open, found.subcase);
    Table(open, found.sync, found.labels);
    for (kvres::DataType& type : DataTypes(open)) {
        if (std::find(drop.begin(), drop.end(), type.name) == drop.end()) {
            found.dataTypes.push_back(std::move(type));
        }
    }
    if (withIds) {
        std::vector<std::string> names[2];
        for (const kvres::DataType& type : found.dataTypes) {
            names[type.binding == kvres::DataType::Binding::Elements ? 1 : 0].push_back(type.name);
        }
        found.nodeIds = UnionOf(open, names[0]);
        found.elementIds = UnionOf(open, names[1]);
    }
    found.files = Files(open);
    return found;
}

namespace {

// The form the values of `type` take in every simulation: the first block's
// shape, else the data type's own format.
BlockValues::Form HistoryForm(const EmbeddedResult& open, const rxDataType& type,
                              bool complexRead) {
    const int count = open.SimulationCount();
    for (int index = 0; index < count; ++index) {
        EmbeddedResult::Block block;
        if (open.FindBlock(type, open.Simulation(index), block)) {
            return DataSetRead::FormOf(block.shape, complexRead);
        }
    }
    const auto& attributes = type.GetAttributes();
    DataSetShape shape;
    shape.form = !attributes.empty() && attributes.front().format == rxDataSet::Vector
                     ? DataSetShape::Vector
                     : DataSetShape::Scalar;
    return DataSetRead::FormOf(shape, complexRead);
}

} // namespace

kvres::History ResultQueries::History(const EmbeddedResult& open, const std::string& name,
                                      int32_t entity, bool complexRead) {
    rxDataType& type = FindType(open, name);
    kvres::History history;
    history.dataType = type.GetName();
    history.entity = entity;
    history.complexRead = complexRead;
    const BlockValues::Form form = HistoryForm(open, type, complexRead);
    history.form = form;
    const int width = DataSetRead::FloatsOf(form);
    history.width = width;
    const int count = open.SimulationCount();
    history.sync.assign(static_cast<std::size_t>(count), 0.0f);
    history.values.assign(static_cast<std::size_t>(count) * width,
                          std::numeric_limits<float>::quiet_NaN());
    std::vector<int32_t> ids;
    std::vector<float> floats;
    for (int index = 0; index < count; ++index) {
        const rxSimulation* simulation = open.Simulation(index);
        if (simulation != nullptr) {
            history.sync[static_cast<std::size_t>(index)] = simulation->GetSyncValue();
        }
        EmbeddedResult::Block block;
        if (!open.FindBlock(type, simulation, block)) {
            continue;
        }
        BlockValues values(*open.Files(), block.fileIndex, block.position, block.shape,
                           complexRead);
        ids.resize(static_cast<std::size_t>(values.Readable()));
        floats.resize(ids.size() * static_cast<std::size_t>(width));
        const int32_t delivered = values.Fill(ids.data(), floats.data());
        for (int32_t k = 0; k < delivered; ++k) {
            if (ids[static_cast<std::size_t>(k)] == entity) {
                std::copy_n(floats.data() + static_cast<std::size_t>(k) * width, width,
                            history.values.data() + static_cast<std::size_t>(index) * width);
                break;
            }
        }
    }
    return history;
}
