// The C++ read API against the host's own road: every value that
// kvres::Result::read returns must be what the plug-in, loaded from its
// shared library like a host loads it, delivers through a data set's
// ReadData or ReadComplexData (ids, and the values bit for bit), for every
// encoding, every kind code, both reads, a cut-short block and a series; and
// the structure (subcase, data types, simulations) must be what the host
// sees. Also the error types of the API.
#include "DataSetReference.h"
#include "DataSetRows.h"
#include "EntityIdCollector.h"
#include "HostedResult.h"
#include "ResWriter.h"
#include "TempDir.h"

#include <kvres/reader.h>

#include <rxDataType.h>
#include <rxResult.h>
#include <rxSimulation.h>
#include <rxSubcase.h>

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <future>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace reswriter;

namespace {

const std::string kPlugin = std::string(KVRES_BIN_DIR) + "/kvres.so";

struct KindShape {
    int kind;
    int width;
    const char* name;
};
const KindShape kKinds[] = {{0, 3, "displacement"},  {1, 1, "temperature"}, {2, 2, "hidden kind"},
                            {3, 1, "stress"},        {4, 6, "velocity"},    {5, 2, "pressure"},
                            {6, 2, "strain energy"}, {7, 3, "heat"},        {8, 3, "flux"},
                            {99, 1, "unknown"}};

std::vector<float> Reals(const Encoding& encoding) {
    const float candidates[] = {0.0f,
                                -0.0f,
                                1.0f,
                                -1.5f,
                                1.0f / 3.0f,
                                359.99997f,
                                -180.0f,
                                1e-40f,
                                1e7f,
                                std::numeric_limits<float>::infinity(),
                                std::numeric_limits<float>::quiet_NaN()};
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

// Every kind in each of `labels`; with `complex` false the complex kinds
// (4 and 5) are left out, so the subcase is real.
ResFile EveryKind(const Encoding& encoding, const std::vector<std::string>& labels, bool complex) {
    ResFile file;
    file.encoding = encoding;
    const std::vector<float> reals = Reals(encoding);
    std::size_t next = 0;
    for (const std::string& label : labels) {
        Simulation simulation{label, {}};
        for (const KindShape& shape : kKinds) {
            if (!complex && (shape.kind == 4 || shape.kind == 5)) {
                continue;
            }
            DataTypeRow row{shape.name, shape.kind, {}};
            const int firstId = shape.kind == 3 || shape.kind == 6 || shape.kind == 8 ? 1001 : 1;
            for (int i = 0; i < 5; ++i) {
                Record record{firstId + 3 * i, {}};
                for (int k = 0; k < shape.width; ++k) {
                    record.reals.push_back(reals[next++ % reals.size()]);
                }
                row.records.push_back(record);
            }
            simulation.rows.push_back(row);
        }
        file.simulations.push_back(simulation);
    }
    return file;
}

bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0);
}

// Compares everything the API answers for `path` with the host's road.
void ExpectMatchesHost(const std::string& path) {
    SCOPED_TRACE(path);
    HostedResult session;
    std::string error;
    ASSERT_TRUE(session.Open(path, kPlugin, true, error)) << error;
    rxResult& host = session.Result();
    ASSERT_GT(host.GetNumSubcases(), 0);
    rxSubcase* subcase = host.GetSubcase(0);
    subcase->ReadDataTypes();

    const kvres::Result result = kvres::open(path, true);
    const kvres::Subcase info = result.subcase();
    EXPECT_EQ(info.label, subcase->GetLabel());
    EXPECT_EQ(info.isComplex, subcase->GetSubcaseType() == 1);

    const std::vector<kvres::Simulation> sims = result.simulations();
    ASSERT_EQ(static_cast<int>(sims.size()), subcase->GetNumSimulations());
    for (std::size_t s = 0; s < sims.size(); ++s) {
        EXPECT_EQ(sims[s].label, subcase->GetSimulation(static_cast<int>(s))->GetLabel());
        EXPECT_EQ(sims[s].sync, subcase->GetSimulation(static_cast<int>(s))->GetSyncValue());
    }

    const std::vector<kvres::DataType> types = result.dataTypes();
    ASSERT_EQ(static_cast<int>(types.size()), subcase->GetNumDataTypes());
    int compared = 0;
    // Per read (real, complex), per data type: the union of every block's
    // ids as the host delivered them, and whether a block held one twice.
    std::vector<kvres::BlockEntityIds> unions[2];
    for (std::vector<kvres::BlockEntityIds>& some : unions) {
        some.resize(types.size());
    }
    for (std::size_t t = 0; t < types.size(); ++t) {
        rxDataType* type = subcase->GetDataType(static_cast<int>(t));
        SCOPED_TRACE(type->GetName());
        EXPECT_EQ(types[t].name, type->GetName());
        EXPECT_EQ(types[t].binding == kvres::DataType::Binding::Elements,
                  type->GetBinding() == rxDataType::Elements);
        const int format = static_cast<int>(type->GetAttributes().front().format);
        EXPECT_EQ(types[t].format == kvres::DataType::Format::Vector, format == 2);
        for (std::size_t s = 0; s < sims.size(); ++s) {
            rxSimulation* simulation = subcase->GetSimulation(static_cast<int>(s));
            for (const bool complexRead : {false, true}) {
                SCOPED_TRACE("simulation " + std::to_string(s) +
                             (complexRead ? " complex" : " real"));
                const kvres::ReadMode mode =
                    complexRead ? kvres::ReadMode::Complex : kvres::ReadMode::Real;
                DataSetReference dataSet(simulation->ReadDataSet(type, ""));
                if (dataSet.Get() == nullptr) {
                    EXPECT_THROW(result.read(types[t].name, static_cast<int>(s), mode),
                                 kvres::NoValuesError);
                    continue;
                }
                if (complexRead) {
                    dataSet.Get()->ReadComplexData(0);
                } else {
                    dataSet.Get()->ReadData(0);
                }
                const DataSetRows delivered(*dataSet.Get(), complexRead);
                const kvres::DataSet set = result.read(types[t].name, static_cast<int>(s), mode);
                EXPECT_EQ(set.width, delivered.Width());
                EXPECT_EQ(set.complexRead, complexRead);
                const std::vector<int> ids = dataSet.Get()->EntityIDs();
                EXPECT_EQ(set.ids, std::vector<int32_t>(ids.begin(), ids.end()));
                kvres::BlockEntityIds& all = unions[complexRead ? 1 : 0][t];
                std::vector<int32_t> sorted(ids.begin(), ids.end());
                std::sort(sorted.begin(), sorted.end());
                all.repeatedIds = all.repeatedIds ||
                                  std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end();
                all.ids.insert(all.ids.end(), sorted.begin(), sorted.end());
                std::vector<float> values(delivered.Count() * delivered.Width());
                for (std::size_t row = 0; row < delivered.Count(); ++row) {
                    delivered.Row(row, values.data() + row * delivered.Width());
                }
                EXPECT_TRUE(SameBits(set.values, values));
                ++compared;
            }
        }
        EntityIdCollector collector;
        subcase->ReadEntityIDs(type, 0, &collector);
        const std::vector<int32_t> ids = result.entityIds(types[t].name);
        EXPECT_EQ(ids, std::vector<int32_t>(collector.IDs().begin(), collector.IDs().end()));
    }
    EXPECT_GT(compared, 0);
    // Every block's ids, all data types in one call, against the host's.
    std::vector<std::string> names;
    for (const kvres::DataType& type : types) {
        names.push_back(type.name);
    }
    for (const bool complexRead : {false, true}) {
        const std::vector<kvres::BlockEntityIds> found = result.blockEntityIds(
            names, complexRead ? kvres::ReadMode::Complex : kvres::ReadMode::Real);
        ASSERT_EQ(found.size(), types.size());
        for (std::size_t t = 0; t < types.size(); ++t) {
            kvres::BlockEntityIds& want = unions[complexRead ? 1 : 0][t];
            std::sort(want.ids.begin(), want.ids.end());
            want.ids.erase(std::unique(want.ids.begin(), want.ids.end()), want.ids.end());
            EXPECT_EQ(found[t].dataType, names[t]);
            EXPECT_EQ(found[t].ids, want.ids) << names[t] << (complexRead ? " complex" : " real");
            EXPECT_EQ(found[t].repeatedIds, want.repeatedIds) << names[t];
        }
    }
}

struct EncodingCase {
    const char* name;
    Encoding encoding;
};

class ReaderMatchesHost : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(ReaderMatchesHost, EveryKindRealAndComplex) {
    TempDir folder;
    for (const bool complex : {false, true}) {
        const std::string path = folder.File(complex ? "complex.res" : "real.res");
        WriteFile(path,
                  Write(EveryKind(GetParam().encoding, {"Time = 1.5", "Time = 2.25"}, complex)));
        ExpectMatchesHost(path);
    }
}

INSTANTIATE_TEST_SUITE_P(Encodings, ReaderMatchesHost,
                         ::testing::Values(EncodingCase{"i4le", kInt4Real4LE},
                                           EncodingCase{"i4be", kInt4Real4BE},
                                           EncodingCase{"r8le", kInt4Real8LE},
                                           EncodingCase{"i8le", kInt8SecondCray8LE},
                                           EncodingCase{"i8be", kInt8FirstCray8BE}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReaderMatchesHostSeries, MixedEncodingSeriesAndACutShortBlock) {
    TempDir folder;
    WriteFile(folder.File("run.res"), Write(EveryKind(kInt4Real4BE, {"Time = 1"}, true)));
    WriteFile(folder.File("run0.res"),
              Write(EveryKind(kInt8SecondCray8LE, {"Time = 2", "Time = 3"}, true)));
    ExpectMatchesHost(folder.File("run.res"));

    // The last block loses its last record and a half: the read keeps the
    // whole records and says it is incomplete.
    ResFile cut = EveryKind(kInt4Real4LE, {"Time = 1"}, false);
    cut.simulations[0].rows.pop_back(); // the last block is then "flux"
    std::vector<unsigned char> bytes = Write(cut);
    bytes.resize(bytes.size() - 6);
    WriteFile(folder.File("cut.res"), bytes);
    ExpectMatchesHost(folder.File("cut.res"));
    const kvres::DataSet last = kvres::open(folder.File("cut.res")).read("flux:Magnitude", 0);
    EXPECT_EQ(last.ids.size(), 4u);
    EXPECT_FALSE(last.complete);
}

// Blocks whose ids change between simulations, as results whose entities
// come and go have them (a missing block is nullopt): the union of every
// block's ids against the blocks read one by one, beside a data type whose
// blocks never change, both in one call.
struct ChangingIdsCase {
    const char* name;
    std::vector<std::optional<std::vector<int32_t>>> blocks;
};

std::vector<int32_t> Span(int32_t first, int32_t step, int count) {
    std::vector<int32_t> ids;
    for (int i = 0; i < count; ++i) {
        ids.push_back(first + step * i);
    }
    return ids;
}

TEST(ReaderBlockEntityIds, UnionOfEveryBlockAsTheBlocksReadOneByOne) {
    const std::optional<std::vector<int32_t>> none;
    const ChangingIdsCase cases[] = {
        {"grows", {{{100}}, {{100, 101}}, {{100, 101, 102}}}},
        {"starts late, unsorted", {none, {{5, 3}}, {{3, 5}}}},
        {"repeats an id", {{{7, 7, 1}}, {{1}}, none}},
        {"empty first", {{{}}, {{2, 1}}, {{2, 1}}}},
        {"shrinks", {{{1, 2, 3}}, {{2}}, {{}}}},
        {"alternates", {{{1, 2}}, {{3}}, {{1, 2}}, {{3}}}},
        // More ids than are gathered before they are merged.
        {"all differ, many",
         {{Span(0, 4, 30000)},
          {Span(1, 4, 30000)},
          {Span(2, 4, 30000)},
          {Span(3, 4, 30000)},
          {Span(2, 4, 30000)}}},
    };
    TempDir folder;
    for (const ChangingIdsCase& one : cases) {
        SCOPED_TRACE(one.name);
        ResFile file;
        file.encoding = kInt4Real4LE;
        for (std::size_t s = 0; s < one.blocks.size(); ++s) {
            Simulation simulation{"Time = " + std::to_string(s + 1), {}};
            simulation.rows.push_back(DataTypeRow{"stress", 3, {Record{9, {1.0f}}}});
            if (one.blocks[s]) {
                DataTypeRow row{"temperature", 1, {}};
                for (const int32_t id : *one.blocks[s]) {
                    row.records.push_back(Record{id, {0.5f}});
                }
                simulation.rows.push_back(row);
            }
            file.simulations.push_back(simulation);
        }
        const std::string path = folder.File(std::string(one.name) + ".res");
        WriteFile(path, Write(file));
        const kvres::Result result = kvres::open(path);
        std::vector<int32_t> want;
        bool repeated = false;
        for (std::size_t s = 0; s < one.blocks.size(); ++s) {
            try {
                std::vector<int32_t> ids = result.read("temperature", static_cast<int>(s)).ids;
                std::sort(ids.begin(), ids.end());
                repeated = repeated || std::adjacent_find(ids.begin(), ids.end()) != ids.end();
                want.insert(want.end(), ids.begin(), ids.end());
            } catch (const kvres::NoValuesError&) {
                EXPECT_FALSE(one.blocks[s]);
            }
        }
        std::sort(want.begin(), want.end());
        want.erase(std::unique(want.begin(), want.end()), want.end());
        const std::vector<kvres::BlockEntityIds> found =
            result.blockEntityIds({"temperature", "stress"});
        ASSERT_EQ(found.size(), 2u);
        EXPECT_EQ(found[0].ids, want);
        EXPECT_EQ(found[0].repeatedIds, repeated);
        EXPECT_EQ(found[1].ids, std::vector<int32_t>{9});
        EXPECT_FALSE(found[1].repeatedIds);
    }
}

// Every failure throws its own type, and every one of them is caught as
// kvres::Error too (and as std::runtime_error) across the shared library.
template <typename Expected, typename Call> void ExpectFailure(const char* what, Call call) {
    SCOPED_TRACE(what);
    EXPECT_THROW(call(), Expected);
    try {
        call();
        ADD_FAILURE() << "no exception";
    } catch (const kvres::Error& error) {
        EXPECT_NE(dynamic_cast<const Expected*>(&error), nullptr);
        EXPECT_NE(dynamic_cast<const kvres::ReadError*>(&error), nullptr);
        EXPECT_NE(dynamic_cast<const std::runtime_error*>(&error), nullptr);
        EXPECT_STRNE(error.what(), "");
    }
}

TEST(ReaderErrors, EachFailureHasItsType) {
    TempDir folder;
    const std::string path = folder.File("real.res");
    ResFile foreign = EveryKind(kInt4Real4LE, {"Time = 1"}, false);
    foreign.title = "korvane results";
    WriteFile(folder.File("foreign.res"), Write(foreign));
    EXPECT_FALSE(kvres::open(folder.File("foreign.res"), true).recognized());
    // The refusal says why, in the words the Python module uses.
    try {
        kvres::open(folder.File("foreign.res"));
    } catch (const kvres::NotRecognizedError& error) {
        EXPECT_NE(std::string(error.what())
                      .find("not a .res result file (it does not begin with the title"),
                  std::string::npos)
            << error.what();
    }

    // "stress" has values in the first simulation only.
    ResFile partial = EveryKind(kInt4Real4LE, {"Time = 1", "Time = 2"}, false);
    auto& rows = partial.simulations[1].rows;
    rows.erase(rows.begin() + 3);
    WriteFile(path, Write(partial));
    kvres::Result result = kvres::open(path);
    EXPECT_EQ(result.read("temperature", -1).simulation, 1);
    EXPECT_EQ(result.read("stress", 0).ids.size(), 5u);
    kvres::Result closed = kvres::open(path);
    closed.close();
    EXPECT_EQ(closed.path(), path);

    ExpectFailure<kvres::FileError>("missing", [&] { kvres::open(folder.File("missing.res")); });
    ExpectFailure<kvres::FileError>("folder", [&] { kvres::open(folder.Path().string()); });
    ExpectFailure<kvres::NotRecognizedError>("title",
                                             [&] { kvres::open(folder.File("foreign.res")); });
    ExpectFailure<kvres::DataTypeNotFoundError>("type", [&] { result.read("no such type", 0); });
    ExpectFailure<kvres::SimulationIndexError>("past", [&] { result.read("temperature", 2); });
    ExpectFailure<kvres::SimulationIndexError>("before", [&] { result.read("temperature", -3); });
    ExpectFailure<kvres::NoValuesError>("values", [&] { result.read("stress", 1); });
    ExpectFailure<kvres::ClosedError>("closed list", [&] { closed.dataTypes(); });
    ExpectFailure<kvres::ClosedError>("closed read", [&] { closed.read("temperature", 0); });
    ExpectFailure<kvres::DataTypeNotFoundError>("union type", [&] {
        result.blockEntityIds({"temperature", "no such type"});
    });
    ExpectFailure<kvres::ClosedError>("closed union",
                                      [&] { closed.blockEntityIds({"temperature"}); });
    EXPECT_EQ(result.blockEntityIds({"stress"}).at(0).ids.size(), 5u);
}

#if !defined(_WIN32)
// What is not a readable regular file is refused at once, before anything
// is read, forced or not: a FIFO (an open would wait for a writer), a device
// (it would read as an empty result) and a name holding a NUL (the system
// would open the name cut at it).
TEST(ReaderErrors, OnlyRegularFilesOpenAndAtOnce) {
    TempDir folder;
    const std::string path = folder.File("a.res");
    WriteFile(path, Write(EveryKind(kInt4Real4LE, {"Time = 1"}, false)));
    ASSERT_EQ(mkfifo(folder.File("fifo.res").c_str(), 0600), 0);
    const std::string withNul = path + std::string(1, '\0') + "x";
    for (const std::string& bad : {folder.File("fifo.res"), std::string("/dev/null"), withNul}) {
        for (bool force : {false, true}) {
            EXPECT_THROW(kvres::open(bad, force), kvres::FileError) << bad << " " << force;
        }
    }
    try {
        kvres::open(withNul);
    } catch (const kvres::FileError& error) {
        EXPECT_EQ(error.code(), EINVAL);
    }
}

// Every entry judges a path with the file layer's one check, so each gives
// the same answer for the same entry: the C++ API's error names the reason
// the tool's entry gives, the plug-in's identification declines, and none
// of them waits on the FIFO. The whole table runs on a thread of its own;
// a call that waits is released by opening the FIFO's other end and fails
// the test instead of hanging it.
TEST(ReaderErrors, EveryEntryGivesTheSameAnswerAtOnce) {
    TempDir folder;
    const std::string fifo = folder.File("fifo.res");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string good = folder.File("a.res");
    WriteFile(good, Write(EveryKind(kInt4Real4LE, {"Time = 1"}, false)));
    struct Case {
        std::string path;
        const char* reason; // words of the reason every entry gives
        int code;           // the C++ API's error code
    };
    const std::vector<Case> cases = {
        {fifo, "FIFO", 0},
        {"/dev/null", "character device", 0},
        {folder.Path().string(), "is a directory", EISDIR},
        {folder.File("missing.res"), std::strerror(ENOENT), ENOENT},
        {good + std::string(1, '\0') + "x", "NUL", EINVAL},
    };
    auto check = [&] {
        for (const Case& c : cases) {
            const std::string tool = HostedResult::Unreadable(c.path);
            EXPECT_NE(tool.find(c.reason), std::string::npos) << c.path << ": " << tool;
            for (bool force : {false, true}) {
                try {
                    kvres::open(c.path, force);
                    ADD_FAILURE() << c.path << " opened";
                } catch (const kvres::FileError& error) {
                    std::string shown = c.path; // a NUL shown as \0
                    const std::size_t nul = shown.find('\0');
                    if (nul != std::string::npos) {
                        shown.replace(nul, 1, "\\0");
                    }
                    EXPECT_EQ(std::string(error.what()), shown + ": " + tool);
                    EXPECT_EQ(error.code(), c.code) << c.path;
                }
            }
        }
        EXPECT_TRUE(HostedResult::Unreadable(good).empty());
    };
    auto running = std::async(std::launch::async, check);
    if (running.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        ADD_FAILURE() << "an entry waits on the FIFO";
        while (running.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
            const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0) {
                ::close(writer);
            }
        }
    }
    running.get();
}
#endif

// A result reads the files it was opened on, or raises: a file rewritten
// where it stands (the result may hold it open) and a series file replaced
// while another one is read (it is reopened by its name) raise FileError
// instead of giving the other bytes' values. The module's tests try the
// other changes (replaced, removed, another working directory) through the
// same file set.
TEST(ReaderErrors, AFileChangedAfterTheOpenNeverGivesOtherValues) {
    TempDir folder;
    auto Temperatures = [](float value) {
        ResFile file;
        file.simulations.push_back(
            {"Time = 1",
             {DataTypeRow{"temperature", 1, {Record{7, {value}}, Record{8, {value}}}}}});
        return file;
    };
    const std::string path = folder.File("run.res");
    const std::string other = folder.File("other.res");
    WriteFile(path, Write(Temperatures(1.0f)));
    {
        kvres::Result result = kvres::open(path);
        EXPECT_EQ(result.read("temperature", 0).values, std::vector<float>({1.0f, 1.0f}));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        WriteFile(path, Write(Temperatures(2.0f))); // in place, the same length
        EXPECT_THROW(result.read("temperature", 0), kvres::FileError);
        EXPECT_THROW(result.entityIds("temperature"), kvres::FileError);
        EXPECT_THROW(result.blockEntityIds({"temperature"}), kvres::FileError);
    }

    // A series file replaced while another one is read reopens by its name:
    // the identity recorded at the open tells the new file apart.
    WriteFile(path, Write(Temperatures(1.0f)));
    ResFile second = Temperatures(3.0f);
    second.simulations[0].label = "Time = 2";
    WriteFile(folder.File("run1.res"), Write(second));
    kvres::Result series = kvres::open(path);
    ASSERT_EQ(series.simulations().size(), 2u);
    EXPECT_EQ(series.read("temperature", 1).values, std::vector<float>({3.0f, 3.0f}));
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    WriteFile(other, Write(Temperatures(2.0f)));
    std::filesystem::rename(other, path);
    EXPECT_THROW(series.read("temperature", 0), kvres::FileError);
    EXPECT_EQ(series.read("temperature", 1).values, std::vector<float>({3.0f, 3.0f}));
}

} // namespace
