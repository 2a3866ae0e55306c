// kvres-tool as a command-line tool: every row of the exit-code table, a
// quiet end on a broken pipe, what reaches a terminal (bytes read from a
// pseudo-terminal the tool writes to: no control sequence from a file, the
// progress bar only when standard output is elsewhere), '--' and '-',
// repeated options, the simulation grammar and data-type globs. The text rule
// itself is held against a plain reading of UTF-8 on random bytes.
#include "NameMatch.h"
#include "ShownText.h"
#include "SimulationList.h"
#include "ToolTestSupport.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using reswriter::DataTypeRow;
using reswriter::ResFile;
using reswriter::TempDir;
using tooltest::WriteRes;

std::string ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Runs `command` with bash; its exit status (128 + N when killed by signal N,
// as shells report it).
int Bash(const std::string& command) {
    const int status = std::system(("bash -c " + ToolRunner::ShellQuote(command)).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Tool() {
    return ToolRunner::ShellQuote(ToolRunner::ToolPath());
}

std::string Quoted(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        line += ' ' + ToolRunner::ShellQuote(argument);
    }
    return line;
}

// `count` simulations "Time = s" of a scalar "temperature" and the three
// parts of "heat flux", `entities` entities each, values offset by `shift`.
ResFile Series(int count, int entities, float shift = 0) {
    ResFile file;
    for (int s = 0; s < count; ++s) {
        reswriter::Simulation simulation{"Time = " + std::to_string(s), {}};
        DataTypeRow temperature{"temperature", 1, {}};
        DataTypeRow flux{"heat flux", 8, {}};
        for (int e = 1; e <= entities; ++e) {
            temperature.records.push_back({e, {static_cast<float>(s * 10 + e) + shift}});
            flux.records.push_back({e, {1, 2, 3}});
        }
        simulation.rows = {temperature, flux};
        file.simulations.push_back(simulation);
    }
    return file;
}

// The files every table below works on, written once.
struct Files {
    TempDir dir;
    std::string good = WriteRes(dir, "good.res", Series(3, 2));
    std::string other = WriteRes(dir, "other.res", Series(3, 2, 0.5f));
    std::string big = WriteRes(dir, "big.res", Series(2, 20000));
    std::string cut = Cut();
    std::string missing = dir.File("missing.res");

    // A file whose last block claims more records than it holds: it opens,
    // its structure reads, one data set cannot be read.
    std::string Cut() {
        ResFile file = Series(2, 2);
        file.simulations.back().rows.back().entityCount = 50;
        return WriteRes(dir, "cut.res", file);
    }
};

Files& Shared() {
    static Files files;
    return files;
}

struct ExitCase {
    const char* name;
    std::vector<std::string> arguments; // "@good" and the like name the files above
    const char* output;                 // where standard output goes
    int code;
};

std::string Resolve(const std::string& argument) {
    Files& files = Shared();
    if (argument == "@good")
        return files.good;
    if (argument == "@other")
        return files.other;
    if (argument == "@cut")
        return files.cut;
    if (argument == "@missing")
        return files.missing;
    if (argument == "@nofolder")
        return files.dir.File("no/such/folder/plot.svg");
    if (argument == "@noplugin")
        return files.dir.File("none.so");
    if (argument == "@out")
        return files.dir.File("out.res");
    return argument;
}

class ExitCodeTest : public testing::TestWithParam<ExitCase> {};

TEST_P(ExitCodeTest, EachRowOfTheTable) {
    const ExitCase& row = GetParam();
    std::vector<std::string> arguments;
    for (const std::string& argument : row.arguments) {
        arguments.push_back(Resolve(argument));
    }
    const std::string err = Shared().dir.File(std::string(row.name) + ".err");
    const int code =
        Bash(Tool() + Quoted(arguments) + " >" + row.output + " 2>" + ToolRunner::ShellQuote(err));
    EXPECT_EQ(code, row.code) << ReadAll(err);
    if (row.code >= 2) {
        EXPECT_EQ(tooltest::LineCount(ReadAll(err)) > 0, true) << "trouble is said";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ExitCodeTest,
    testing::Values(
        ExitCase{"info", {"info", "@good"}, "/dev/null", 0},
        ExitCase{"diffEqual", {"diff", "@good", "@good"}, "/dev/null", 0},
        ExitCase{"diffDifferent", {"diff", "@good", "@other"}, "/dev/null", 1},
        ExitCase{"checkIntact", {"check", "@good"}, "/dev/null", 0},
        ExitCase{"checkProblems", {"check", "@cut"}, "/dev/null", 1},
        ExitCase{"dumpReadFails", {"dump", "@cut"}, "/dev/null", 1},
        ExitCase{"unknownCommand", {"dmp", "@good"}, "/dev/null", 2},
        ExitCase{"helpUnknown", {"help", "nosuch"}, "/dev/null", 2},
        ExitCase{"unknownOption", {"dump", "@good", "--formt", "json"}, "/dev/null", 2},
        ExitCase{"dumpSimBeyond", {"dump", "@good", "--sim", "9"}, "/dev/null", 2},
        ExitCase{"diffSimBeyond", {"diff", "@good", "@other", "--sims", "0,7"}, "/dev/null", 2},
        ExitCase{"convertSimBeyond", {"convert", "@good", "@out", "--sim", "2..5"}, "/dev/null", 2},
        ExitCase{"noSuchType", {"dump", "@good", "--type", "tempratur"}, "/dev/null", 2},
        ExitCase{"convertToStdout", {"convert", "@good", "-"}, "/dev/null", 2},
        ExitCase{"missing", {"info", "@missing"}, "/dev/null", 3},
        ExitCase{"diffMissing", {"diff", "@good", "@missing"}, "/dev/null", 3},
        ExitCase{"fullDisk", {"dump", "@good"}, "/dev/full", 4},
        ExitCase{"diffFullDisk", {"diff", "@good", "@other"}, "/dev/full", 4},
        ExitCase{"checkFullDisk", {"check", "@cut"}, "/dev/full", 4},
        ExitCase{"helpFullDisk", {"--help"}, "/dev/full", 4},
        ExitCase{
            "svgNoFolder",
            {"history", "@good", "--type", "temperature", "--entity", "1", "--svg", "@nofolder"},
            "/dev/null",
            4},
        ExitCase{"noPlugin", {"info", "@good", "--plugin", "@noplugin"}, "/dev/null", 5}),
    [](const testing::TestParamInfo<ExitCase>& info) { return std::string(info.param.name); });

TEST(ToolConductTest, ABrokenPipeEndsQuietlyAsSigpipeDoes) {
    const std::string err = Shared().dir.File("pipe.err");
    for (const char* format : {"text", "json", "csv"}) {
        const int code = Bash("set -o pipefail; " + Tool() + " dump " +
                              ToolRunner::ShellQuote(Shared().big) + " --format " + format + " 2>" +
                              ToolRunner::ShellQuote(err) + " | head -c 100 >/dev/null");
        EXPECT_EQ(code, 141) << format;
        EXPECT_EQ(ReadAll(err), "") << format;
    }
}

TEST(ToolConductTest, SvgFailureSaysWhyAndLeavesNoFile) {
    const std::string plot = Shared().dir.File("no/such/folder/plot.svg");
    const ToolRun run = ToolRunner::Run(
        {"history", Shared().good, "--type", "temperature", "--entity", "1", "--svg", plot});
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_NE(run.err.find("No such file or directory"), std::string::npos) << run.err;
    EXPECT_FALSE(std::ifstream(plot).good());
}

// --- what reaches a terminal -------------------------------------------

struct PtyRun {
    int exitCode = -1;
    std::string terminal; // every byte the tool wrote to the terminal
    std::string file;     // the stream that went to a file instead
};

// Runs the tool with standard output and/or standard error on a new
// pseudo-terminal; the other stream goes to a file.
PtyRun RunOnPty(const std::vector<std::string>& arguments, bool outOnPty, bool errOnPty) {
    PtyRun run;
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        ADD_FAILURE() << "no pseudo-terminal";
        return run;
    }
    const std::string slaveName = ptsname(master);
    const std::string other = Shared().dir.File("pty-other.txt");
    const pid_t child = fork();
    if (child == 0) {
        setsid();
        const int slave = open(slaveName.c_str(), O_RDWR);
        const int file = open(other.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(outOnPty ? slave : file, 1);
        dup2(errOnPty ? slave : file, 2);
        const int input = open("/dev/null", O_RDONLY);
        dup2(input, 0);
        std::vector<std::string> line = {ToolRunner::ToolPath()};
        line.insert(line.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& argument : line) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    char buffer[4096];
    while (true) {
        const ssize_t got = read(master, buffer, sizeof(buffer));
        if (got > 0) {
            run.terminal.append(buffer, static_cast<std::size_t>(got));
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else {
            break; // EIO: the last holder of the terminal has gone
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    close(master);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.file = ReadAll(other);
    return run;
}

// Labels and names that would drive a terminal: retitle it, clear it, turn
// it red, and the one-byte C1 CSI (valid UTF-8 U+009B and the raw byte).
ResFile Hostile() {
    ResFile file = Series(2, 1);
    file.simulations[0].label = "\x1B]0;pwned\x07";
    file.simulations[1].label = "\x1B[2J\x1B[31m";
    file.simulations[0].rows[1].name = "Temperat\xC3\xBCr\xC2\x9B"
                                       "1m\x9B";
    file.simulations[1].rows[1].name = file.simulations[0].rows[1].name;
    return file;
}

// A control byte other than CR and LF, or a C1 control as UTF-8.
bool HoldsControl(const std::string& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(bytes[i]);
        if ((byte < 0x20 && byte != '\r' && byte != '\n') || byte == 0x7F || byte == 0x9B ||
            (byte == 0xC2 && i + 1 < bytes.size() &&
             static_cast<unsigned char>(bytes[i + 1]) < 0xA0)) {
            return true;
        }
    }
    return false;
}

struct TerminalCase {
    const char* name;
    std::vector<std::string> arguments;
    bool rawInPipe; // CSV: in a pipe the file's bytes as they are
};

class TerminalTest : public testing::TestWithParam<TerminalCase> {};

TEST_P(TerminalTest, NothingFromTheFileDrivesTheTerminal) {
    TempDir dir;
    const std::string path = WriteRes(dir, "hostile.res", Hostile());
    std::vector<std::string> arguments = GetParam().arguments;
    arguments.insert(arguments.begin() + 1, path);
    const PtyRun run = RunOnPty(arguments, true, false);
    EXPECT_EQ(run.exitCode, 0) << run.file;
    EXPECT_FALSE(HoldsControl(run.terminal)) << run.terminal;
    EXPECT_TRUE(run.terminal.find("\\x1B]0;pwned\\x07") != std::string::npos ||
                run.terminal.find("\\u001B]0;pwned\\u0007") != std::string::npos)
        << run.terminal;
    // Valid UTF-8 stays itself; its C1 control and the stray byte do not.
    if (GetParam().arguments.front() == "dump") {
        EXPECT_NE(run.terminal.find("Temperat\xC3\xBCr"), std::string::npos) << run.terminal;
    }

    // In a pipe, CSV stays byte-exact.
    if (GetParam().rawInPipe) {
        const ToolRun piped = ToolRunner::Run(arguments);
        EXPECT_NE(piped.out.find("\x1B]0;pwned\x07"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryFormat, TerminalTest,
    testing::Values(
        TerminalCase{"dumpCsv", {"dump", "--format", "csv"}, true},
        TerminalCase{"dumpText", {"dump"}, false},
        TerminalCase{"dumpJson", {"dump", "--format", "json"}, false},
        TerminalCase{"info", {"info"}, false},
        TerminalCase{"historyCsv", {"history", "--type", "temperature", "--entity", "1"}, true},
        TerminalCase{"historyText",
                     {"history", "--type", "temperature", "--entity", "1", "--format", "text"},
                     false},
        TerminalCase{"historyJson",
                     {"history", "--type", "temperature", "--entity", "1", "--format", "json"},
                     false}),
    [](const testing::TestParamInfo<TerminalCase>& info) { return std::string(info.param.name); });

TEST(ToolConductTest, UnknownTypeNamesFromTheFileReachStderrEscaped) {
    TempDir dir;
    const std::string path = WriteRes(dir, "hostile.res", Hostile());
    const PtyRun run =
        RunOnPty({"history", path, "--type", "\x1B[2J", "--entity", "1"}, false, true);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_FALSE(HoldsControl(run.terminal)) << run.terminal;
}

struct BarCase {
    const char* name;
    bool outOnPty, errOnPty;
    std::vector<std::string> extra;
    bool barShown;
};

class ProgressBarTest : public testing::TestWithParam<BarCase> {};

TEST_P(ProgressBarTest, DrawnOnlyWhenTheDataGoesElsewhere) {
    const BarCase& row = GetParam();
    std::vector<std::string> arguments = {"dump", Shared().good, "--format", "csv"};
    arguments.insert(arguments.end(), row.extra.begin(), row.extra.end());
    const PtyRun run = RunOnPty(arguments, row.outOnPty, row.errOnPty);
    ASSERT_EQ(run.exitCode, 0) << run.file;
    const std::string& err = row.errOnPty ? run.terminal : run.file;
    const std::string& out = row.outOnPty ? run.terminal : run.file;
    EXPECT_EQ(out.find("simulations"), std::string::npos) << "the bar among the data";
    EXPECT_NE(out.find("temperature"), std::string::npos);
    EXPECT_EQ(err.find("3/3 simulations") != std::string::npos, row.barShown) << err;
    if (row.barShown) {
        // Drawn with a rate and the time left, and erased at the end.
        EXPECT_NE(err.find("/s, "), std::string::npos) << err;
        EXPECT_NE(err.find(" left"), std::string::npos) << err;
        // It ends "\r", as many spaces as its longest line, "\r".
        ASSERT_GE(err.size(), 2u);
        EXPECT_EQ(err.back(), '\r');
        const std::size_t start = err.rfind('\r', err.size() - 2);
        ASSERT_NE(start, std::string::npos);
        const std::string eraser = err.substr(start + 1, err.size() - start - 2);
        EXPECT_EQ(eraser.find_first_not_of(' '), std::string::npos);
        std::size_t longest = 0;
        std::istringstream lines(err.substr(0, start));
        for (std::string line; std::getline(lines, line, '\r');) {
            const std::size_t end = line.find_last_not_of(' ');
            longest = std::max(longest, end == std::string::npos ? 0 : end + 1);
        }
        EXPECT_GE(eraser.size(), longest) << err;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Streams, ProgressBarTest,
    testing::Values(BarCase{"bothOnTheTerminal", true, true, {}, false},
                    BarCase{"dataToAFile", false, true, {}, true},
                    BarCase{"dataToAFileQuiet", false, true, {"--quiet"}, false},
                    BarCase{"errorsToAFile", true, false, {}, false}),
    [](const testing::TestParamInfo<BarCase>& info) { return std::string(info.param.name); });

// --- arguments as users type them --------------------------------------

// The simulations a CSV dump holds, in order of first appearance.
std::vector<int> DumpedSimulations(const std::string& csv) {
    std::vector<int> simulations;
    std::istringstream lines(csv);
    std::string line;
    std::getline(lines, line); // the header
    while (std::getline(lines, line)) {
        const int index = std::atoi(line.c_str());
        if (simulations.empty() || simulations.back() != index) {
            simulations.push_back(index);
        }
    }
    return simulations;
}

struct SelectionCase {
    std::vector<std::string> options;
    std::vector<int> simulations;
};

class SelectionTest : public testing::TestWithParam<SelectionCase> {};

// Both write the selected simulations in the file's order.
TEST_P(SelectionTest, DumpAndConvertSelectTheSameSimulations) {
    TempDir dir;
    const std::string path = WriteRes(dir, "six.res", Series(6, 1));
    std::vector<std::string> dump = {"dump", path, "--format", "csv", "--type", "temperature"};
    dump.insert(dump.end(), GetParam().options.begin(), GetParam().options.end());
    const ToolRun run = ToolRunner::Run(dump);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(DumpedSimulations(run.out), GetParam().simulations);

    // convert writes the same ones.
    const std::vector<int>& sorted = GetParam().simulations;
    const std::string out = dir.File("part.res");
    std::vector<std::string> convert = {"convert", path, out};
    convert.insert(convert.end(), GetParam().options.begin(), GetParam().options.end());
    const ToolRun converted = ToolRunner::Run(convert);
    ASSERT_EQ(converted.exitCode, 0) << converted.err;
    const ToolRun part = ToolRunner::Run({"dump", out, "--format", "csv", "--type", "temperature"});
    std::vector<int> labels;
    std::istringstream lines(part.out);
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
        labels.push_back(std::atoi(line.substr(line.find("Time = ") + 7).c_str()));
    }
    EXPECT_EQ(labels, sorted);
}

INSTANTIATE_TEST_SUITE_P(Grammar, SelectionTest,
                         testing::Values(SelectionCase{{}, {0, 1, 2, 3, 4, 5}},
                                         SelectionCase{{"--sim", "all"}, {0, 1, 2, 3, 4, 5}},
                                         SelectionCase{{"--sim", "last"}, {5}},
                                         SelectionCase{{"--sim", "0,2..3,last"}, {0, 2, 3, 5}},
                                         SelectionCase{{"--sim", "4..last"}, {4, 5}},
                                         SelectionCase{{"--sim", "3", "--sim", "1"}, {1, 3}},
                                         SelectionCase{{"--sim", "2,1..2,1"}, {1, 2}},
                                         SelectionCase{{"--sim=5..5"}, {5}}));

TEST(ToolConductTest, SyncValuesSelectSimulations) {
    TempDir dir;
    const std::string path = WriteRes(dir, "six.res", Series(6, 1)); // sync 0 to 5
    struct Case {
        std::vector<std::string> options;
        std::vector<int> simulations; // empty: a usage error
    };
    for (const Case& c :
         {Case{{"--sync", "2"}, {2}}, Case{{"--sync", "1..3"}, {1, 2, 3}},
          Case{{"--sync", "4.5..10,0"}, {0, 5}}, Case{{"--sim", "0", "--sync", "5"}, {0, 5}},
          Case{{"--sync", "1", "--sim", "last"}, {1, 5}}, Case{{"--sync", "7"}, {}},
          Case{{"--sync", "2.5"}, {}}, Case{{"--sync", "x"}, {}}, Case{{"--sync", "3..1"}, {}},
          Case{{"--sync", "nan"}, {}}}) {
        std::vector<std::string> arguments = {"dump", path,     "--format",
                                              "csv",  "--type", "temperature"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const ToolRun run = ToolRunner::Run(arguments);
        const std::string shown = testing::PrintToString(c.options);
        if (c.simulations.empty()) {
            EXPECT_EQ(run.exitCode, 2) << shown;
            EXPECT_TRUE(run.out.empty()) << shown;
        } else {
            EXPECT_EQ(run.exitCode, 0) << shown << run.err;
            EXPECT_EQ(DumpedSimulations(run.out), c.simulations) << shown;
        }
    }
    // diff pairs the simulations A's sync values choose.
    const Json diff = tooltest::RunJson({"diff", path, path, "--sync", "3", "--format", "json"});
    for (const Json& dataSet : diff.at("dataSets")) {
        EXPECT_EQ(dataSet.at("simulation").get<int>(), 3);
    }
    EXPECT_FALSE(diff.at("dataSets").empty());
}

TEST(ToolConductTest, SimulationListGrammar) {
    struct Case {
        const char* text;
        bool valid;
    };
    for (const Case& c :
         {Case{"0", true}, Case{"0,2,5..9,last", true}, Case{"3..last", true},
          Case{"last..last", true}, Case{"all", true}, Case{"", false}, Case{"-1", false},
          Case{"+1", false}, Case{"1x", false}, Case{"2..1", false}, Case{"last..2", false},
          Case{"1..", false}, Case{"..1", false}, Case{"1,,2", false}, Case{"1, 2", false},
          Case{"99999999999", false}, Case{"0x1", false}, Case{"lastt", false}}) {
        SimulationList list;
        std::string error;
        EXPECT_EQ(list.Add(c.text, error), c.valid) << c.text;
        EXPECT_EQ(error.empty(), c.valid) << c.text;
    }
    SimulationList list;
    std::string error;
    ASSERT_TRUE(list.Add("1..last", error));
    std::vector<int> indices;
    int beyond = -1;
    EXPECT_FALSE(list.Resolve(1, indices, beyond)); // 1.. of a one-simulation result
    EXPECT_EQ(beyond, 1);
    EXPECT_FALSE(SimulationList().Resolve(0, indices, beyond) && !indices.empty());
    SimulationList last;
    ASSERT_TRUE(last.Add("last", error));
    EXPECT_FALSE(last.Resolve(0, indices, beyond)); // no last of an empty result
}

TEST(ToolConductTest, OptionsAsUsersTypeThem) {
    TempDir dir;
    const std::string dashed = WriteRes(dir, "-x.res", Series(2, 1));
    const std::string good = Shared().good;

    // '--' ends the options: a file named like one follows it.
    EXPECT_EQ(Bash("cd " + ToolRunner::ShellQuote(dir.Path().string()) + " && " + Tool() +
                   " info -- -x.res >/dev/null"),
              0);
    // Without it, the mistake is named with the way out.
    ToolRun run = ToolRunner::Run({"info", "-x.res"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("kvres-tool info -- -x.res"), std::string::npos) << run.err;

    // The last of a repeated single-valued option wins.
    run = ToolRunner::Run({"dump", good, "--format", "json", "--format", "csv"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.rfind("simulation,label", 0), 0u) << run.out.substr(0, 80);
    run = ToolRunner::Run({"diff", good, Shared().other, "--rtol", "1", "--rtol", "0"});
    EXPECT_EQ(run.exitCode, 1) << run.err;

    // '-' is standard output: the plot alone, and no file named '-'.
    run =
        ToolRunner::Run({"history", good, "--type", "temperature", "--entity", "1", "--svg", "-"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("<svg"), std::string::npos);
    EXPECT_EQ(run.out.find("simulation,label"), std::string::npos);

    // Mistakes name the nearest candidates and print that command's usage.
    run = ToolRunner::Run({"dmp", good});
    EXPECT_NE(run.err.find("did you mean 'dump'?"), std::string::npos) << run.err;
    run = ToolRunner::Run({"dump", good, "--type", "tempratur"});
    EXPECT_NE(run.err.find("did you mean 'temperature'?"), std::string::npos) << run.err;
    run = ToolRunner::Run({"history", good, "--type", "temprature", "--entity", "1"});
    EXPECT_NE(run.err.find("did you mean 'temperature'?"), std::string::npos) << run.err;
    run = ToolRunner::Run({"dump", good, "--formt", "csv"});
    EXPECT_NE(run.err.find("did you mean '--format'"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("kvres-tool diff"), std::string::npos) << run.err;

    // Globs select data types.
    run = ToolRunner::Run({"dump", good, "--format", "csv", "--sim", "0", "--type", "heat flux:*"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(tooltest::LineCount(run.out), 1u + 3 * 2) << run.out;
    EXPECT_EQ(run.out.find("temperature"), std::string::npos);
}

TEST(ToolConductTest, GlobsAndNearestNames) {
    struct Case {
        const char* pattern;
        const char* name;
        bool match;
    };
    for (const Case& c :
         {Case{"heat flux:*", "heat flux:Phase", true}, Case{"*", "", true},
          Case{"heat*", "heat", true}, Case{"?emp", "temp", true}, Case{"t?mp", "tmp", false},
          Case{"*:Phase", "heat flux:Phase", true}, Case{"*:Phase", "heat flux:Phases", false},
          Case{"a*b*c", "aXbYbZc", true}, Case{"a*b*c", "aXbYbZ", false}, Case{"**x", "x", true},
          Case{"[ab]", "a", false}, Case{"[ab]", "[ab]", true}}) {
        EXPECT_EQ(namematch::Matches(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
    }
    const std::vector<std::string> commands = {"info", "dump",    "check",
                                               "diff", "history", "convert"};
    EXPECT_EQ(namematch::Nearest("dmp", commands).front(), "dump");
    EXPECT_EQ(namematch::Nearest("hisotry", commands).front(), "history");
    EXPECT_TRUE(namematch::Nearest("zzzzzz", commands).empty());
    EXPECT_EQ(namematch::Nearest("TEMP", {"temperature", "pressure"}),
              std::vector<std::string>{"temperature"});
}

// --- the text rule against a plain reading of UTF-8 --------------------

// The UTF-8 of `point`, as RFC 3629 writes it.
std::string Encode(unsigned point) {
    std::string bytes;
    if (point < 0x80) {
        bytes += static_cast<char>(point);
    } else if (point < 0x800) {
        bytes += static_cast<char>(0xC0 | (point >> 6));
        bytes += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        bytes += static_cast<char>(0xE0 | (point >> 12));
        bytes += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        bytes += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        bytes += static_cast<char>(0xF0 | (point >> 18));
        bytes += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
        bytes += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        bytes += static_cast<char>(0x80 | (point & 0x3F));
    }
    return bytes;
}

// The plain reading: at each position, the sequence of 1 to 4 bytes whose
// naive decoding, encoded again, gives the same bytes and a scalar value.
// Returns its length and code point, or 0 for an invalid byte.
std::size_t PlainSequence(const std::string& text, std::size_t at, unsigned& point) {
    for (std::size_t length = 1; length <= 4 && at + length <= text.size(); ++length) {
        unsigned value = static_cast<unsigned char>(text[at]) & (0xFF >> (length + 1));
        if (length == 1) {
            value = static_cast<unsigned char>(text[at]);
        }
        for (std::size_t i = 1; i < length; ++i) {
            value = (value << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
        }
        if (value <= 0x10FFFF && !(value >= 0xD800 && value <= 0xDFFF) &&
            Encode(value) == text.substr(at, length)) {
            point = value;
            return length;
        }
    }
    return 0;
}

TEST(ToolConductTest, ShownTextAgreesWithAPlainReadingOfUtf8) {
    // Bytes drawn from the places where readings go wrong: ASCII, controls,
    // continuation bytes, every kind of lead, and well-formed sequences.
    const std::vector<std::string> pieces = {"a",
                                             "\\",
                                             "\"",
                                             "\x1B",
                                             "\x07",
                                             "\x7F",
                                             "\x80",
                                             "\xBF",
                                             "\xC0",
                                             "\xC1",
                                             "\xC2",
                                             "\xC2\x9B",
                                             "\xC2\xA0",
                                             "\xC3\xBC",
                                             "\xDF\xBF",
                                             "\xE0\xA0\x80",
                                             "\xE0\x80\x80",
                                             "\xED\x9F\xBF",
                                             "\xED\xA0\x80",
                                             "\xEF\xBF\xBF",
                                             "\xF0\x90\x80\x80",
                                             "\xF0\x80\x80\x80",
                                             "\xF4\x8F\xBF\xBF",
                                             "\xF4\x90\x80\x80",
                                             "\xF5",
                                             "\xFF",
                                             "\xE2\x82",
                                             "\xF0\x9F\x98"};
    std::mt19937 random(32);
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        const int count = static_cast<int>(random() % 6);
        for (int i = 0; i < count; ++i) {
            text += pieces[random() % pieces.size()];
        }
        std::string printable;
        std::string json = "\"";
        for (std::size_t at = 0; at < text.size();) {
            unsigned point = 0;
            const std::size_t length = PlainSequence(text, at, point);
            char escape[16];
            if (length == 0 || point < 0x20 || (point >= 0x7F && point <= 0x9F)) {
                const std::size_t escaped = length == 0 ? 1 : length;
                for (std::size_t i = 0; i < escaped; ++i) {
                    std::snprintf(escape, sizeof(escape), "\\x%02X",
                                  static_cast<unsigned char>(text[at + i]));
                    printable += escape;
                }
                std::snprintf(escape, sizeof(escape), "\\u%04X",
                              length == 0 ? static_cast<unsigned char>(text[at]) : point);
                json += escape;
                at += escaped;
            } else {
                printable += text.substr(at, length);
                json += (point == '"' || point == '\\' ? "\\" : "") + text.substr(at, length);
                at += length;
            }
        }
        json += '"';
        ASSERT_EQ(showntext::Printable(text), printable) << testing::PrintToString(text);
        ASSERT_EQ(showntext::NeedsEscaping(text), printable != text);
        ASSERT_EQ(showntext::JsonQuote(text), json) << testing::PrintToString(text);
        Json parsed;
        std::string error;
        ASSERT_TRUE(tooltest::ParseJson(json, parsed, error)) << error;
    }
}

// --- saying what the user is looking at ------------------------------------

TEST(ToolConductTest, InfoNamesTheFilesOfASeries) {
    TempDir dir;
    const std::string first = WriteRes(dir, "case.res", Series(3, 1));
    WriteRes(dir, "case2.res", Series(3, 1)); // a copy that joins the series
    const ToolRun text = ToolRunner::Run({"info", first});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find("series      2 files"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("case.res   0..2 (3)"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("case2.res  3..5 (3)"), std::string::npos) << text.out;

    const Json json = tooltest::RunJson({"info", first, "--format", "json"});
    ASSERT_EQ(json.at("files").size(), 2u);
    EXPECT_EQ(json.at("files").at(1).at("name").get<std::string>(), dir.File("case2.res"));
    EXPECT_EQ(json.at("files").at(1).at("firstSimulation").get<int>(), 3);
    const Json& subcase = json.at("subcases").at(0);
    EXPECT_EQ(subcase.at("labels").size(), 6u);
    EXPECT_EQ(subcase.at("labels").at(5).get<std::string>(), "Time = 2");
    EXPECT_EQ(subcase.at("sync").size(), 6u);
    EXPECT_EQ(subcase.at("data_types").at(0).at("name").get<std::string>(), "temperature");
    EXPECT_EQ(subcase.at("data_types").at(0).at("simulationsWithValues").get<int>(), 6);
}

TEST(ToolConductTest, DiffTextNamesTheIdsOnOneSideAndCountsInWords) {
    TempDir dir;
    const std::string a = WriteRes(dir, "a.res", Series(1, 3));
    ResFile fewer = Series(1, 3);
    fewer.simulations[0].rows[0].records.pop_back(); // entity 3 of temperature
    fewer.simulations[0].rows.pop_back();            // no heat flux: B is real, A complex
    const std::string b = WriteRes(dir, "b.res", fewer);
    const ToolRun run = ToolRunner::Run({"diff", a, b, "--type", "temperature"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.out.find("4 values, 0 differ; 1 id only in A (3), 0 only in B"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("different: 1 data set (1 differs), 4 values compared, 0 differ, 1 "
                           "difference of structure"),
              std::string::npos)
        << run.out;
    // A data type of one file only is listed among the data sets.
    const Json json = tooltest::RunJson({"diff", a, b, "--format", "json"}, 1);
    bool onlyInA = false;
    for (const Json& dataSet : json.at("dataSets")) {
        onlyInA = onlyInA || (dataSet.at("dataType").get<std::string>() == "heat flux:Phase" &&
                              dataSet.at("inA").get<bool>() && !dataSet.at("inB").get<bool>());
    }
    EXPECT_TRUE(onlyInA) << json.dump();
}

// --- shell completion ------------------------------------------------------

// What the bash completion offers for `words` (the last one being completed),
// one a line, sorted.
std::string Complete(const std::vector<std::string>& words) {
    const std::string script =
        (std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "tools" /
         "completion" / "kvres-tool.bash")
            .string();
    std::string array = ToolRunner::ShellQuote(ToolRunner::ToolPath());
    for (const std::string& word : words) {
        array += ' ' + ToolRunner::ShellQuote(word);
    }
    const std::string out = Shared().dir.File("completion.txt");
    Bash("source " + ToolRunner::ShellQuote(script) + " && COMP_WORDS=(" + array +
         ") && COMP_CWORD=" + std::to_string(words.size()) +
         " && _kvres_tool && printf '%s\\n' \"${COMPREPLY[@]}\" | LC_ALL=C sort >" +
         ToolRunner::ShellQuote(out));
    return ReadAll(out);
}

TEST(ToolConductTest, BashCompletion) {
    const std::string good = Shared().good;
    struct Case {
        std::vector<std::string> words;
        const char* offered;
    };
    for (const Case& c : {
             Case{{"d"}, "diff\ndump\n"},
             Case{{"dump", good, "--f"}, "--force\n--format\n"},
             Case{{"dump", good, "--format", ""}, "csv\njson\ntext\n"},
             Case{{"check", good, "--format", ""}, "json\ntext\n"},
             Case{{"check", good, "--d"}, "--deep\n"},
             Case{{"convert", good, "out.res", "--encoding", "i8"}, "i8be\ni8le\n"},
             Case{{"dump", good, "--read", "c"}, "complex\n"},
             Case{{"history", good, "--type", "te"}, "temperature\n"},
             Case{{"dump", "--sim", "0", good, "--type", "heat"},
                  "heat\\ flux:Magnitude\nheat\\ flux:Offset\nheat\\ flux:Phase\n"},
             Case{{"help", "con"}, "convert\n"},
         }) {
        EXPECT_EQ(Complete(c.words), c.offered) << testing::PrintToString(c.words);
    }
}

} // namespace
