#include "ResultComparer.h"

#include "DataSetReference.h"
#include "DataSetRows.h"
#include "NameMatch.h"
#include "Tolerance.h"

#include <rxDataType.h>
#include <rxResult.h>
#include <rxSimulation.h>
#include <rxSubcase.h>

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace {

// Ids listed per data set when they are found in one result only.
constexpr std::size_t kIdsListed = 10;
constexpr const char* kRequestText = "";

struct TypeInfo {
    rxDataType* type = nullptr;
    int binding = 0;
    int format = 0;
};

std::vector<std::pair<std::string, TypeInfo>> DataTypes(rxSubcase& subcase) {
    subcase.ReadDataTypes();
    std::vector<std::pair<std::string, TypeInfo>> types;
    for (int t = 0; t < subcase.GetNumDataTypes(); ++t) {
        rxDataType* type = subcase.GetDataType(t);
        if (type == nullptr) {
            continue;
        }
        const auto& attributes = type->GetAttributes();
        types.push_back({type->GetName(),
                         {type, static_cast<int>(type->GetBinding()),
                          attributes.empty() ? 0 : static_cast<int>(attributes.front().format)}});
    }
    return types;
}

const TypeInfo* Find(const std::vector<std::pair<std::string, TypeInfo>>& types,
                     const std::string& name) {
    for (const auto& [typeName, info] : types) {
        if (typeName == name) {
            return &info;
        }
    }
    return nullptr;
}

std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

std::string Label(rxSimulation* simulation) {
    const char* label = simulation != nullptr ? simulation->GetLabel() : nullptr;
    return label != nullptr ? label : "";
}

void Note(DiffReport::Extreme& extreme, double difference, int id, int component, int simulation) {
    if (!extreme.any || difference > extreme.difference) {
        extreme = {true, difference, id, component, simulation};
    }
}

// Whether component `c` of a row of `layout` is a phase, and if so which
// component holds its magnitude.
bool IsPhase(DataSetRows::Layout layout, int c, int& magnitude) {
    if (layout == DataSetRows::Layout::ComplexScalar && c == 1) {
        magnitude = 0;
        return true;
    }
    if (layout == DataSetRows::Layout::ComplexVector && c >= 3) {
        magnitude = c - 3;
        return true;
    }
    return false;
}

void CompareValues(const rxDataSet& a, const rxDataSet& b, const Tolerance& tolerance,
                   DiffReport::DataSet& result) {
    const DataSetRows valuesA(a, result.complexRead);
    const DataSetRows valuesB(b, result.complexRead);
    if (valuesA.Count() != 0 && valuesB.Count() != 0 &&
        valuesA.GetLayout() != valuesB.GetLayout()) {
        result.problem = "the values have different layouts";
        return;
    }
    const std::vector<int>& idsA = a.EntityIDs();
    const std::vector<int>& idsB = b.EntityIDs();
    const std::size_t countA = std::min(idsA.size(), valuesA.Count());
    const std::size_t countB = std::min(idsB.size(), valuesB.Count());

    // Pairs of rows: by position when the id sequences agree, else by id.
    std::vector<std::pair<std::size_t, std::size_t>> pairs;
    const bool sameOrder =
        countA == countB &&
        std::equal(idsA.begin(), idsA.begin() + static_cast<long>(countA), idsB.begin());
    if (sameOrder) {
        pairs.reserve(countA);
        for (std::size_t i = 0; i < countA; ++i) {
            pairs.emplace_back(i, i);
        }
    } else {
        // An id may repeat: its k-th row in A meets its k-th row in B.
        struct Rows {
            std::vector<std::size_t> rows; // the id's rows in B, in order
            std::size_t used = 0;          // how many of them A has taken
        };
        std::unordered_map<int, Rows> rowsOfB;
        for (std::size_t j = 0; j < countB; ++j) {
            rowsOfB[idsB[j]].rows.push_back(j);
        }
        std::vector<bool> matched(countB, false);
        for (std::size_t i = 0; i < countA; ++i) {
            const auto found = rowsOfB.find(idsA[i]);
            if (found == rowsOfB.end() || found->second.used == found->second.rows.size()) {
                if (result.onlyInA.size() < kIdsListed) {
                    result.onlyInA.push_back(idsA[i]);
                }
                ++result.onlyInACount;
                continue;
            }
            const std::size_t j = found->second.rows[found->second.used++];
            matched[j] = true;
            pairs.emplace_back(i, j);
        }
        for (std::size_t j = 0; j < countB; ++j) {
            if (!matched[j]) {
                if (result.onlyInB.size() < kIdsListed) {
                    result.onlyInB.push_back(idsB[j]);
                }
                ++result.onlyInBCount;
            }
        }
    }

    const DataSetRows::Layout layout = valuesA.GetLayout();
    const int width = valuesA.Width();
    float rowA[6];
    float rowB[6];
    for (const auto& [i, j] : pairs) {
        valuesA.Row(i, rowA);
        valuesB.Row(j, rowB);
        for (int c = 0; c < width; ++c) {
            int magnitude = 0;
            const Comparison comparison =
                IsPhase(layout, c, magnitude)
                    ? tolerance.Phases(rowA[c], rowB[c], rowA[magnitude], rowB[magnitude])
                    : tolerance.Numbers(rowA[c], rowB[c]);
            ++result.compared;
            if (comparison.differs) {
                ++result.differing;
            }
            Note(result.largestAbsolute, comparison.absolute, idsA[i], c, result.simulation);
            Note(result.largestRelative, comparison.relative, idsA[i], c, result.simulation);
        }
    }
}

// The pairs of simulation indices (A, B) that --sim selects: `last` alone
// pairs the last of each; otherwise an index missing from one result is a
// difference of structure, and one missing from both a mistake (false, with
// `error` set).
bool SimulationPairs(const ToolOptions& options, int countA, int countB,
                     const std::vector<float>& syncA, std::vector<std::pair<int, int>>& pairs,
                     std::vector<std::string>& structure, std::string& error) {
    const SimulationList& list = options.simulations;
    std::vector<int> indices;
    if (list.HasSync() && !list.All()) {
        // Sync values are A's; the indices they choose are paired as such.
        if (!list.Resolve(syncA, "A", indices, error)) {
            return false;
        }
        for (const int index : indices) {
            if (index < countB) {
                pairs.emplace_back(index, index);
            } else {
                structure.push_back("simulation " + std::to_string(index) + " is missing from B");
            }
        }
        return true;
    }
    if (list.All()) {
        for (int i = 0; i < std::min(countA, countB); ++i) {
            pairs.emplace_back(i, i);
        }
        return true;
    }
    if (list.LastOnly()) {
        if (countA > 0 && countB > 0) {
            pairs.emplace_back(countA - 1, countB - 1);
        }
        return true;
    }
    int outOfRange = 0;
    const int count = std::max(countA, countB);
    if (!list.Resolve(count, indices, outOfRange)) {
        error = SimulationList::OutOfRange(outOfRange, "each result", count);
        return false;
    }
    for (const int index : indices) {
        if (index < countA && index < countB) {
            pairs.emplace_back(index, index);
        } else {
            structure.push_back("simulation " + std::to_string(index) + " is missing from " +
                                (index >= countA ? "A" : "B"));
        }
    }
    return true;
}

} // namespace

bool ResultComparer::Compare(rxResult& a, rxResult& b, DiffReport& report,
                             std::string& error) const {
    report.rtol = options.rtol;
    report.atol = options.atol;
    report.floor = options.floor;
    const int subcasesA = a.GetNumSubcases();
    const int subcasesB = b.GetNumSubcases();
    if (subcasesA != subcasesB) {
        report.structure.push_back("A has " + std::to_string(subcasesA) + " subcases, B has " +
                                   std::to_string(subcasesB));
    }
    std::vector<std::string> typesKnown; // every data type of either result
    for (int s = 0; s < std::min(subcasesA, subcasesB); ++s) {
        rxSubcase* subcaseA = a.GetSubcase(s);
        rxSubcase* subcaseB = b.GetSubcase(s);
        if (subcaseA == nullptr || subcaseB == nullptr) {
            continue;
        }
        if (subcaseA->GetSubcaseType() != subcaseB->GetSubcaseType()) {
            report.structure.push_back("subcase type " +
                                       std::to_string(subcaseA->GetSubcaseType()) + " in A, " +
                                       std::to_string(subcaseB->GetSubcaseType()) + " in B");
        }
        const bool complexRead = options.selection.readMode == ResultSelection::ReadMode::Complex ||
                                 (options.selection.readMode == ResultSelection::ReadMode::Auto &&
                                  subcaseA->GetSubcaseType() == 1);
        const auto typesA = DataTypes(*subcaseA);
        const auto typesB = DataTypes(*subcaseB);
        for (const auto* types : {&typesA, &typesB}) {
            for (const auto& named : *types) {
                typesKnown.push_back(named.first);
            }
        }
        const auto selected = [&](const std::string& name) {
            return options.selection.types.empty() ||
                   std::any_of(options.selection.types.begin(), options.selection.types.end(),
                               [&name](const std::string& pattern) {
                                   return pattern == name || (namematch::IsPattern(pattern) &&
                                                              namematch::Matches(pattern, name));
                               });
        };
        std::vector<std::pair<std::string, std::pair<const TypeInfo*, const TypeInfo*>>> common;
        for (const auto& [name, info] : typesA) {
            if (!selected(name)) {
                continue;
            }
            const TypeInfo* other = Find(typesB, name);
            if (other == nullptr) {
                report.structure.push_back("data type " + Quoted(name) + " only in A");
                common.push_back({name, {&info, nullptr}});
                continue;
            }
            if (info.binding != other->binding || info.format != other->format) {
                report.structure.push_back("data type " + Quoted(name) + ": binding " +
                                           std::to_string(info.binding) + ", format " +
                                           std::to_string(info.format) + " in A; binding " +
                                           std::to_string(other->binding) + ", format " +
                                           std::to_string(other->format) + " in B");
            }
            common.push_back({name, {&info, other}});
        }
        for (const auto& [name, info] : typesB) {
            if (selected(name) && Find(typesA, name) == nullptr) {
                report.structure.push_back("data type " + Quoted(name) + " only in B");
                common.push_back({name, {nullptr, &info}});
            }
        }

        const int countA = subcaseA->GetNumSimulations();
        const int countB = subcaseB->GetNumSimulations();
        if (countA != countB) {
            report.structure.push_back("A has " + std::to_string(countA) + " simulations, B has " +
                                       std::to_string(countB));
        }
        std::vector<float> syncA;
        for (int i = 0; i < countA; ++i) {
            const rxSimulation* simulation = subcaseA->GetSimulation(i);
            syncA.push_back(simulation != nullptr ? simulation->GetSyncValue() : 0.0f);
        }
        std::vector<std::pair<int, int>> pairs;
        if (!SimulationPairs(options, countA, countB, syncA, pairs, report.structure, error)) {
            return false;
        }
        for (const auto& [indexA, indexB] : pairs) {
            rxSimulation* simulationA = subcaseA->GetSimulation(indexA);
            rxSimulation* simulationB = subcaseB->GetSimulation(indexB);
            if (simulationA == nullptr || simulationB == nullptr) {
                continue;
            }
            const std::string where = "simulation " + std::to_string(indexA);
            if (Label(simulationA) != Label(simulationB)) {
                report.structure.push_back(where + ": label " + Quoted(Label(simulationA)) +
                                           " in A, " + Quoted(Label(simulationB)) + " in B");
            }
            const float syncA = simulationA->GetSyncValue();
            const float syncB = simulationB->GetSyncValue();
            if (!(syncA == syncB || (std::isnan(syncA) && std::isnan(syncB)))) {
                report.structure.push_back(where + ": sync " + std::to_string(syncA) + " in A, " +
                                           std::to_string(syncB) + " in B");
            }
            for (const auto& [name, infos] : common) {
                // A data type of one result only: its data sets there, each
                // listed as only in that result.
                DataSetReference dataA(
                    infos.first == nullptr
                        ? nullptr
                        : simulationA->ReadDataSet(infos.first->type, kRequestText));
                DataSetReference dataB(
                    infos.second == nullptr
                        ? nullptr
                        : simulationB->ReadDataSet(infos.second->type, kRequestText));
                if (dataA.Get() == nullptr && dataB.Get() == nullptr) {
                    continue;
                }
                DiffReport::DataSet result;
                result.dataType = name;
                result.simulation = indexA;
                result.simulationB = indexB;
                result.complexRead = complexRead;
                result.inA = dataA.Get() != nullptr;
                result.inB = dataB.Get() != nullptr;
                if (result.inA && result.inB) {
                    result.okA =
                        complexRead ? dataA.Get()->ReadComplexData(0) : dataA.Get()->ReadData(0);
                    result.okB =
                        complexRead ? dataB.Get()->ReadComplexData(0) : dataB.Get()->ReadData(0);
                    double rtol = options.rtol;
                    double atol = options.atol;
                    for (const ToolOptions::TypeTolerance& own : options.typeTolerances) {
                        if (own.name == name) {
                            rtol = own.rtol;
                            atol = own.atol;
                        }
                    }
                    CompareValues(*dataA.Get(), *dataB.Get(), Tolerance(rtol, atol, options.floor),
                                  result);
                    if (result.largestAbsolute.any) {
                        Note(report.largestAbsolute, result.largestAbsolute.difference,
                             result.largestAbsolute.id, result.largestAbsolute.component,
                             result.largestAbsolute.simulation);
                        Note(report.largestRelative, result.largestRelative.difference,
                             result.largestRelative.id, result.largestRelative.component,
                             result.largestRelative.simulation);
                    }
                }
                report.dataSets.push_back(std::move(result));
            }
        }
    }
    std::vector<std::string> selected;
    if (!namematch::Expand(options.selection.types, typesKnown, selected, error)) {
        error += " in either result";
        return false;
    }
    for (const ToolOptions::TypeTolerance& own : options.typeTolerances) {
        if (std::find(typesKnown.begin(), typesKnown.end(), own.name) == typesKnown.end()) {
            error = "option '--tol' names '" + own.name + "', a data type of neither result";
            return false;
        }
    }
    return true;
}
