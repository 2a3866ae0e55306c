// `kvres-tool convert IN OUT`: copies a result set through the reader's file
// layer into a new one written by the kvres writer library: in another
// encoding, with only some data types or simulations, or, with --salvage,
// what a reader can still reach of a damaged set (whole records only; what is
// left out is listed on standard output). OUT may be neither IN nor a file
// of IN's series, nor may IN belong to the series OUT starts. Exit codes: 0
// written, 1 the copy or the write failed (nothing written), 2 usage, 3 IN
// missing or not recognised.
#include "Commands.h"

#include "LoadedPluginResult.h"
#include "Platform.h"
#include "ProgressBar.h"
#include "ResultCopier.h"

#include "fileio/SeriesNames.h"

#include "kvres/Writer.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <system_error>

namespace commands {
namespace {

namespace fs = std::filesystem;

// While it lives, SIGINT and SIGTERM (and SIGHUP) remove the writer's
// temporary files before the process ends as the signal says.
extern "C" void RemoveTemporariesAndEnd(int signal) {
    kvres::Writer::RemoveTemporaryFilesForSignal();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

class SignalCleanup {
public:
    SignalCleanup() {
        for (std::size_t i = 0; i < kSignals.size(); ++i) {
            previous[i] = std::signal(kSignals[i], RemoveTemporariesAndEnd);
        }
    }
    ~SignalCleanup() {
        for (std::size_t i = 0; i < kSignals.size(); ++i) {
            std::signal(kSignals[i], previous[i] == SIG_ERR ? SIG_DFL : previous[i]);
        }
    }
    SignalCleanup(const SignalCleanup&) = delete;
    SignalCleanup& operator=(const SignalCleanup&) = delete;

private:
#ifdef SIGHUP
    static constexpr std::array<int, 3> kSignals{{SIGINT, SIGTERM, SIGHUP}};
#else
    static constexpr std::array<int, 2> kSignals{{SIGINT, SIGTERM}};
#endif
    std::array<void (*)(int), kSignals.size()> previous{};
};

bool ParseIndex(const std::string& text, int& value) {
    if (text.empty() || text[0] < '0' || text[0] > '9') {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed > INT_MAX) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

// The simulations chosen by INDEX and A..B texts, in ascending order; false
// with `error` set for a malformed text or an index beyond `count`.
bool ChooseSimulations(const std::vector<std::string>& texts, int count, std::vector<int>& chosen,
                       std::string& error) {
    std::vector<bool> take(static_cast<std::size_t>(count), texts.empty());
    for (const std::string& text : texts) {
        const std::size_t dots = text.find("..");
        int first = 0;
        int last = 0;
        const bool valid = dots == std::string::npos
                               ? ParseIndex(text, first) && ParseIndex(text, last)
                               : ParseIndex(text.substr(0, dots), first) &&
                                     ParseIndex(text.substr(dots + 2), last) && first <= last;
        if (!valid) {
            error = "option '--sim' needs INDEX or A..B (0-based, A <= B), not '" + text + "'";
            return false;
        }
        if (last >= count) {
            error = "option '--sim " + text + "': the result has " + std::to_string(count) +
                    " simulations (0 to " + std::to_string(count - 1) + ")";
            return false;
        }
        std::fill(take.begin() + first, take.begin() + last + 1, true);
    }
    for (int i = 0; i < count; ++i) {
        if (take[static_cast<std::size_t>(i)]) {
            chosen.push_back(i);
        }
    }
    return true;
}

} // namespace

int Convert(const ToolOptions& options) {
    kvres::Encoding encoding = kvres::Encoding::I4LE;
    if (!options.encoding.empty() && !kvres::ParseEncoding(options.encoding, encoding)) {
        Complain("unknown encoding '" + options.encoding + "' (i4le, i4be, i8le, i8be)");
        return kUsage;
    }
    const std::string unreadable = LoadedPluginResult::Unreadable(options.file);
    if (!unreadable.empty()) {
        Complain(options.file + ": " + unreadable);
        return kRefused;
    }
    std::unique_ptr<kvres::ResultCopier> copier;
    try {
        copier = std::make_unique<kvres::ResultCopier>(options.file);
    } catch (const kvres::ResultCopier::Damaged& error) {
        Complain(error.what());
        return kRefused;
    }

    const std::string clash = copier->ClashWith(options.otherFile, "IN");
    if (!clash.empty()) {
        Complain("OUT " + clash);
        return kUsage;
    }

    std::vector<int> simulations;
    std::string error;
    if (!ChooseSimulations(options.convertSims, copier->SimulationCount(), simulations, error)) {
        Complain(options.file + ": " + error);
        return kUsage;
    }
    const std::vector<std::string> known = copier->TypeNames();
    for (const std::string& type : options.selection.types) {
        if (std::find(known.begin(), known.end(), type) == known.end()) {
            Complain(options.file + ": no data type named '" + type + "'");
            return kUsage;
        }
    }

    kvres::WriterOptions writerOptions;
    writerOptions.encoding = options.encoding.empty() ? copier->FirstEncoding() : encoding;
    writerOptions.title = copier->Title();
    writerOptions.subtitle = copier->Subtitle();
    writerOptions.nanAsInfinity = options.nanAsInfinity;
    writerOptions.expectedSimulations = static_cast<int>(simulations.size());
    writerOptions.replaceSeries = options.replaceSeries;
    kvres::ResultCopier::Options copy;
    copy.salvage = options.salvage;
    copy.types = options.selection.types;

    std::vector<std::string> dropped = copier->SeriesDamage();
    if (!dropped.empty() && !options.salvage) {
        Complain(dropped.front() + " (--salvage copies what is readable)");
        return kFailure;
    }
    std::vector<std::string> removed;
    try {
        std::unique_ptr<kvres::Writer> writer;
        try {
            writer = std::make_unique<kvres::Writer>(options.otherFile, writerOptions);
        } catch (const kvres::InputError& refused) {
            Complain(refused.what());
            return kUsage;
        }
        const SignalCleanup cleanup;
        ProgressBar progress(platform::StderrIsTerminal(), stderr);
        progress.Start(static_cast<long>(simulations.size()));
        for (int simulation : simulations) {
            copier->CopySimulation(*writer, simulation, copy, dropped);
            progress.Advance();
        }
        writer->Close();
        progress.Finish();
        removed = writer->RemovedFiles();
    } catch (const kvres::ResultCopier::Damaged& damage) {
        Complain(std::string(damage.what()) + " (--salvage copies what is readable)");
        return kFailure;
    } catch (const kvres::WriteError& failure) {
        Complain(failure.what());
        return kFailure;
    }
    for (const std::string& file : removed) {
        std::cout << "removed: " << file << " (a file of the replaced result)\n";
    }
    if (options.salvage) {
        for (const std::string& line : dropped) {
            std::cout << "dropped: " << line << '\n';
        }
        std::cout << "salvaged " << simulations.size() << " simulations into " << options.otherFile
                  << "; " << dropped.size() << " parts left out or shortened\n";
        std::cout.flush();
    }
    return kSuccess;
}

} // namespace commands
