// make_matrix: writes a matrix of .res files into a folder, for comparing the
// output of two builds of kvres-tool on identical input. Every physical
// encoding, every kind code (and one unknown), awkward reals, label forms for
// the sync values, a series whose files differ in encoding and letter case,
// and damaged files. It checks nothing itself.
//   make_matrix OUTPUT_FOLDER
#include "ResWriter.h"

#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

using namespace reswriter;

namespace {

const Encoding kEncodings[] = {kInt4Real4LE,       kInt4Real4BE,      kInt4Real8LE,
                               kInt4Real8BE,       kInt8FirstCray8LE, kInt8FirstCray8BE,
                               kInt8SecondCray8LE, kInt8SecondCray8BE};

// Reals whose printing differs most easily between C runtimes.
std::vector<float> AwkwardReals(const Encoding& encoding) {
    const float candidates[] = {0.0f,
                                -0.0f,
                                1.0f,
                                -1.0f,
                                0.5f,
                                1.0f / 3.0f,
                                -2.0f / 3.0f,
                                0.1f,
                                1e-5f,
                                1.2345e-5f,
                                9.999999e-6f,
                                1e-10f,
                                123456.78f,
                                1e7f,
                                16777216.0f,
                                3.4028235e38f,
                                -1.17549435e-38f,
                                1e-40f,
                                std::numeric_limits<float>::infinity(),
                                -std::numeric_limits<float>::infinity(),
                                std::numeric_limits<float>::quiet_NaN(),
                                359.99997f,
                                -180.0f};
    std::vector<float> values;
    unsigned char word[8];
    for (float value : candidates) {
        if (encoding.realFormat == RealFormat::Cray8) {
            value = Representable(value, encoding);
            if (!CrayBytes(value, encoding.bigEndian, word)) {
                continue;
            }
        }
        values.push_back(value);
    }
    return values;
}

// `count` records of `width` reals each, cycling through `reals`.
std::vector<Record> Records(const std::vector<float>& reals, int count, int width, int firstId,
                            std::size_t& next) {
    std::vector<Record> records;
    for (int i = 0; i < count; ++i) {
        Record record{firstId + i, {}};
        for (int k = 0; k < width; ++k) {
            record.reals.push_back(reals[next++ % reals.size()]);
        }
        records.push_back(record);
    }
    return records;
}

// Values per record of each kind code; 99 is no kind the reader knows.
struct KindShape {
    int kind;
    int width;
    const char* name;
};
const KindShape kKinds[] = {{0, 3, "displacement"},  {1, 1, "temperature"}, {2, 2, "hidden kind"},
                            {3, 1, "stress"},        {4, 6, "velocity"},    {5, 2, "pressure"},
                            {6, 2, "strain energy"}, {7, 3, "heat"},        {8, 3, "flux"},
                            {99, 1, "unknown"}};

ResFile EveryKind(const Encoding& encoding, const std::vector<std::string>& labels) {
    ResFile file;
    file.encoding = encoding;
    file.text1 = "matrix";
    file.text2 = "every kind";
    const std::vector<float> reals = AwkwardReals(encoding);
    std::size_t next = 0;
    for (std::size_t s = 0; s < labels.size(); ++s) {
        Simulation simulation{labels[s], {}};
        for (const KindShape& shape : kKinds) {
            const int firstId = shape.kind == 3 || shape.kind == 6 || shape.kind == 8 ? 1001 : 1;
            simulation.rows.push_back(
                {shape.name, shape.kind, Records(reals, 4, shape.width, firstId, next)});
        }
        file.simulations.push_back(simulation);
    }
    return file;
}

void Save(const std::filesystem::path& folder, const std::string& name,
          const std::vector<unsigned char>& bytes) {
    WriteFile(folder / name, bytes);
}

void WriteMatrix(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);

    // Every encoding: all kinds in two simulations.
    for (std::size_t e = 0; e < sizeof kEncodings / sizeof kEncodings[0]; ++e) {
        Save(folder, "encoding" + std::to_string(e) + ".res",
             Write(EveryKind(kEncodings[e], {"Time = 1.5", "Time = 2.25"})));
    }

    // Sync values from each label form, numbered where they do not increase.
    Save(folder, "labels.res",
         Write(EveryKind(kInt4Real4LE, {"t=0", "t=0", "Freq: 50", "step 7", "no number here",
                                        "Time = -3e-2", "Time = 1e+03", "x = 0x10"})));

    // A series whose members differ in encoding and letter case; series.res
    // and series1.res are opened both as a series and the latter alone.
    Save(folder, "series.res", Write(EveryKind(kInt4Real4BE, {"Time = 1"})));
    Save(folder, "series1.res", Write(EveryKind(kInt8SecondCray8LE, {"Time = 2", "Time = 3"})));
    Save(folder, "SERIES2.RES", Write(EveryKind(kInt4Real8LE, {"Time = 0.5"})));
    Save(folder, "series10.res", Write(EveryKind(kInt4Real4LE, {"Time = 99"})));

    // Data types missing from some simulations: "temperature" has values in
    // the second only, "stress" in the first only.
    ResFile partial;
    partial.simulations.push_back(
        {"Time = 1",
         {{"displacement", 0, {{1, {1.0f, 2.0f, 3.0f}}, {2, {4.0f, 5.0f, 6.0f}}}},
          {"stress", 3, {{101, {7.0f}}}}}});
    partial.simulations.push_back({"Time = 2",
                                   {{"temperature", 1, {{2, {20.0f}}, {1, {10.0f}}}},
                                    {"displacement", 0, {{2, {-4.0f, -5.0f, -6.0f}}}}}});
    Save(folder, "partial.res", Write(partial));

    // Blocks larger than a reader's buffer of a few thousand records.
    ResFile large;
    large.encoding = kInt4Real4BE;
    const std::vector<float> largeReals = AwkwardReals(large.encoding);
    std::size_t nextReal = 0;
    large.simulations.push_back({"Time = 1",
                                 {{"velocity", 4, Records(largeReals, 5000, 6, 1, nextReal)},
                                  {"flux", 8, Records(largeReals, 5000, 3, 1001, nextReal)}}});
    Save(folder, "large.res", Write(large));

    // Damaged files: each breaks one thing.
    Layout layout;
    std::vector<unsigned char> whole = Write(EveryKind(kInt4Real4LE, {"Time = 1"}), &layout);
    const SimulationLayout& first = layout.simulations[0];
    std::vector<unsigned char> cut(whole.begin(), whole.begin() + first.rows[4].records[2] + 5);
    Save(folder, "cut-in-block.res", cut);
    std::vector<unsigned char> overstated = whole;
    PatchInt(overstated, first.rows[1].entityCount, 1000000, kInt4Real4LE);
    Save(folder, "overstated-count.res", overstated);
    std::vector<unsigned char> negative = whole;
    PatchInt(negative, first.rows[3].blockPosition, -8, kInt4Real4LE);
    Save(folder, "negative-position.res", negative);
    std::vector<unsigned char> tables = whole;
    PatchInt(tables, first.dataTypeCount, 70000, kInt4Real4LE);
    Save(folder, "too-many-types.res", tables);
    std::vector<unsigned char> header(whole.begin(), whole.begin() + 100);
    Save(folder, "header-only.res", header);
    ResFile lower = EveryKind(kInt4Real4LE, {"Time = 1"});
    lower.title = "korvane results";
    Save(folder, "lower-case-title.res", Write(lower));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_matrix OUTPUT_FOLDER\n");
        return 2;
    }
    try {
        WriteMatrix(argv[1]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_matrix: %s\n", error.what());
        return 1;
    }
    return 0;
}
