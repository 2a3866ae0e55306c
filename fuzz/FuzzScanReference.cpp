// The scan-reference target: an input is one .res file (up to 4 KB), opened
// as a result the host's way, and everything the host can learn from it must
// equal the plain reading of ScanReference: the subcase type, the data types
// (names, binding, format) in ReadDataTypes order, the simulations with
// their labels and sync values, the directory's entries with their kinds and,
// for every simulation, which entries have a block and where; then, for the
// first and last simulations and a few between, every data set's values
// from both reads, and every data type's entity ids, bit for bit.
#include "FuzzEntries.h"
#include "ScanReference.h"
#include "TempDir.h"

#include "model/kvresResult.h"

#include "rxDataSet.h"
#include "rxDataType.h"
#include "rxEntityIdReceiver.h"
#include "rxSimulation.h"
#include "rxSubcase.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace kvresfuzz {
namespace {

// Simulations whose data sets are read, spread from the first to the last.
constexpr int kValueSimulations = 4;

// `what` makes the message (a callable giving a string); it runs only when
// the check fails, so that passing checks allocate nothing.
template <class What> void Expect(bool holds, What&& what) {
    if (!holds) {
        const std::string message = what();
        std::fprintf(stderr, "scan reference: %s\n", message.c_str());
        FuzzFailure("scan_reference: the reader and the plain reading disagree");
    }
}

bool SameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool SameBits(const rxVector3D& a, const rxVector3D& b) {
    return SameBits(a.x, b.x) && SameBits(a.y, b.y) && SameBits(a.z, b.z);
}

float Radians(float degrees) {
    return static_cast<float>(static_cast<double>(degrees) * 0.01745329238474369);
}

// How the host sees an entry of `kind`: the data types it makes, as (name
// suffix, binding, attribute, format).
struct Shown {
    const char* suffix;
    rxDataType::Binding binding;
    const char* attribute;
    rxDataSet::Format format;
};

std::vector<Shown> ShownAs(std::int32_t kind) {
    const Shown node{"", rxDataType::Nodes, "Node", rxDataSet::Scalar};
    const Shown element{"", rxDataType::Elements, "Elements", rxDataSet::Scalar};
    const Shown vector{"", rxDataType::Nodes, "Node", rxDataSet::Vector};
    switch (kind) {
    case 0:
    case 4:
        return {vector};
    case 1:
    case 5:
        return {node};
    case 3:
    case 6:
        return {element};
    case 7:
    case 8: {
        const Shown& base = kind == 7 ? node : element;
        return {Shown{":Magnitude", base.binding, base.attribute, base.format},
                Shown{":Phase", base.binding, base.attribute, base.format},
                Shown{":Offset", base.binding, base.attribute, base.format}};
    }
    default:
        return {};
    }
}

class IdList : public rxEntityIdReceiver {
public:
    void SetNumEntities(int count) override {
        ++announcements;
        announced = count;
    }
    void AddEntityID(int id) override { ids.push_back(id); }
    int announcements = 0;
    int announced = 0;
    std::vector<std::int32_t> ids;
};

void CompareStructure(kvresResult& result, rxSubcase& subcase, const ScanReference& reference) {
    Expect(subcase.GetSubcaseType() == (reference.Complex() ? 1 : 2),
           [&] { return std::string("subcase type"); });
    Expect(result.HasComplexData() == reference.Complex(),
           [&] { return std::string("complex data"); });

    const int simulations = subcase.GetNumSimulations();
    Expect(simulations == static_cast<int>(reference.Simulations().size()), [&] {
        return std::string("simulation count " + std::to_string(simulations) + " against " +
                           std::to_string(reference.Simulations().size()));
    });
    for (int s = 0; s < simulations; ++s) {
        const rxSimulation* simulation = subcase.GetSimulation(s);
        const ScanReference::Simulation& want = reference.Simulations()[s];
        Expect(simulation != nullptr && want.label == simulation->GetLabel(),
               [&] { return std::string("label of simulation " + std::to_string(s)); });
        const float sync = simulation->GetSyncValue();
        Expect(SameBits(sync, want.sync) || (std::isnan(sync) && std::isnan(want.sync)),
               [&] { return std::string("sync value of simulation " + std::to_string(s)); });
    }

    const DataTypeDirectory& directory = result.DataTypes();
    const std::vector<ScanReference::Entry>& entries = reference.Entries();
    Expect(directory.Size() == entries.size(), [&] {
        return std::string("directory size " + std::to_string(directory.Size()) + " against " +
                           std::to_string(entries.size()));
    });
    for (std::size_t e = 0; e < entries.size(); ++e) {
        const DataTypeEntry& entry = directory.At(e);
        Expect(entry.Name() == entries[e].name && entry.Kind() == entries[e].kind, [&] {
            return std::string("entry " + std::to_string(e) + " '" + entry.Name() + "' kind " +
                               std::to_string(entry.Kind()) + " against '" + entries[e].name +
                               "' kind " + std::to_string(entries[e].kind));
        });
        for (int s = 0; s < simulations; ++s) {
            std::int32_t position = -1;
            std::int32_t fileIndex = -1;
            const bool found = entry.FindLocation(subcase.GetSimulation(s), &position, &fileIndex);
            const auto want = entries[e].firstBlock.find(s);
            const bool wanted = want != entries[e].firstBlock.end();
            Expect(
                found == wanted && (!found || (position == want->second && fileIndex == 0)), [&] {
                    return std::string("block of '" + entries[e].name + "' in simulation " +
                                       std::to_string(s) + ": " +
                                       (found ? std::to_string(position) : "none") + " against " +
                                       (wanted ? std::to_string(want->second) : "none"));
                });
        }
    }

    // The host's data types, in order.
    subcase.ReadDataTypes();
    int t = 0;
    for (const ScanReference::Entry& entry : entries) {
        for (const Shown& shown : ShownAs(entry.kind)) {
            const rxDataType* type =
                t < subcase.GetNumDataTypes() ? subcase.GetDataType(t) : nullptr;
            const std::string name = entry.name + shown.suffix;
            Expect(type != nullptr && name == type->GetName() &&
                       type->GetBinding() == shown.binding && type->GetAttributes().size() == 1 &&
                       type->GetAttributes()[0].name == shown.attribute &&
                       type->GetAttributes()[0].format == shown.format,
                   [&] {
                       return std::string("host data type " + std::to_string(t) + " '" + name +
                                          "'");
                   });
            ++t;
        }
    }
    Expect(t == subcase.GetNumDataTypes(),
           [&] { return std::string("number of host data types"); });
}

// What a data set of the host type `name` with the directory kind `kind`
// reads: a vector, or a scalar with its component of how many; false for
// none.
struct Shape {
    bool vector = false;
    int component = 0;
    int components = 0;
};

bool ShapeOf(std::int32_t kind, const std::string& name, Shape& shape) {
    switch (kind) {
    case 0:
    case 4:
        shape = Shape{true, 0, 0};
        return true;
    case 1:
    case 3:
        shape = Shape{false, 0, 1};
        return true;
    case 5:
    case 6:
        shape = Shape{false, 0, 2};
        return true;
    case 7:
    case 8: {
        const std::size_t colon = name.rfind(':');
        const std::string suffix = colon == std::string::npos ? "" : name.substr(colon + 1);
        const char* const parts[] = {"Magnitude", "Phase", "Offset"};
        for (int c = 0; c < 3; ++c) {
            if (colon != std::string::npos && suffix == parts[c]) {
                shape = Shape{false, c, 3};
                return true;
            }
        }
        return false;
    }
    default:
        return false;
    }
}

void CompareIds(const rxDataSet& set, const ScanReference::Block& block, const std::string& what) {
    Expect(set.ReservedCount() == block.announced,
           [&] { return std::string(what + ": count announced"); });
    Expect(set.EntityIDs() == block.ids, [&] { return std::string(what + ": entity ids"); });
}

void CompareDataSet(rxDataSet& set, const std::string& name, const Shape& shape,
                    std::int32_t position, const ScanReference& reference,
                    const std::string& what) {
    if (shape.vector) {
        const ScanReference::Block plain = reference.ReadBlock(position, 3);
        set.ReadData(0);
        CompareIds(set, plain, what + " ReadData");
        const std::vector<rxVector3D>& vectors = set.VectorValues();
        Expect(vectors.size() == plain.ids.size(),
               [&] { return std::string(what + " ReadData: values"); });
        for (std::size_t i = 0; i < vectors.size(); ++i) {
            const float* r = &plain.reals[3 * i];
            Expect(SameBits(vectors[i], rxVector3D{r[0], r[1], r[2]}),
                   [&] { return std::string(what + " ReadData: value " + std::to_string(i)); });
        }
        const bool magnitudesOnly = name.find("_NC") != std::string::npos;
        const ScanReference::Block complex = reference.ReadBlock(position, magnitudesOnly ? 3 : 6);
        set.ReadComplexData(0);
        CompareIds(set, complex, what + " ReadComplexData");
        const std::vector<rxDataSet::ComplexVector>& values = set.ComplexVectorValues();
        Expect(values.size() == complex.ids.size(),
               [&] { return std::string(what + " ReadComplexData: values"); });
        for (std::size_t i = 0; i < values.size(); ++i) {
            rxVector3D magnitude;
            rxVector3D phase;
            if (magnitudesOnly) {
                const float* r = &complex.reals[3 * i];
                magnitude = rxVector3D{r[0], r[1], r[2]};
                phase = rxVector3D{0.0f, 0.0f, 0.0f};
            } else {
                const float* r = &complex.reals[6 * i];
                magnitude = rxVector3D{r[0], r[2], r[4]};
                phase = rxVector3D{Radians(r[1]), Radians(r[3]), Radians(r[5])};
            }
            Expect(
                SameBits(values[i].magnitude, magnitude) && SameBits(values[i].phase, phase),
                [&] { return std::string(what + " ReadComplexData: value " + std::to_string(i)); });
        }
        return;
    }
    const ScanReference::Block plain = reference.ReadBlock(position, shape.components);
    set.ReadData(0);
    CompareIds(set, plain, what + " ReadData");
    const std::vector<float>& scalars = set.ScalarValues();
    Expect(scalars.size() == plain.ids.size(),
           [&] { return std::string(what + " ReadData: values"); });
    for (std::size_t i = 0; i < scalars.size(); ++i) {
        Expect(SameBits(scalars[i], plain.reals[shape.components * i + shape.component]),
               [&] { return std::string(what + " ReadData: value " + std::to_string(i)); });
    }
    set.ReadComplexData(0);
    CompareIds(set, plain, what + " ReadComplexData");
    const std::vector<rxDataSet::ComplexScalar>& values = set.ComplexScalarValues();
    Expect(values.size() == plain.ids.size(),
           [&] { return std::string(what + " ReadComplexData: values"); });
    for (std::size_t i = 0; i < values.size(); ++i) {
        const float* r = &plain.reals[shape.components * i];
        const float magnitude = r[shape.component];
        const float phase = shape.components == 2 ? Radians(r[1]) : 0.0f;
        Expect(SameBits(values[i].magnitude, magnitude) && SameBits(values[i].phase, phase),
               [&] { return std::string(what + " ReadComplexData: value " + std::to_string(i)); });
    }
}

void CompareValues(rxSubcase& subcase, const ScanReference& reference) {
    const int types = subcase.GetNumDataTypes();
    const int simulations = subcase.GetNumSimulations();
    for (int t = 0; t < types; ++t) {
        rxDataType* type = subcase.GetDataType(t);
        const std::string name = type->GetName();
        const ScanReference::Entry* entry = reference.FindDataType(name);
        const std::string what = "'" + name + "'";
        // Entity ids: the block of the first simulation; an empty name asks
        // for nothing.
        IdList ids;
        const int delivered = subcase.ReadEntityIDs(type, 0, &ids);
        const bool inFirst = !name.empty() && entry != nullptr && entry->firstBlock.count(0) != 0;
        if (!inFirst) {
            Expect(delivered == 0 && ids.announcements == 0 && ids.ids.empty(),
                   [&] { return std::string(what + " ReadEntityIDs without a block"); });
        } else {
            static const int kReals[] = {3, 1, 0, 1, 6, 2, 2, 3, 3};
            const int reals = entry->kind >= 0 && entry->kind <= 8 ? kReals[entry->kind] : 0;
            const ScanReference::Block block =
                reference.ReadBlock(entry->firstBlock.at(0), reals > 0 ? reals : 0);
            const std::vector<std::int32_t> none;
            const std::vector<std::int32_t>& want = reals > 0 ? block.ids : none;
            Expect(ids.announcements == 1 && ids.announced == (reals > 0 ? block.announced : 0) &&
                       ids.ids == want && delivered == static_cast<int>(want.size()),
                   [&] { return std::string(what + " ReadEntityIDs"); });
        }
        // Data sets of a few simulations, first and last among them.
        const int visited = simulations < kValueSimulations ? simulations : kValueSimulations;
        for (int v = 0; v < visited; ++v) {
            const int s = visited < simulations ? v * (simulations - 1) / (visited - 1) : v;
            rxSimulation* simulation = subcase.GetSimulation(s);
            Shape shape;
            const bool readable = entry != nullptr && entry->firstBlock.count(s) != 0 &&
                                  ShapeOf(entry->kind, name, shape);
            rxDataSet* set = simulation->ReadDataSet(type, "");
            Expect((set != nullptr) == readable, [&] {
                return std::string(what + " data set in simulation " + std::to_string(s));
            });
            if (set != nullptr) {
                CompareDataSet(*set, name, shape, entry->firstBlock.at(s), reference,
                               what + " in simulation " + std::to_string(s));
                set->Release();
            }
        }
    }
}

} // namespace

int ScanReferenceOneInput(const std::uint8_t* data, std::size_t size) {
    static reswriter::TempDir folder(reswriter::TempDir::Place::MemoryWherePossible);
    static const std::string path = folder.File("input.res");
    if (size > 4096 || !folder.Put("input.res", data, size)) {
        return 0;
    }
    const ScanReference reference(data, size);
    kvresResult* result = new kvresResult(path.c_str());
    if (result == nullptr) {
        return 0;
    }
    Expect(result->GetNumSubcases() == 1, [&] { return std::string("one subcase"); });
    rxSubcase* subcase = result->GetSubcase(0);
    Expect(subcase != nullptr, [&] { return std::string("the subcase"); });
    CompareStructure(*result, *subcase, reference);
    CompareValues(*subcase, reference);
    result->Release();
    return 0;
}

} // namespace kvresfuzz
