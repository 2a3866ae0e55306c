// The kvres::Result answers beyond one read, each against the plain reading
// the API already has: history() against read() of every simulation,
// readInto() and readRangeInto() against read() aligned by hand, summary()
// against subcase(), simulations(), dataTypes(), entityIds() and files(),
// on files drawn at random (entities missing, repeated and out of order,
// blocks missing) in several encodings, real and complex.
#include "ResWriter.h"
#include "TempDir.h"

#include <kvres/reader.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

using namespace reswriter;

namespace {

struct KindShape {
    int kind;
    int width;
    const char* name;
};
// Real kinds of both bindings and formats, a triple and the complex kinds.
const KindShape kKinds[] = {{0, 3, "displacement"}, {1, 1, "temperature"}, {3, 1, "stress"},
                            {7, 3, "heat"},         {4, 6, "velocity"},    {5, 2, "pressure"}};

// A file of `simulations` simulations whose blocks hold a random choice of
// the ids 1 ... 12 in random order, now and then one twice, and which now
// and then leave a data type out.
ResFile Drawn(unsigned seed, const Encoding& encoding, bool complex, int simulations) {
    std::mt19937 draw(seed);
    ResFile file;
    file.encoding = encoding;
    for (int s = 0; s < simulations; ++s) {
        Simulation simulation{"Time = " + std::to_string(s + 1), {}};
        for (const KindShape& shape : kKinds) {
            const bool complexKind = shape.kind == 4 || shape.kind == 5;
            if ((complexKind && !complex) || (s > 0 && draw() % 5 == 0)) {
                continue;
            }
            DataTypeRow row{shape.name, shape.kind, {}};
            std::vector<int32_t> ids;
            for (int32_t id = 1; id <= 12; ++id) {
                if (draw() % 4 != 0) {
                    ids.push_back(id);
                }
            }
            if (!ids.empty() && draw() % 3 == 0) {
                ids.push_back(ids[draw() % ids.size()]);
            }
            if (draw() % 2 == 0) {
                std::shuffle(ids.begin(), ids.end(), draw);
            }
            for (int32_t id : ids) {
                Record record{id, {}};
                for (int k = 0; k < shape.width; ++k) {
                    record.reals.push_back(static_cast<float>(static_cast<int>(draw() % 721)) / 4 -
                                           90.0f);
                }
                row.records.push_back(record);
            }
            simulation.rows.push_back(row);
        }
        file.simulations.push_back(simulation);
    }
    return file;
}

bool SameBits(const float* a, const float* b, std::size_t count) {
    return count == 0 || std::memcmp(a, b, count * sizeof(float)) == 0;
}

const kvres::ReadMode kModes[] = {kvres::ReadMode::Auto, kvres::ReadMode::Real,
                                  kvres::ReadMode::Complex};

// The first record of `id` in `set`, or -1.
long FirstOf(const kvres::DataSet& set, int32_t id) {
    const auto found = std::find(set.ids.begin(), set.ids.end(), id);
    return found == set.ids.end() ? -1 : static_cast<long>(found - set.ids.begin());
}

// What readInto must put out for `set`, read by hand.
std::vector<float> Aligned(const kvres::DataSet& set, kvres::ReadPart part, int components,
                           const std::vector<int32_t>& ids, long long& unknown) {
    const int per = components * (part == kvres::ReadPart::Complex ? 2 : 1);
    std::vector<float> out(ids.size() * per, std::nanf(""));
    const int phases = set.complexRead ? set.width / 2 : 0;
    for (std::size_t k = 0; k < ids.size(); ++k) {
        const long j = FirstOf(set, ids[k]);
        if (j < 0) {
            continue;
        }
        const float* record = set.values.data() + j * set.width;
        for (int c = 0; c < components; ++c) {
            float* into = out.data() + k * per;
            switch (part) {
            case kvres::ReadPart::Real:
            case kvres::ReadPart::Magnitude:
                into[c] = record[c];
                break;
            case kvres::ReadPart::Phase:
                into[c] = record[phases + c];
                break;
            case kvres::ReadPart::Complex:
                into[2 * c] = record[c] * std::cos(record[phases + c]);
                into[2 * c + 1] = record[c] * std::sin(record[phases + c]);
                break;
            }
        }
    }
    unknown = 0;
    for (int32_t id : set.ids) {
        unknown += std::find(ids.begin(), ids.end(), id) == ids.end() ? 1 : 0;
    }
    return out;
}

struct DrawnCase {
    const char* name;
    Encoding encoding;
    bool complex;
    unsigned seed;
};

class ResultApi : public ::testing::TestWithParam<DrawnCase> {
protected:
    void SetUp() override {
        path = folder.File("drawn.res");
        WriteFile(path, Write(Drawn(GetParam().seed, GetParam().encoding, GetParam().complex, 4)));
    }
    TempDir folder;
    std::string path;
};

TEST_P(ResultApi, HistoryIsEveryReadOfTheEntity) {
    const kvres::Result result = kvres::open(path);
    const std::vector<kvres::Simulation> sims = result.simulations();
    for (const kvres::DataType& type : result.dataTypes()) {
        for (const kvres::ReadMode mode : kModes) {
            for (int32_t entity = 0; entity <= 13; ++entity) {
                SCOPED_TRACE(type.name + " entity " + std::to_string(entity) + " mode " +
                             std::to_string(static_cast<int>(mode)));
                const kvres::History history = result.history(type.name, entity, mode);
                ASSERT_EQ(history.sync.size(), sims.size());
                for (std::size_t s = 0; s < sims.size(); ++s) {
                    EXPECT_EQ(history.sync[s], sims[s].sync);
                    std::vector<float> expected(history.width, std::nanf(""));
                    try {
                        const kvres::DataSet set =
                            result.read(type.name, static_cast<int>(s), mode);
                        EXPECT_EQ(set.width, history.width);
                        EXPECT_EQ(set.complexRead, history.complexRead);
                        const long j = FirstOf(set, entity);
                        if (j >= 0) {
                            std::copy_n(set.values.data() + j * set.width, set.width,
                                        expected.begin());
                        }
                    } catch (const kvres::NoValuesError&) {
                    }
                    EXPECT_TRUE(SameBits(expected.data(), history.values.data() + s * history.width,
                                         expected.size()))
                        << "simulation " << s;
                }
            }
        }
    }
}

TEST_P(ResultApi, ReadIntoIsTheReadAlignedWithTheIds) {
    kvres::Result result = kvres::open(path);
    const int simulations = static_cast<int>(result.simulations().size());
    // Ids beyond and within the blocks', one of them twice.
    const std::vector<std::vector<int32_t>> idLists = {
        {}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {0, 2, 2, 5, 11, 40}, {7}};
    int compared = 0;
    for (const kvres::DataType& type : result.dataTypes()) {
        const int components = type.format == kvres::DataType::Format::Vector ? 3 : 1;
        for (const kvres::ReadMode mode : kModes) {
            const bool complexRead = mode == kvres::ReadMode::Complex ||
                                     (mode == kvres::ReadMode::Auto && result.subcase().isComplex);
            const std::vector<kvres::ReadPart> parts =
                complexRead
                    ? std::vector<kvres::ReadPart>{kvres::ReadPart::Magnitude,
                                                   kvres::ReadPart::Phase, kvres::ReadPart::Complex}
                    : std::vector<kvres::ReadPart>{kvres::ReadPart::Real};
            for (const kvres::ReadPart part : parts) {
                for (const std::vector<int32_t>& ids : idLists) {
                    SCOPED_TRACE(type.name + " part " + std::to_string(static_cast<int>(part)) +
                                 " ids " + std::to_string(ids.size()));
                    const std::size_t per =
                        ids.size() * components * (part == kvres::ReadPart::Complex ? 2 : 1);
                    std::vector<float> range(per * simulations + 1, 12345.0f);
                    const std::vector<long long> answers =
                        result.readRangeInto(type.name, 0, simulations, mode, part, ids.data(),
                                             ids.size(), components, range.data());
                    ASSERT_EQ(answers.size(), static_cast<std::size_t>(simulations));
                    EXPECT_EQ(range.back(), 12345.0f); // nothing beyond the blocks asked for
                    for (int s = 0; s < simulations; ++s) {
                        std::vector<float> one(per + 1, 12345.0f);
                        const long long answer =
                            result.readInto(type.name, s, mode, part, ids.data(), ids.size(),
                                            components, one.data());
                        EXPECT_EQ(answers[s], answer);
                        EXPECT_EQ(one.back(), 12345.0f);
                        EXPECT_TRUE(SameBits(one.data(), range.data() + s * per, per));
                        std::vector<float> expected(per, std::nanf(""));
                        long long unknown = -1;
                        try {
                            expected = Aligned(result.read(type.name, s, mode), part, components,
                                               ids, unknown);
                        } catch (const kvres::NoValuesError&) {
                        }
                        EXPECT_EQ(answer, unknown) << "simulation " << s;
                        EXPECT_TRUE(SameBits(expected.data(), one.data(), per))
                            << "simulation " << s;
                        ++compared;
                    }
                }
            }
            // A part the read does not hold is refused.
            const int32_t id = 1;
            float out[6];
            EXPECT_THROW(
                result.readInto(type.name, 0, mode,
                                complexRead ? kvres::ReadPart::Real : kvres::ReadPart::Phase, &id,
                                1, components, out),
                std::invalid_argument);
        }
    }
    EXPECT_GT(compared, 0);
    const int32_t unsorted[] = {3, 1};
    float out[12];
    const std::string first = result.dataTypes().front().name;
    EXPECT_THROW(result.readInto(first, 0, kvres::ReadMode::Real, kvres::ReadPart::Real, unsorted,
                                 2, 1, out),
                 std::invalid_argument);
    EXPECT_THROW(result.readRangeInto(first, 2, 1, kvres::ReadMode::Real, kvres::ReadPart::Real,
                                      unsorted, 0, 1, out),
                 std::invalid_argument);
    EXPECT_THROW(result.readInto("no such type", 0, kvres::ReadMode::Real, kvres::ReadPart::Real,
                                 unsorted, 0, 1, out),
                 kvres::DataTypeNotFoundError);
    EXPECT_THROW(result.readInto(first, simulations, kvres::ReadMode::Real, kvres::ReadPart::Real,
                                 unsorted, 0, 1, out),
                 kvres::SimulationIndexError);
    result.close();
    EXPECT_THROW(result.readInto(first, 0, kvres::ReadMode::Real, kvres::ReadPart::Real, unsorted,
                                 0, 1, out),
                 kvres::ClosedError);
    EXPECT_THROW(result.history(first, 1), kvres::ClosedError);
    EXPECT_THROW(result.summary(), kvres::ClosedError);
}

// readPartsInto fills each output as readRangeInto fills it for that part,
// all in one read of each block, and counts what it left out.
TEST_P(ResultApi, ReadPartsIntoIsReadRangeIntoForEachPart) {
    const kvres::Result result = kvres::open(path);
    const int simulations = static_cast<int>(result.simulations().size());
    const std::vector<std::vector<int32_t>> idLists = {
        {}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {0, 2, 5, 11, 40}};
    using Part = kvres::PartOut::Part;
    for (const kvres::DataType& type : result.dataTypes()) {
        const bool vector = type.format == kvres::DataType::Format::Vector;
        const int components = vector ? 3 : 1;
        for (const kvres::ReadMode mode : kModes) {
            const bool complexRead = mode == kvres::ReadMode::Complex ||
                                     (mode == kvres::ReadMode::Auto && result.subcase().isComplex);
            const std::vector<std::pair<Part, kvres::ReadPart>> parts =
                complexRead
                    ? std::vector<std::pair<Part, kvres::ReadPart>>{{Part::Magnitude,
                                                                     kvres::ReadPart::Magnitude},
                                                                    {Part::Phase,
                                                                     kvres::ReadPart::Phase},
                                                                    {Part::Complex,
                                                                     kvres::ReadPart::Complex}}
                    : std::vector<std::pair<Part, kvres::ReadPart>>{
                          {Part::Value, kvres::ReadPart::Real}};
            for (const std::vector<int32_t>& ids : idLists) {
                SCOPED_TRACE(type.name + " ids " + std::to_string(ids.size()));
                std::vector<std::vector<float>> outs;
                std::vector<kvres::PartOut> wanted;
                for (const auto& part : parts) {
                    const std::size_t per =
                        ids.size() * components * (part.second == kvres::ReadPart::Complex ? 2 : 1);
                    outs.emplace_back(per * simulations + 1, 12345.0f);
                }
                for (std::size_t j = 0; j < parts.size(); ++j) {
                    wanted.push_back({parts[j].first, 0, vector, outs[j].data()});
                }
                const std::vector<kvres::PartsFill> fills = result.readPartsInto(
                    type.name, 0, simulations, mode, wanted, ids.data(), ids.size());
                ASSERT_EQ(fills.size(), static_cast<std::size_t>(simulations));
                for (std::size_t j = 0; j < parts.size(); ++j) {
                    std::vector<float> expected(outs[j].size(), 12345.0f);
                    const std::vector<long long> answers =
                        result.readRangeInto(type.name, 0, simulations, mode, parts[j].second,
                                             ids.data(), ids.size(), components, expected.data());
                    EXPECT_TRUE(SameBits(expected.data(), outs[j].data(), expected.size()));
                    for (int s = 0; s < simulations; ++s) {
                        EXPECT_EQ(fills[s].state < 0, answers[s] < 0);
                        EXPECT_EQ(fills[s].unknown, std::max(answers[s], 0LL));
                    }
                }
                for (int s = 0; s < simulations; ++s) {
                    long long repeated = 0;
                    try {
                        const kvres::DataSet set = result.read(type.name, s, mode);
                        EXPECT_EQ(fills[s].state, set.complete ? 1 : 0);
                        for (std::size_t k = 0; k < set.ids.size(); ++k) {
                            repeated += std::binary_search(ids.begin(), ids.end(), set.ids[k]) &&
                                        FirstOf(set, set.ids[k]) != static_cast<long>(k);
                        }
                    } catch (const kvres::NoValuesError&) {
                    }
                    EXPECT_EQ(fills[s].repeated, repeated) << "simulation " << s;
                }
            }
            const int32_t id = 1;
            float out[6];
            const std::vector<kvres::PartOut> misfit = {
                {complexRead ? Part::Value : Part::Phase, 0, vector, out}};
            EXPECT_THROW(result.readPartsInto(type.name, 0, 1, mode, misfit, &id, 1),
                         std::invalid_argument);
        }
    }
    const int32_t unsorted[] = {3, 1};
    float out[4];
    EXPECT_THROW(result.readPartsInto(result.dataTypes().front().name, 0, 1, kvres::ReadMode::Auto,
                                      {{Part::Value, 0, false, out}}, unsorted, 2),
                 std::invalid_argument);
}

TEST_P(ResultApi, SummaryIsTheStructureInOneCall) {
    const kvres::Result result = kvres::open(path);
    const std::vector<kvres::DataType> types = result.dataTypes();
    const std::vector<std::vector<std::string>> drops = {{}, {types.front().name}, {"no such"}};
    for (const std::vector<std::string>& drop : drops) {
        const kvres::Summary summary = result.summary(drop);
        EXPECT_TRUE(summary.recognized);
        EXPECT_TRUE(summary.hasSubcase);
        EXPECT_EQ(summary.subcase.label, result.subcase().label);
        EXPECT_EQ(summary.subcase.isComplex, result.subcase().isComplex);
        const std::vector<kvres::Simulation> sims = result.simulations();
        ASSERT_EQ(summary.sync.size(), sims.size());
        ASSERT_EQ(summary.labels.size(), sims.size());
        for (std::size_t s = 0; s < sims.size(); ++s) {
            EXPECT_EQ(summary.sync[s], sims[s].sync);
            EXPECT_EQ(summary.labels[s], sims[s].label);
        }
        std::set<int32_t> ids[2];
        std::size_t kept = 0;
        for (const kvres::DataType& type : types) {
            if (std::find(drop.begin(), drop.end(), type.name) != drop.end()) {
                continue;
            }
            ASSERT_LT(kept, summary.dataTypes.size());
            EXPECT_EQ(summary.dataTypes[kept].name, type.name);
            EXPECT_EQ(summary.dataTypes[kept].kind, type.kind);
            ++kept;
            for (int32_t id : result.entityIds(type.name)) {
                ids[type.binding == kvres::DataType::Binding::Elements ? 1 : 0].insert(id);
            }
        }
        EXPECT_EQ(summary.dataTypes.size(), kept);
        EXPECT_EQ(summary.nodeIds, std::vector<int32_t>(ids[0].begin(), ids[0].end()));
        EXPECT_EQ(summary.elementIds, std::vector<int32_t>(ids[1].begin(), ids[1].end()));
        ASSERT_EQ(summary.files.size(), result.files().size());
        EXPECT_EQ(summary.files[0].name, result.files()[0].name);
    }
}

INSTANTIATE_TEST_SUITE_P(Drawn, ResultApi,
                         ::testing::Values(DrawnCase{"i4le_real", kInt4Real4LE, false, 1},
                                           DrawnCase{"i4le_complex", kInt4Real4LE, true, 2},
                                           DrawnCase{"i4be_complex", kInt4Real4BE, true, 3},
                                           DrawnCase{"r8le_real", kInt4Real8LE, false, 4},
                                           DrawnCase{"i8be_complex", kInt8SecondCray8BE, true, 5}),
                         [](const auto& info) { return std::string(info.param.name); });

// Each data type's kind, and the series files with their headers and
// encodings.
TEST(ResultApiFiles, KindsAndTheSeriesFiles) {
    TempDir folder;
    ResFile first = Drawn(7, kInt4Real4BE, true, 1);
    first.text1 = "first text";
    WriteFile(folder.File("run.res"), Write(first));
    WriteFile(folder.File("run0.res"), Write(Drawn(8, kInt4Real4LE, true, 2)));
    const kvres::Result result = kvres::open(folder.File("run.res"));
    for (const kvres::DataType& type : result.dataTypes()) {
        SCOPED_TRACE(type.name);
        const std::string stem = type.name.substr(0, type.name.find(':'));
        // Kind-4 names lose their last four characters, kind-0 names of a
        // complex set gain "_NC".
        const auto shape = std::find_if(std::begin(kKinds), std::end(kKinds), [&](const auto& k) {
            return stem.rfind(k.name, 0) == 0 || std::string(k.name).rfind(stem, 0) == 0;
        });
        ASSERT_NE(shape, std::end(kKinds));
        EXPECT_EQ(type.kind, shape->kind);
    }
    const std::vector<kvres::SeriesFile> files = result.files();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_NE(files[0].name.find("run.res"), std::string::npos) << files[0].name;
    EXPECT_NE(files[1].name.find("run0.res"), std::string::npos) << files[1].name;
    for (const kvres::SeriesFile& file : files) {
        EXPECT_TRUE(file.detected);
        EXPECT_EQ(file.title, "Korvane Results");
    }
    EXPECT_EQ(files[0].text[0], "first text");
    EXPECT_NE(files[0].encoding, files[1].encoding);
    EXPECT_NE(files[0].encoding.find("big-endian"), std::string::npos) << files[0].encoding;
}

} // namespace
