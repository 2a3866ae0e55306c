// `kvres-tool convert IN OUT`: copies a result set through the reader's file
// layer into a new one written by the kvres writer library: in another
// encoding, with only some data types or simulations, or, with --salvage,
// what a reader can still reach of a damaged set (whole records only; what is
// left out is listed on standard output). OUT may be neither IN nor a file
// of IN's series, nor may IN belong to the series OUT starts. Exit codes: 0
// written, 2 usage, 3 IN missing, damaged (without --salvage) or not
// recognised, 4 OUT cannot be written (nothing written).
#include "Commands.h"

#include "LoadedPluginResult.h"
#include "NameMatch.h"
#include "OutputBuffer.h"
#include "Platform.h"
#include "ProgressBar.h"
#include "ResultCopier.h"
#include "Terminal.h"

#include "fileio/SeriesNames.h"

#include "kvres/Writer.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace commands {
namespace {

namespace fs = std::filesystem;

fs::path Canonical(const std::string& path) {
    std::error_code error;
    fs::path canonical = fs::weakly_canonical(fs::absolute(fs::path(path)), error);
    return error ? fs::path(path) : canonical;
}

bool SameFile(const fs::path& a, const fs::path& b) {
    std::error_code error;
    if (fs::exists(a, error) && fs::exists(b, error)) {
        return fs::equivalent(a, b, error);
    }
    return a == b;
}

// Whether a file at `member` would be read with the result at `base`.
bool InSeriesOf(const fs::path& member, const fs::path& base) {
    if (SameFile(member, base)) {
        return true;
    }
    const std::string baseName = base.filename().string();
    if (member.parent_path() != base.parent_path() || NamesSingleFile(baseName)) {
        return false;
    }
    std::string stem;
    std::string extension;
    SplitFileName(baseName, stem, extension);
    return IsSeriesMember(member.filename().string(), stem, extension);
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

    const fs::path out = Canonical(options.otherFile);
    for (const std::string& file : copier->Files()) {
        const fs::path in = Canonical(file);
        if (InSeriesOf(out, in) || InSeriesOf(in, out)) {
            Complain("OUT '" + options.otherFile + "' would overwrite or join the series of IN ('" +
                     file + "'); choose another name or folder");
            return kUsage;
        }
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
    kvres::ResultCopier::Options copy;
    copy.salvage = options.salvage;
    copy.types = types;

    std::vector<std::string> dropped = copier->SeriesDamage();
    if (!dropped.empty() && !options.salvage) {
        Complain(dropped.front() + " (--salvage copies what is readable)");
        return kRefused;
    }
    try {
        kvres::Writer writer(options.otherFile, writerOptions);
        ProgressBar progress(!options.quiet && terminal::ProgressAllowed(), stderr);
        progress.Start(static_cast<long>(simulations.size()));
        for (int simulation : simulations) {
            copier->CopySimulation(writer, simulation, copy, dropped);
            progress.Advance();
        }
        writer.Close();
        progress.Finish();
    } catch (const kvres::ResultCopier::Damaged& damage) {
        Complain(std::string(damage.what()) + " (--salvage copies what is readable)");
        return kRefused;
    } catch (const kvres::WriteError& failure) {
        Complain(failure.what());
        return kOutput;
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
