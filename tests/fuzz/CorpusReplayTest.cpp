// Replays every checked-in fuzz input, fuzz/corpus/TARGET/*, through the
// entry function of its target, as one test per input: every past finding
// stays fixed, with this build's compiler and without libFuzzer. A fault
// aborts the test's process with the target's own message.
#include "FuzzEntries.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

using Entry = int (*)(const std::uint8_t*, std::size_t);

struct Target {
    const char* name;
    Entry entry;
};

const Target kTargets[] = {
    {"series", &kvresfuzz::SeriesOneInput},
    {"single_file", &kvresfuzz::SingleFileOneInput},
    {"label_number", &kvresfuzz::LabelNumberOneInput},
#if KVRES_FUZZ_JSON_TEXT
    {"json_text", &kvresfuzz::JsonTextOneInput},
#endif
};

struct CorpusInput {
    const Target* target;
    fs::path file;
};

std::vector<CorpusInput> AllInputs() {
    std::vector<CorpusInput> inputs;
    for (const Target& target : kTargets) {
        const fs::path folder = fs::path(KVRES_FUZZ_CORPUS_DIR) / target.name;
        std::error_code error;
        std::vector<fs::path> files;
        for (fs::directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error)) {
            if (it->is_regular_file()) {
                files.push_back(it->path());
            }
        }
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            inputs.push_back({&target, file});
        }
    }
    return inputs;
}

std::string TestName(const testing::TestParamInfo<CorpusInput>& info) {
    std::string name = std::string(info.param.target->name) + "_" + info.param.file.filename().string();
    for (char& c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!plain) {
            c = '_';
        }
    }
    return name;
}

class CorpusReplay : public testing::TestWithParam<CorpusInput> {};

TEST_P(CorpusReplay, RunsWithoutFault) {
    std::ifstream in(GetParam().file, std::ios::binary);
    ASSERT_TRUE(in) << GetParam().file;
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    EXPECT_EQ(0, GetParam().target->entry(bytes.data(), bytes.size()));
}

INSTANTIATE_TEST_SUITE_P(FuzzCorpus, CorpusReplay, testing::ValuesIn(AllInputs()), TestName);

TEST(FuzzCorpus, EveryTargetHasInputs) {
    const std::vector<CorpusInput> inputs = AllInputs();
    for (const Target& target : kTargets) {
        EXPECT_TRUE(std::any_of(inputs.begin(), inputs.end(),
                                [&](const CorpusInput& input) { return input.target == &target; }))
            << "fuzz/corpus/" << target.name << " holds no input";
    }
}

} // namespace
