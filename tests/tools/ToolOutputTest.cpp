// kvres-tool's output as a resource: the text format's memory does not grow
// with the data set, a failed write ends the tool with a message and exit 1,
// and a bare --plugin name means that file in the current folder.
#include "ToolTestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using reswriter::ResFile;
using reswriter::TempDir;
using tooltest::WriteRes;

ResFile OneBlock(int entities) {
    ResFile file;
    reswriter::DataTypeRow row{"temperature", 1, {}};
    row.records.reserve(static_cast<std::size_t>(entities));
    for (int e = 0; e < entities; ++e) {
        row.records.push_back({e + 1, {static_cast<float>(e) * 0.37f}});
    }
    file.simulations.push_back({"Time = 1", {row}});
    return file;
}

// Peak resident memory (KiB) of one run of the tool with its output discarded.
long PeakMemoryKiB(const std::vector<std::string>& arguments) {
    const pid_t child = fork();
    if (child == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::vector<char*> argv;
        const std::string tool = ToolRunner::ToolPath();
        argv.push_back(const_cast<char*>(tool.c_str()));
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        execv(tool.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return usage.ru_maxrss;
}

// Runs a shell command line and returns its exit status.
int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ToolOutputTest, TextDumpMemoryDoesNotGrowWithTheDataSet) {
    TempDir dir;
    const std::string small = WriteRes(dir, "small.res", OneBlock(1000));
    const std::string large = WriteRes(dir, "large.res", OneBlock(1000000));
    const long smallPeak = PeakMemoryKiB({"dump", small});
    const long largePeak = PeakMemoryKiB({"dump", large});
    // The host library keeps the values (8 bytes an entity, about 8 MB here);
    // the text writer itself must add no copy of its own on top.
    EXPECT_LT(largePeak - smallPeak, 24 * 1024) << smallPeak << " KiB vs " << largePeak << " KiB";
}

TEST(ToolOutputTest, AWriteErrorEndsTheToolWithAMessageAndExitFour) {
    TempDir dir;
    const std::string file = WriteRes(dir, "large.res", OneBlock(200000));
    const std::string err = dir.File("err.txt");
    const std::string tool = ToolRunner::ShellQuote(ToolRunner::ToolPath());
    for (const char* format : {"text", "json", "csv"}) {
        EXPECT_EQ(Shell(tool + " dump " + ToolRunner::ShellQuote(file) + " --format " + format +
                        " >/dev/full 2>" + ToolRunner::ShellQuote(err)),
                  4)
            << format;
        EXPECT_NE(ReadText(err).find("cannot write the output"), std::string::npos) << format;
    }
    // A reader that goes away: the tool ends quietly, as SIGPIPE ends cat.
    const std::string status = dir.File("status.txt");
    Shell("(" + tool + " dump " + ToolRunner::ShellQuote(file) + " 2>" +
          ToolRunner::ShellQuote(err) + "; echo $? >" + ToolRunner::ShellQuote(status) +
          ") | head -c 10 >/dev/null");
    EXPECT_EQ(ReadText(status), "141\n");
    EXPECT_EQ(ReadText(err), "");
}

TEST(ToolOutputTest, ABarePluginNameIsTheFileInTheCurrentFolder) {
    TempDir dir;
    const std::string file = WriteRes(dir, "small.res", OneBlock(3));
    std::filesystem::copy_file(ToolRunner::BinDir() + "/kvres.so", dir.File("reader.so"));
    const std::string tool = ToolRunner::ShellQuote(ToolRunner::ToolPath());
    const std::string inDir = "cd " + ToolRunner::ShellQuote(dir.Path().string()) + " && ";
    EXPECT_EQ(Shell(inDir + tool + " info small.res --plugin reader.so >/dev/null 2>&1"), 0);
    // A library the system would find on its own search path is not looked for.
    const std::string err = dir.File("err.txt");
    EXPECT_EQ(Shell(inDir + tool + " info small.res --plugin libm.so.6 >/dev/null 2>" +
                    ToolRunner::ShellQuote(err)),
              5);
    EXPECT_NE(ReadText(err).find("./libm.so.6"), std::string::npos) << ReadText(err);
    EXPECT_EQ(ReadText(err).find("SupplyReaderFunctionTable"), std::string::npos) << ReadText(err);
}

} // namespace
