// The example set's JSON is stable: kvres-tool's dump of build/examples/beam.res
// (three files in three encodings, every kind the examples use) must equal the
// reviewed document committed beside this test, apart from the echoed path.
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
    JsonValue actual = tooltest::RunJson({"dump", example, "--format", "json", "--entity-ids"});
    EXPECT_EQ(actual["file"].Text(), example);

    const std::filesystem::path goldenPath =
        std::filesystem::path(__FILE__).parent_path() / "beam.golden.json";
    JsonValue golden;
    std::string error;
    ASSERT_TRUE(JsonValue::Parse(ReadText(goldenPath), golden, error))
        << goldenPath << ": " << error;

    actual.Erase("file");
    golden.Erase("file");
    ASSERT_EQ(actual.Keys(), golden.Keys());
    EXPECT_EQ(actual["recognized"], golden["recognized"]);
    const JsonValue& actualSubcase = actual["subcases"][0];
    const JsonValue& goldenSubcase = golden["subcases"][0];
    EXPECT_EQ(actualSubcase["dataTypes"], goldenSubcase["dataTypes"]);
    // Compare simulation by simulation so a difference points at its place.
    ASSERT_EQ(actualSubcase["simulations"].Size(), goldenSubcase["simulations"].Size());
    for (std::size_t s = 0; s < goldenSubcase["simulations"].Size(); ++s) {
        const JsonValue& want = goldenSubcase["simulations"][s];
        const JsonValue& got = actualSubcase["simulations"][s];
        ASSERT_EQ(got["dataSets"].Size(), want["dataSets"].Size()) << "simulation " << s;
        for (std::size_t d = 0; d < want["dataSets"].Size(); ++d) {
            EXPECT_EQ(got["dataSets"][d], want["dataSets"][d])
                << "simulation " << s << ", data set " << want["dataSets"][d]["dataType"].Text();
        }
    }
    EXPECT_EQ(actual, golden);
}

} // namespace
