#include "BlockBench.h"

#include "ResWriter.h"
#include "TempDir.h"

#include "fileio/ByteOrder.h"
#include "fileio/Cray.h"
#include "model/PhaseConversion.h"

#include "FloorDataSet.h"
#include "ReaderPlugin.h"

#include "rxAllocator.h"
#include "rxDataSet.h"
#include "rxDataType.h"
#include "rxResult.h"
#include "rxSimulation.h"
#include "rxSubcase.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int32_t kEntities = 1000000;
constexpr int kIterations = 21;

// What one entity becomes on the host's side.
enum class Shape { Scalar, ComplexScalar, Vector, ComplexVector };

struct BlockCase {
    const char* name;
    int32_t kind;
    int fileReals;        // reals per record as written
    const char* rowName;  // as written
    const char* typeName; // as the host sees it
    bool complexRead;     // ReadComplexData instead of ReadData
    Shape shape;
    int component;  // scalar shapes: the real that is the value (the magnitude)
    int consumed;   // reals per record the read takes
    bool withPhase; // complex scalar: the real after the magnitude is its phase
};

// Kind 4 makes the result complex; its name loses the " (c)" in the scan.
// The real read of a kind-4 block takes three reals per record, as a host
// that asks for it gets.
const BlockCase kCases[] = {
    {"k0_real", 0, 3, "block", "block", false, Shape::Vector, 0, 3, false},
    {"k1_real", 1, 1, "block", "block", false, Shape::Scalar, 0, 1, false},
    {"k4_real", 4, 6, "block (c)", "block", false, Shape::Vector, 0, 3, false},
    {"k4_complex", 4, 6, "block (c)", "block", true, Shape::ComplexVector, 0, 6, false},
    {"k5_real", 5, 2, "block", "block", false, Shape::Scalar, 0, 2, false},
    {"k5_complex", 5, 2, "block", "block", true, Shape::ComplexScalar, 0, 2, true},
    {"k7_real", 7, 3, "block", "block:Phase", false, Shape::Scalar, 1, 3, false},
    {"k7_complex", 7, 3, "block", "block:Phase", true, Shape::ComplexScalar, 1, 3, false},
};

// The three encodings, each with the tight decode the raw baseline uses.
struct Le4 {
    static constexpr int kInt = 4;
    static constexpr int kReal = 4;
    static int32_t Int(const unsigned char* p) { return LoadWord<int32_t>(p, false); }
    static float Real(const unsigned char* p) { return LoadWord<float>(p, false); }
};
struct Be4 {
    static constexpr int kInt = 4;
    static constexpr int kReal = 4;
    static int32_t Int(const unsigned char* p) { return LoadWord<int32_t>(p, true); }
    static float Real(const unsigned char* p) { return LoadWord<float>(p, true); }
};
struct CrayBe {
    static constexpr int kInt = 8;
    static constexpr int kReal = 8;
    static int32_t Int(const unsigned char* p) { return LoadWord<int32_t>(p + 4, true); }
    static float Real(const unsigned char* p) { return CrayToFloat(p, true); }
};

struct EncodingCase {
    const char* name;
    reswriter::Encoding encoding;
};
const EncodingCase kEncodings[] = {{"LE4", reswriter::kInt4Real4LE},
                                   {"BE4", reswriter::kInt4Real4BE},
                                   {"Cray8BE", reswriter::kInt8SecondCray8BE}};

float StoredValue(int32_t entity, int real) {
    return 0.5f + static_cast<float>(entity % 4096) * 0.25f + static_cast<float>(real) * 100.0f;
}

// The block file of the latest (kind, encoding) asked for; the next request
// for another one replaces it, so at most one large file exists at a time.
class BlockFile {
public:
    const std::string& Get(const BlockCase& c, int encodingIndex) {
        if (path.empty() || c.kind != kind || encodingIndex != encoding) {
            Write(c, encodingIndex);
        }
        return path;
    }
    long CountOffset() const { return countOffset; }

private:
    void Write(const BlockCase& c, int encodingIndex) {
        const reswriter::Encoding& enc = kEncodings[encodingIndex].encoding;
        reswriter::ResFile file;
        file.encoding = enc;
        reswriter::Simulation simulation{"Time = 1", {}};
        reswriter::DataTypeRow row;
        row.name = c.rowName;
        row.kind = c.kind;
        row.entityCount = kEntities;
        simulation.rows.push_back(row);
        file.simulations.push_back(simulation);
        reswriter::Layout layout;
        std::vector<unsigned char> bytes = reswriter::Write(file, &layout);
        countOffset = static_cast<long>(layout.simulations[0].rows[0].block);
        bytes.reserve(bytes.size() + static_cast<std::size_t>(kEntities) *
                                         (enc.IntSize() + c.fileReals * enc.RealSize()));
        for (int32_t i = 0; i < kEntities; ++i) {
            reswriter::AppendInt(bytes, i + 1, enc);
            for (int r = 0; r < c.fileReals; ++r) {
                reswriter::AppendReal(bytes, StoredValue(i, r), enc);
            }
        }
        path = dir.File("block.res");
        reswriter::WriteFile(path, bytes);
        kind = c.kind;
        encoding = encodingIndex;
    }

    reswriter::TempDir dir;
    std::string path;
    int32_t kind = -1;
    int encoding = -1;
    long countOffset = 0;
};

BlockFile& SharedBlockFile() {
    static BlockFile file;
    return file;
}

// The arrays the raw baseline decodes into, allocated once.
struct RawArrays {
    std::vector<unsigned char> block;
    std::vector<int32_t> ids;
    std::vector<float> scalars;
    std::vector<rxVector3D> vectors;
    std::vector<rxDataSet::ComplexScalar> complexScalars;
    std::vector<rxDataSet::ComplexVector> complexVectors;
};

// Raw: one read of the count and the records the read takes, then a tight
// decode of ids and values into arrays.
template <class E>
bool RawRead(const std::string& path, long countOffset, const BlockCase& c, RawArrays& a) {
    const std::size_t stride = E::kInt + static_cast<std::size_t>(c.consumed) * E::kReal;
    const std::size_t bytes = E::kInt + stride * kEntities;
    std::FILE* stream = std::fopen(path.c_str(), "rb");
    if (stream == nullptr) {
        return false;
    }
    const bool read = std::fseek(stream, countOffset, SEEK_SET) == 0 &&
                      std::fread(a.block.data(), 1, bytes, stream) == bytes;
    std::fclose(stream);
    if (!read || E::Int(a.block.data()) != kEntities) {
        return false;
    }
    const unsigned char* p = a.block.data() + E::kInt;
    const unsigned char* reals = p + E::kInt;
    switch (c.shape) {
    case Shape::Scalar:
        for (int32_t i = 0; i < kEntities; ++i, p += stride, reals += stride) {
            a.ids[i] = E::Int(p);
            a.scalars[i] = E::Real(reals + c.component * E::kReal);
        }
        break;
    case Shape::ComplexScalar:
        for (int32_t i = 0; i < kEntities; ++i, p += stride, reals += stride) {
            a.ids[i] = E::Int(p);
            a.complexScalars[i].magnitude = E::Real(reals + c.component * E::kReal);
            a.complexScalars[i].phase =
                c.withPhase ? DegreesToRadians(E::Real(reals + (c.component + 1) * E::kReal))
                            : 0.0f;
        }
        break;
    case Shape::Vector:
        for (int32_t i = 0; i < kEntities; ++i, p += stride, reals += stride) {
            a.ids[i] = E::Int(p);
            a.vectors[i] = {E::Real(reals), E::Real(reals + E::kReal),
                            E::Real(reals + 2 * E::kReal)};
        }
        break;
    case Shape::ComplexVector:
        for (int32_t i = 0; i < kEntities; ++i, p += stride, reals += stride) {
            a.ids[i] = E::Int(p);
            rxDataSet::ComplexVector& v = a.complexVectors[i];
            v.magnitude = {E::Real(reals), E::Real(reals + 2 * E::kReal),
                           E::Real(reals + 4 * E::kReal)};
            v.phase = {DegreesToRadians(E::Real(reals + E::kReal)),
                       DegreesToRadians(E::Real(reals + 3 * E::kReal)),
                       DegreesToRadians(E::Real(reals + 5 * E::kReal))};
        }
        break;
    }
    return true;
}

// Raw arrays handed to a fresh data set through the host's own calls.
void Deliver(FloorDataSet& set, const BlockCase& c, const RawArrays& a) {
    switch (c.shape) {
    case Shape::Scalar:
        set.DeliverScalars(kEntities, a.ids.data(), a.scalars.data());
        break;
    case Shape::ComplexScalar:
        set.DeliverComplexScalars(kEntities, a.ids.data(), a.complexScalars.data());
        break;
    case Shape::Vector:
        set.DeliverVectors(kEntities, a.ids.data(), a.vectors.data());
        break;
    case Shape::ComplexVector:
        set.DeliverComplexVectors(kEntities, a.ids.data(), a.complexVectors.data());
        break;
    }
}

struct Releaser {
    void operator()(rxObject* object) const {
        if (object != nullptr) {
            object->Release();
        }
    }
};

// Whether the host road delivered exactly what the raw decode produced.
bool SameDelivery(const rxDataSet& set, const BlockCase& c, const RawArrays& a) {
    auto bits = [](const void* x, const void* y, std::size_t n) {
        return std::equal(static_cast<const unsigned char*>(x),
                          static_cast<const unsigned char*>(x) + n,
                          static_cast<const unsigned char*>(y));
    };
    if (set.EntityIDs() != a.ids) {
        return false;
    }
    switch (c.shape) {
    case Shape::Scalar:
        return set.ScalarValues().size() == a.scalars.size() &&
               bits(set.ScalarValues().data(), a.scalars.data(), a.scalars.size() * 4);
    case Shape::ComplexScalar:
        return set.ComplexScalarValues().size() == a.complexScalars.size() &&
               bits(set.ComplexScalarValues().data(), a.complexScalars.data(),
                    a.complexScalars.size() * sizeof(rxDataSet::ComplexScalar));
    case Shape::Vector:
        return set.VectorValues().size() == a.vectors.size() &&
               bits(set.VectorValues().data(), a.vectors.data(),
                    a.vectors.size() * sizeof(rxVector3D));
    case Shape::ComplexVector:
        return set.ComplexVectorValues().size() == a.complexVectors.size() &&
               bits(set.ComplexVectorValues().data(), a.complexVectors.data(),
                    a.complexVectors.size() * sizeof(rxDataSet::ComplexVector));
    }
    return false;
}

double Median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    const std::size_t n = samples.size();
    return n == 0 ? 0.0 : (n % 2 ? samples[n / 2] : 0.5 * (samples[n / 2 - 1] + samples[n / 2]));
}

template <class E> void RunBlock(benchmark::State& state, const BlockCase& c, int encodingIndex) {
    BlockFile& file = SharedBlockFile();
    const std::string path = file.Get(c, encodingIndex);
    const long countOffset = file.CountOffset();

    RawArrays arrays;
    arrays.block.resize(static_cast<std::size_t>(E::kInt) +
                        static_cast<std::size_t>(kEntities) * (E::kInt + c.consumed * E::kReal));
    arrays.ids.resize(kEntities);
    switch (c.shape) {
    case Shape::Scalar:
        arrays.scalars.resize(kEntities);
        break;
    case Shape::ComplexScalar:
        arrays.complexScalars.resize(kEntities);
        break;
    case Shape::Vector:
        arrays.vectors.resize(kEntities);
        break;
    case Shape::ComplexVector:
        arrays.complexVectors.resize(kEntities);
        break;
    }
    const rxDataSet::Format format = (c.shape == Shape::Vector || c.shape == Shape::ComplexVector)
                                         ? rxDataSet::Vector
                                         : rxDataSet::Scalar;

    // The host road: the plug-in is loaded and the result created through
    // its callback and scanned once, as a host does before it reads data
    // sets; every read asks for a fresh data set.
    static ReaderPlugin plugin;
    static bool loaded = false;
    std::string error;
    if (!loaded && !(loaded = plugin.Load(KVRES_PLUGIN_PATH, error))) {
        state.SkipWithError(("the plug-in does not load: " + error).c_str());
        return;
    }
    std::unique_ptr<rxResult, Releaser> result(plugin.CreateResult(path, rxAllocator::Default()));
    if (result == nullptr || result->GetNumSubcases() < 1) {
        state.SkipWithError("the plug-in creates no result");
        return;
    }
    rxSubcase* subcase = result->GetSubcase(0);
    subcase->ReadDataTypes();
    rxDataType* type = subcase->FindDataTypeByName(c.typeName);
    rxSimulation* simulation = subcase->GetSimulation(0);
    auto hostRead = [&](bool check) {
        std::unique_ptr<rxDataSet, Releaser> set(simulation->ReadDataSet(type, ""));
        const bool ok =
            set != nullptr && (c.complexRead ? set->ReadComplexData(0) : set->ReadData(0));
        benchmark::DoNotOptimize(set.get());
        return ok && (!check || SameDelivery(*set, c, arrays));
    };
    auto rawRead = [&] { return RawRead<E>(path, countOffset, c, arrays); };
    auto floorRead = [&] {
        if (!RawRead<E>(path, countOffset, c, arrays)) {
            return false;
        }
        std::unique_ptr<FloorDataSet, Releaser> set(new FloorDataSet(format));
        Deliver(*set, c, arrays);
        benchmark::DoNotOptimize(set.get());
        return true;
    };
    if (type == nullptr || simulation == nullptr || !rawRead() || !floorRead() || !hostRead(true)) {
        state.SkipWithError("the host road does not deliver what the raw decode gives");
        return;
    }

    // Processor time of this process: the machine is shared, and time spent
    // waiting for a core is no part of any figure.
    auto now = [] { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; };
    std::vector<double> samples[3];
    int turn = 0;
    for (auto _ : state) {
        double total = 0.0;
        // The three figures take turns in going first.
        for (int k = 0; k < 3; ++k) {
            const int which = (turn + k) % 3;
            const double start = now();
            const bool ok = which == 0 ? rawRead() : which == 1 ? floorRead() : hostRead(false);
            const double seconds = now() - start;
            if (!ok) {
                state.SkipWithError("a read failed");
                return;
            }
            samples[which].push_back(seconds);
            total += seconds;
        }
        ++turn;
        state.SetIterationTime(total);
    }
    state.counters["raw_ms"] = Median(samples[0]) * 1e3;
    state.counters["floor_ms"] = Median(samples[1]) * 1e3;
    state.counters["host_ms"] = Median(samples[2]) * 1e3;
    // The ratios are taken iteration by iteration, where the three figures
    // ran one right after the other, and their median reported: a stretch in
    // which the machine runs slower then weighs on both sides of a ratio.
    auto ratios = [&samples](int over, int under) {
        std::vector<double> r;
        for (std::size_t i = 0; i < samples[under].size(); ++i) {
            r.push_back(samples[over][i] / samples[under][i]);
        }
        return Median(r);
    };
    state.counters["host_per_floor"] = ratios(2, 1);
    state.counters["floor_per_raw"] = ratios(1, 0);
    state.counters["host_per_raw"] = ratios(2, 0);
}

} // namespace

void RegisterBlockBenchmarks() {
    // Cases that share a file (same kind and encoding) run one after another,
    // so each file is written once.
    const std::size_t cases = sizeof kCases / sizeof kCases[0];
    for (std::size_t first = 0; first < cases; ++first) {
        if (first > 0 && kCases[first - 1].kind == kCases[first].kind) {
            continue;
        }
        for (int e = 0; e < 3; ++e) {
            for (std::size_t i = first; i < cases && kCases[i].kind == kCases[first].kind; ++i) {
                const BlockCase& c = kCases[i];
                const std::string name = std::string("Block/") + c.name + "/" + kEncodings[e].name;
                auto* bench =
                    benchmark::RegisterBenchmark(name.c_str(), [&c, e](benchmark::State& state) {
                        if (e == 0) {
                            RunBlock<Le4>(state, c, e);
                        } else if (e == 1) {
                            RunBlock<Be4>(state, c, e);
                        } else {
                            RunBlock<CrayBe>(state, c, e);
                        }
                    });
                bench->UseManualTime()->Iterations(kIterations)->Unit(benchmark::kMillisecond);
            }
        }
    }
}
