// `kvres-tool convert IN OUT`: copies a result set through the reader's file
// layer into a new one written by the kvres writer library: in another
// encoding, with only some data types or simulations, or, with --salvage,
// what a reader can still reach of a damaged set (whole records only; what is
// left out is listed on standard output). OUT may be neither IN nor a file
// of IN's series, nor may IN belong to the series OUT starts. Exit codes: 0
// written, 2 usage, 3 IN missing, damaged (without --salvage) or not
// recognised, 4 OUT cannot be written (nothing written).
#include "Commands.h"

#include "HostedResult.h"
#include "NameMatch.h"
#include "OutputBuffer.h"
#include "Platform.h"
#include "ProgressBar.h"
#include "ResultCopier.h"
#include "Terminal.h"

#include "fileio/EncodingNames.h"
#include "fileio/SeriesNames.h"

#include "kvres/Writer.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
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

} // namespace

int Convert(const ToolOptions& options) {
    kvres::Encoding encoding = kvres::Encoding::I4LE;
    if (!options.encoding.empty() && !kvres::ParseEncoding(options.encoding, encoding)) {
        Complain("unknown encoding '" + options.encoding + "' (" + encodingnames::List() + ")");
        return kUsage;
    }
    const std::string unreadable = HostedResult::Unreadable(options.file);
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
    int outOfRange = 0;
    if (!options.simulations.Resolve(copier->SimulationCount(), simulations, outOfRange)) {
        Complain(SimulationList::OutOfRange(outOfRange, options.file, copier->SimulationCount()));
        return kUsage;
    }
    std::sort(simulations.begin(), simulations.end()); // written in the file's order
    std::vector<std::string> types;
    if (!namematch::Expand(options.selection.types, copier->TypeNames(), types, error)) {
        Complain(options.file + ": " + error);
        return kUsage;
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
    copy.types = types;

    std::vector<std::string> dropped = copier->SeriesDamage();
    if (!dropped.empty() && !options.salvage) {
        Complain(dropped.front() + " (--salvage copies what is readable)");
        return kRefused;
    }
    std::vector<std::string> removed;
    try {
        // In place before the writer makes its first temporary file, so an
        // interrupt at any later moment removes it.
        const SignalCleanup cleanup;
        std::unique_ptr<kvres::Writer> writer;
        try {
            writer = std::make_unique<kvres::Writer>(options.otherFile, writerOptions);
        } catch (const kvres::InputError& refused) {
            Complain(refused.what());
            return kUsage;
        }
        ProgressBar progress(!options.quiet && terminal::ProgressAllowed(), stderr);
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
        return kRefused;
    } catch (const kvres::WriteError& failure) {
        Complain(failure.what());
        return kOutput;
    }
    if (!removed.empty()) {
        OutputBuffer out(stdout);
        for (const std::string& file : removed) {
            out << "removed: " << file << " (a file of the replaced result)\n";
        }
        if (!out.Flush()) {
            return OutputFailure(out);
        }
    }
    if (options.salvage) {
        OutputBuffer out(stdout);
        for (const std::string& line : dropped) {
            out << "dropped: " << line << '\n';
        }
        out << "salvaged " << simulations.size()
            << (simulations.size() == 1 ? " simulation into " : " simulations into ")
            << options.otherFile << "; " << dropped.size()
            << (dropped.size() == 1 ? " part left out or shortened\n"
                                    : " parts left out or shortened\n");
        if (!out.Flush()) {
            return OutputFailure(out);
        }
    }
    return kSuccess;
}

} // namespace commands
