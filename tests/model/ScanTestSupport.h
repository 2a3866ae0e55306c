// Helpers for the structure-scan tests: a result handle that releases its
// reference, and a plain-text snapshot of everything a scan built (subcases,
// simulations with sync value, table position and file index, directory
// entries with kind and block locations). Comparing snapshots as text gives
// readable failure output; simulations in locations are shown by their index
// in the subcase so that two results can be compared.
#pragma once

#include "ResWriter.h"
#include "TempDir.h"
#include "model/LabelValue.h"
#include "model/kvresResult.h"
#include "model/kvresSimulation.h"
#include "rxSubcase.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace scantest {

struct ResultRelease {
    void operator()(kvresResult* result) const {
        if (result != nullptr) {
            result->Release();
        }
    }
};
using ResultPtr = std::unique_ptr<kvresResult, ResultRelease>;

inline ResultPtr OpenResult(const std::string& path) {
    return ResultPtr(new kvresResult(path.c_str()));
}

inline std::string FloatText(float value) {
    if (std::isnan(value)) {
        return "nan";
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.9g", static_cast<double>(value));
    return buffer;
}

struct Location {
    int simulation = -1; // index in the subcase; -1 when the pointer is none of its simulations
    int32_t position = 0;
    int32_t fileIndex = 0;
};

struct Entry {
    std::string name;
    int32_t kind = 0;
    std::vector<Location> locations;
};

struct SimInfo {
    std::string label;
    float sync = 0.0f;
    int32_t tablePosition = 0;
    int32_t fileIndex = 0;
};

struct Snapshot {
    int subcases = 0;
    std::vector<SimInfo> sims;
    std::vector<Entry> entries;
    bool complex = false;
};

inline std::string Describe(const Snapshot& snapshot) {
    std::string text = "subcases " + std::to_string(snapshot.subcases) +
                       (snapshot.complex ? ", complex\n" : ", real\n");
    for (std::size_t i = 0; i < snapshot.sims.size(); ++i) {
        const SimInfo& sim = snapshot.sims[i];
        text += "sim " + std::to_string(i) + " '" + sim.label + "' sync " + FloatText(sim.sync) +
                " table " + std::to_string(sim.tablePosition) + " file " +
                std::to_string(sim.fileIndex) + "\n";
    }
    for (const Entry& entry : snapshot.entries) {
        text += "entry '" + entry.name + "' kind " + std::to_string(entry.kind) + ":";
        for (const Location& location : entry.locations) {
            text += " sim" + std::to_string(location.simulation) + "@" +
                    std::to_string(location.position) + "/f" + std::to_string(location.fileIndex);
        }
        text += "\n";
    }
    return text;
}

// The simulations of the result's first subcase, in list order.
inline std::vector<kvresSimulation*> Simulations(kvresResult& result) {
    std::vector<kvresSimulation*> out;
    rxSubcase* subcase = result.ReadSubcase(0);
    if (subcase == nullptr) {
        return out;
    }
    for (int i = 0; i < subcase->GetNumSimulations(); ++i) {
        out.push_back(dynamic_cast<kvresSimulation*>(subcase->GetSimulation(i)));
    }
    return out;
}

// What the result holds now; does not scan.
inline Snapshot Take(kvresResult& result, int subcases) {
    Snapshot snapshot;
    snapshot.subcases = subcases;
    snapshot.complex = result.HasComplexData();
    const std::vector<kvresSimulation*> sims = Simulations(result);
    for (kvresSimulation* sim : sims) {
        if (sim == nullptr) {
            snapshot.sims.push_back(SimInfo{"<not a kvresSimulation>", 0.0f, 0, 0});
            continue;
        }
        snapshot.sims.push_back(
            SimInfo{sim->GetLabel(), sim->GetSyncValue(), sim->TablePosition(), sim->FileIndex()});
    }
    const DataTypeDirectory& directory = result.DataTypes();
    for (std::size_t i = 0; i < directory.Size(); ++i) {
        const DataTypeEntry& source = directory.At(i);
        Entry entry{source.Name(), source.Kind(), {}};
        for (const BlockLocation& location : source.Locations()) {
            int index = -1;
            for (std::size_t s = 0; s < sims.size(); ++s) {
                if (static_cast<rxSimulation*>(sims[s]) == location.simulation) {
                    index = static_cast<int>(s);
                }
            }
            entry.locations.push_back(Location{index, location.position, location.fileIndex});
        }
        snapshot.entries.push_back(entry);
    }
    return snapshot;
}

// Scans `result` and returns what it built.
inline Snapshot Scan(kvresResult& result) {
    const int subcases = result.ReadNumSubcases();
    return Take(result, subcases);
}

inline Snapshot ScanPath(const std::string& path) {
    ResultPtr result = OpenResult(path);
    return Scan(*result);
}

// A one-row-per-name helper for building files.
inline reswriter::DataTypeRow Row(const std::string& name, int32_t kind,
                                  std::vector<reswriter::Record> records = {}) {
    reswriter::DataTypeRow row;
    row.name = name;
    row.kind = kind;
    row.records = std::move(records);
    return row;
}

inline reswriter::Simulation Sim(const std::string& label,
                                 std::vector<reswriter::DataTypeRow> rows = {}) {
    reswriter::Simulation sim;
    sim.label = label;
    sim.rows = std::move(rows);
    return sim;
}

inline reswriter::ResFile File(const reswriter::Encoding& encoding,
                               std::vector<reswriter::Simulation> simulations) {
    // Values are replaced by ones the encoding stores exactly; the scan reads none.
    for (reswriter::Simulation& sim : simulations) {
        for (reswriter::DataTypeRow& row : sim.rows) {
            for (reswriter::Record& record : row.records) {
                for (float& value : record.reals) {
                    value = reswriter::Representable(value, encoding);
                }
            }
        }
    }
    reswriter::ResFile file;
    file.encoding = encoding;
    file.simulations = std::move(simulations);
    return file;
}

// The encodings that the reader tells apart from the header alone.
inline const std::vector<reswriter::Encoding>& DetectableEncodings() {
    static const std::vector<reswriter::Encoding> encodings = {
        reswriter::kInt4Real4LE, reswriter::kInt4Real4BE, reswriter::kInt8SecondCray8LE,
        reswriter::kInt8SecondCray8BE};
    return encodings;
}

inline std::string EncodingName(const reswriter::Encoding& encoding) {
    std::string name = encoding.intFormat == reswriter::IntFormat::Int4 ? "Int4Real4" : "Int8Cray8";
    return name + (encoding.bigEndian ? "BE" : "LE");
}

} // namespace scantest
