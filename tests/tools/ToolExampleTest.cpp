// The example set's JSON is stable: kvres-tool's dump of build/examples/beam.res
// (three files in three encodings, every kind the examples use) must equal the
// reviewed document committed beside this test, apart from the echoed path.
// Documents are compared as nlohmann-json writes them back, so floats that
// differ in any bit (0 and -0 too) and keys in another order differ.
// When the example generator changes on purpose, regenerate the golden file
// with `kvres-tool dump beam.res --format json --entity-ids` and review it.
#include "ToolTestSupport.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ToolExampleTest, ExampleSetJsonMatchesTheGoldenDocument) {
    const std::string example = ToolRunner::BinDir() + "/../examples/beam.res";
    ASSERT_TRUE(std::filesystem::exists(example)) << example;
    Json actual = tooltest::RunJson({"dump", example, "--format", "json", "--entity-ids"});
    EXPECT_EQ(actual.at("file").get<std::string>(), example);

    const std::filesystem::path goldenPath =
        std::filesystem::path(__FILE__).parent_path() / "beam.golden.json";
    Json golden;
    std::string error;
    ASSERT_TRUE(tooltest::ParseJson(ReadText(goldenPath), golden, error))
        << goldenPath << ": " << error;

    actual.erase("file");
    golden.erase("file");
    ASSERT_EQ(tooltest::Keys(actual), tooltest::Keys(golden));
    EXPECT_EQ(actual.at("recognized").dump(), golden.at("recognized").dump());
    const Json& actualSubcase = actual.at("subcases").at(0);
    const Json& goldenSubcase = golden.at("subcases").at(0);
    EXPECT_EQ(actualSubcase.at("dataTypes").dump(), goldenSubcase.at("dataTypes").dump());
    // Compare simulation by simulation so a difference points at its place.
    ASSERT_EQ(actualSubcase.at("simulations").size(), goldenSubcase.at("simulations").size());
    for (std::size_t s = 0; s < goldenSubcase.at("simulations").size(); ++s) {
        const Json& want = goldenSubcase.at("simulations").at(s);
        const Json& got = actualSubcase.at("simulations").at(s);
        ASSERT_EQ(got.at("dataSets").size(), want.at("dataSets").size()) << "simulation " << s;
        for (std::size_t d = 0; d < want.at("dataSets").size(); ++d) {
            EXPECT_EQ(got.at("dataSets").at(d).dump(), want.at("dataSets").at(d).dump())
                << "simulation " << s << ", data set "
                << want.at("dataSets").at(d).at("dataType").get<std::string>();
        }
    }
    EXPECT_EQ(actual.dump(), golden.dump());
}

} // namespace
