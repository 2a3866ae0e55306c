// The plug-in named a FIFO, a socket, a character device or a directory, as a
// host may pass one: the identification says "not recognised" and the
// creation gives the empty result, both at once. Each call runs on its own
// thread with a timeout in the test: a call that waits on the FIFO is
// released by opening the FIFO's other end, and fails the test.
#include "TempDir.h"

#include "fileio/ResFile.h"
#include "fileio/ResFileSet.h"

#include "rxReaderRecord.h"
#include "rxResult.h"
#include "rxSubcase.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <future>
#include <string>
#include <vector>

namespace {

using reswriter::TempDir;

// Runs `call` and waits up to ten seconds. When it is still waiting, the
// FIFO at `fifo` gets a writer that closes at once (the call then sees an
// empty file and returns) and the result says it waited.
template <class Call> bool ReturnsAtOnce(const std::string& fifo, Call call) {
    auto running = std::async(std::launch::async, call);
    if (running.wait_for(std::chrono::seconds(10)) == std::future_status::ready) {
        running.get();
        return true;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) {
            ::close(writer);
        }
        if (running.wait_for(std::chrono::milliseconds(100)) == std::future_status::ready) {
            break;
        }
    }
    return false;
}

struct NonRegularFiles {
    TempDir dir;
    std::string fifo = dir.File("pipe.res");
    std::string socketPath = dir.File("socket.res");
    int listener = -1;

    NonRegularFiles() {
        EXPECT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, socketPath.c_str(),
                    std::min(socketPath.size() + 1, sizeof address.sun_path - 1));
        EXPECT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    }
    ~NonRegularFiles() { ::close(listener); }

    // Each path with the words that say what it is.
    std::vector<std::pair<std::string, std::string>> Entries() const {
        return {{fifo, "FIFO"},
                {socketPath, "socket"},
                {"/dev/null", "character device"},
                {dir.Path().string(), "directory"}};
    }
};

TEST(NonRegularFileTest, TheFileLayerOpensRegularFilesOnlyAndSaysWhatElseItFound) {
    NonRegularFiles files;
    for (const auto& entry : files.Entries()) {
        const std::string& path = entry.first;
        const std::string& kind = entry.second;
        std::string problem;
        bool opened = true;
        EXPECT_TRUE(ReturnsAtOnce(files.fifo, [&] {
            std::FILE* stream = ResFile::OpenRegular(path, &problem);
            opened = stream != nullptr;
            if (stream != nullptr) {
                std::fclose(stream);
            }
        })) << path;
        EXPECT_FALSE(opened) << path;
        EXPECT_NE(problem.find(kind), std::string::npos) << path << ": " << problem;

        ResFileSet set;
        EXPECT_TRUE(ReturnsAtOnce(files.fifo, [&] { opened = set.OpenFile(path); })) << path;
        EXPECT_FALSE(opened) << path;
    }
}

class NonRegularFilePlugin : public ::testing::Test {
protected:
    void SetUp() override {
        library = dlopen(KVRES_BIN_DIR "/kvres.so", RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        auto* supply = reinterpret_cast<rxSupplyReaderFunctionTable*>(
            dlsym(library, rxSupplyReaderFunctionTableName));
        ASSERT_NE(supply, nullptr);
        ASSERT_TRUE(supply(&record));
    }
    void TearDown() override {
        if (library != nullptr) {
            dlclose(library);
        }
    }

    void* library = nullptr;
    rxReaderRecord record{};
};

TEST_F(NonRegularFilePlugin, IdentificationDeclinesAndCreationGivesTheEmptyResultAtOnce) {
    NonRegularFiles files;
    for (const auto& entry : files.Entries()) {
        const std::string& path = entry.first;
        const std::string& kind = entry.second;
        bool recognised = true;
        EXPECT_TRUE(ReturnsAtOnce(files.fifo, [&] {
            recognised = record.identifyFile(path.c_str());
        })) << kind;
        EXPECT_FALSE(recognised) << kind;

        int simulations = -1;
        int dataTypes = -1;
        EXPECT_TRUE(ReturnsAtOnce(files.fifo, [&] {
            rxResult* result = record.createResult(path.c_str(), nullptr);
            if (result == nullptr) {
                return;
            }
            if (result->GetNumSubcases() == 1) {
                rxSubcase* subcase = result->GetSubcase(0);
                simulations = subcase->GetNumSimulations();
                dataTypes = subcase->ReadDataTypes();
            }
            result->Release();
        })) << kind;
        EXPECT_EQ(simulations, 0) << kind;
        EXPECT_EQ(dataTypes, 0) << kind;
    }
}

} // namespace
#endif
