// kvres-tool named a FIFO, a socket or a character device instead of a file:
// every command refuses it at once with exit 3 and one line that says what it
// is. The shell's `timeout` bounds each run, so a command that waits on the
// FIFO fails the test instead of hanging it.
#include "ToolTestSupport.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

using reswriter::DataTypeRow;
using reswriter::ResFile;
using reswriter::TempDir;
using tooltest::LineCount;
using tooltest::WriteRes;

// Runs the tool with `arguments` under `timeout` (exit 124 when it expires).
ToolRun RunWithin(int seconds, const std::vector<std::string>& arguments) {
    TempDir scratch;
    const std::string errPath = scratch.File("stderr.txt");
    std::string command =
        "timeout " + std::to_string(seconds) + " " + ToolRunner::ShellQuote(ToolRunner::ToolPath());
    for (const std::string& argument : arguments) {
        command += ' ' + ToolRunner::ShellQuote(argument);
    }
    command += " 2>" + ToolRunner::ShellQuote(errPath) + " </dev/null";
    ToolRun run;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        run.out.append(buffer, got);
    }
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (std::FILE* err = std::fopen(errPath.c_str(), "rb")) {
        while ((got = std::fread(buffer, 1, sizeof buffer, err)) > 0) {
            run.err.append(buffer, got);
        }
        std::fclose(err);
    }
    return run;
}

TEST(ToolNonRegularFileTest, EveryCommandRefusesWhatIsNotARegularFileAtOnce) {
    TempDir dir;
    ResFile file;
    file.simulations.push_back({"Step 1", {DataTypeRow{"temperature", 1, {{1, {20.0f}}}}}});
    const std::string good = WriteRes(dir, "good.res", file);
    const std::string fifo = dir.File("pipe.res");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string socketPath = dir.File("socket.res");
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);

    struct Entry {
        std::string path;
        std::string kind;
    };
    const std::vector<Entry> entries = {
        {fifo, "FIFO"}, {socketPath, "socket"}, {"/dev/null", "character device"}};
    for (const Entry& entry : entries) {
        const std::vector<std::vector<std::string>> commands = {
            {"info", entry.path},
            {"info", entry.path, "--force"},
            {"dump", entry.path, "--force"},
            {"check", entry.path},
            {"check", entry.path, "--deep"},
            {"history", entry.path, "--type", "temperature", "--entity", "1"},
            {"diff", entry.path, good},
            {"diff", good, entry.path},
        };
        for (const std::vector<std::string>& command : commands) {
            const ToolRun run = RunWithin(20, command);
            const std::string said = command[0] + " " + entry.path;
            EXPECT_EQ(run.exitCode, 3) << said << " (124: it waited)\n" << run.err;
            EXPECT_EQ(LineCount(run.err), 1u) << said << "\n" << run.err;
            EXPECT_NE(run.err.find(entry.path), std::string::npos) << run.err;
            EXPECT_NE(run.err.find(entry.kind), std::string::npos) << run.err;
            EXPECT_TRUE(run.out.empty()) << said << "\n" << run.out;
        }
    }
    ::close(listener);
}

} // namespace
