// Helpers for the tests of the subcase, simulation and data-set reads: a
// loaded result (scanned, data types created) that releases itself, owning
// handles for data sets, a cache clearer and an id receiver that record what
// they are handed, and the writer encodings every read is checked in.
#pragma once

#include "ResWriter.h"
#include "TempDir.h"
#include "model/kvresResult.h"
#include "model/kvresSubcase.h"

#include "rxDataSet.h"
#include "rxEntityIdReceiver.h"
#include "rxFileCacheClearer.h"
#include "rxSimulation.h"

#include <memory>
#include <string>
#include <vector>

namespace readtest {

using reswriter::DataTypeRow;
using reswriter::Encoding;
using reswriter::Layout;
using reswriter::Record;
using reswriter::Simulation;
using reswriter::TempDir;

struct Releaser {
    void operator()(rxObject* object) const {
        if (object != nullptr) {
            object->Release();
        }
    }
};
template <class T> using Ref = std::unique_ptr<T, Releaser>;

// A result built from `path`, scanned, with its data types created.
class LoadedResult {
public:
    explicit LoadedResult(const std::string& path) : result(new kvresResult(path.c_str())) {
        result->GetNumSubcases();
        subcase = static_cast<kvresSubcase*>(result->GetSubcase(0));
        if (subcase != nullptr) {
            subcase->ReadDataTypes();
        }
    }

    kvresResult& Result() const { return *result; }
    kvresSubcase& Subcase() const { return *subcase; }
    rxDataType* Type(const std::string& name) const {
        return subcase->FindDataTypeByName(name.c_str());
    }
    rxSimulation* Sim(int index) const { return subcase->GetSimulation(index); }

    // The data set of data type `name` in simulation `simulation`, or null.
    Ref<rxDataSet> DataSet(const std::string& name, int simulation = 0) const {
        rxDataType* type = Type(name);
        rxSimulation* sim = Sim(simulation);
        if (type == nullptr || sim == nullptr) {
            return nullptr;
        }
        return Ref<rxDataSet>(sim->ReadDataSet(type, "text"));
    }

private:
    Ref<kvresResult> result;
    kvresSubcase* subcase = nullptr;
};

// Installs itself as the host's file cache clearer for its lifetime.
class RecordingClearer final : public rxFileCacheClearer {
public:
    RecordingClearer() : previous(SetInstance(this)) {}
    ~RecordingClearer() override { SetInstance(previous); }
    void AddFileName(const char* fileName) override { names.emplace_back(fileName); }

    std::vector<std::string> names;

private:
    rxFileCacheClearer* previous;
};

class RecordingReceiver final : public rxEntityIdReceiver {
public:
    void SetNumEntities(int count) override { counts.push_back(count); }
    void AddEntityID(int id) override { ids.push_back(id); }

    std::vector<int> counts;
    std::vector<int> ids;
};

inline std::string WriteRes(const TempDir& dir, const std::string& name,
                            const reswriter::ResFile& file, Layout* layout = nullptr) {
    const std::string path = dir.File(name);
    reswriter::WriteFile(path, reswriter::Write(file, layout));
    return path;
}

// The encodings every read is checked in.
inline const std::vector<Encoding>& ReadEncodings() {
    static const std::vector<Encoding> encodings = {
        reswriter::kInt4Real4LE, reswriter::kInt4Real4BE, reswriter::kInt8SecondCray8LE,
        reswriter::kInt8SecondCray8BE};
    return encodings;
}

inline std::string EncodingName(const Encoding& encoding) {
    std::string name = encoding.intFormat == reswriter::IntFormat::Int4 ? "Int4Real4" : "Int8Cray8";
    return name + (encoding.bigEndian ? "BE" : "LE");
}

// `count` records with ids 100, 101, ... and `reals` reals each, all values
// stored exactly in `encoding`.
inline std::vector<Record> Records(int count, int reals, const Encoding& encoding) {
    std::vector<Record> records;
    for (int i = 0; i < count; ++i) {
        Record record{100 + i, {}};
        for (int r = 0; r < reals; ++r) {
            record.reals.push_back(reswriter::Representable(1.5f + 10.0f * i + r, encoding));
        }
        records.push_back(record);
    }
    return records;
}

// The phase conversion the host expects: degrees widened to double, times
// pi/180 as a single, rounded once to float.
inline float Radians(float degrees) {
    return static_cast<float>(static_cast<double>(degrees) * 0.01745329238474369);
}

} // namespace readtest
