#include "SeriesCommit.h"

#include "OwnFileName.h"

#include "kvres/WriteError.h"

#include "fileio/ResLayout.h"
#include "fileio/SeriesNames.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace kvres {
namespace detail {
namespace {

namespace fs = std::filesystem;

std::mutex hookMutex;
SeriesCommit::FaultHook faultHook;

int Fault(const char* step, const std::string& path) {
    std::lock_guard<std::mutex> lock(hookMutex);
    return faultHook ? faultHook(step, path) : 0;
}

std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

bool ProcessAlive(long pid) {
    if (pid == ProcessId()) {
        return true;
    }
#ifdef _WIN32
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr) {
        return GetLastError() != ERROR_INVALID_PARAMETER;
    }
    DWORD code = 0;
    const bool alive = !GetExitCodeProcess(process, &code) || code == STILL_ACTIVE;
    CloseHandle(process);
    return alive;
#else
    if (pid <= 0 || pid > 0x7fffffffL) {
        return true; // not a process id we could have written: never ours to remove
    }
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
#endif
}

// Renames `from` to `to`, replacing `to`; the error's text when it fails.
std::string Rename(const fs::path& from, const fs::path& to) {
    if (const int injected = Fault("rename", from.string())) {
        return std::strerror(injected);
    }
#ifdef _WIN32
    if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        return std::error_code(static_cast<int>(GetLastError()), std::system_category()).message();
    }
    return std::string();
#else
    std::error_code error;
    fs::rename(from, to, error);
    return error ? error.message() : std::string();
#endif
}

std::string Remove(const fs::path& path) {
    if (const int injected = Fault("remove", path.string())) {
        return std::strerror(injected);
    }
    std::error_code error;
    fs::remove(path, error);
    return error ? error.message() : std::string();
}

fs::path FolderOf(const std::string& target) {
    const fs::path folder = fs::path(target).parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

// Whether a file named `name` belongs to the series of the target named
// `targetName` (the target itself included).
bool JoinsSeriesOf(const std::string& name, const std::string& targetName) {
    if (name == targetName) {
        return true;
    }
    if (NamesSingleFile(targetName) || name.empty() || name[0] == '.') {
        return false;
    }
    std::string stem;
    std::string extension;
    SplitFileName(targetName, stem, extension);
    return IsSeriesMember(name, stem, extension);
}

bool IsResultFile(const std::string& path) {
    std::ifstream in(fs::u8path(path), std::ios::binary);
    const std::string title = reslayout::kTitleText;
    std::string start(title.size(), '\0');
    return in.read(&start[0], static_cast<std::streamsize>(start.size())) && start == title;
}

struct Journal {
    std::vector<std::pair<std::string, std::string>> old;      // original, aside
    std::vector<std::pair<std::string, std::string>> incoming; // temporary, final
};

std::string JournalText(const Journal& journal) {
    std::string text = "kvres commit 1\n";
    for (const auto& [original, aside] : journal.old) {
        text += "old\t" + original + "\t" + aside + "\n";
    }
    for (const auto& [temporary, final] : journal.incoming) {
        text += "new\t" + temporary + "\t" + final + "\n";
    }
    return text;
}

bool ParseJournal(const std::string& text, Journal& journal) {
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != "kvres commit 1") {
        return false;
    }
    while (std::getline(in, line)) {
        const std::size_t first = line.find('\t');
        const std::size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
        if (second == std::string::npos) {
            return false;
        }
        const std::string kind = line.substr(0, first);
        auto pair =
            std::make_pair(line.substr(first + 1, second - first - 1), line.substr(second + 1));
        if (pair.first.empty() || pair.second.empty() ||
            pair.first.find('/') != std::string::npos ||
            pair.second.find('/') != std::string::npos) {
            return false;
        }
        if (kind == "old") {
            journal.old.push_back(pair);
        } else if (kind == "new") {
            journal.incoming.push_back(pair);
        } else {
            return false;
        }
    }
    return true;
}

void WriteJournal(const fs::path& path, const std::string& text, bool durable) {
    const auto fail = [&path](const std::string& reason) {
        throw WriteError("cannot write the commit journal " + Quoted(path.string()) + ": " +
                         reason);
    };
    if (const int injected = Fault("journal", path.string())) {
        fail(std::strerror(injected));
    }
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    if (file == nullptr) {
        fail(std::strerror(errno));
    }
    bool failed = std::fwrite(text.data(), 1, text.size(), file) != text.size();
    failed = std::fflush(file) != 0 || failed;
#ifndef _WIN32
    if (!failed && durable) {
        failed = ::fsync(::fileno(file)) != 0;
    }
#else
    if (!failed && durable) {
        failed = _commit(_fileno(file)) != 0;
    }
#endif
    const int error = errno;
    failed = std::fclose(file) != 0 || failed;
    if (failed) {
        std::error_code ignored;
        fs::remove(path, ignored);
        fail(std::strerror(error));
    }
}

// Takes the old target's mode (and owner and group where allowed) to `path`.
void CopyPermissions(const std::string& from, const std::string& path) {
#ifndef _WIN32
    struct stat old;
    if (::stat(from.c_str(), &old) != 0 || !S_ISREG(old.st_mode)) {
        return;
    }
    // The owner first: a chown may clear the set-id bits a chmod sets.
    if (::chown(path.c_str(), old.st_uid, old.st_gid) != 0) {
        if (::chown(path.c_str(), static_cast<uid_t>(-1), old.st_gid) != 0) {
            errno = 0; // keeping the group needs rights the writer may lack
        }
    }
    if (::chmod(path.c_str(), old.st_mode & 07777) != 0) {
        errno = 0;
    }
#else
    (void)from;
    (void)path;
#endif
}

// Rolls a journal's commit back (or finishes it when every new file is in
// place). Returns what could not be done.
std::string Settle(const fs::path& folder, const Journal& journal) {
    std::error_code error;
    bool allIn = true;
    for (const auto& entry : journal.incoming) {
        allIn = allIn && !fs::exists(folder / entry.first, error);
    }
    std::string problems;
    const auto note = [&problems](const std::string& problem) {
        if (!problem.empty()) {
            problems += (problems.empty() ? "" : "; ") + problem;
        }
    };
    if (allIn) {
        for (const auto& [original, aside] : journal.old) {
            if (fs::exists(folder / aside, error)) {
                const std::string failed = Remove(folder / aside);
                note(failed.empty() ? "" : "cannot remove " + Quoted(aside) + ": " + failed);
            }
        }
        return problems;
    }
    // A new file is in place exactly when its temporary name is gone.
    for (auto entry = journal.incoming.rbegin(); entry != journal.incoming.rend(); ++entry) {
        if (!fs::exists(folder / entry->first, error) &&
            fs::exists(folder / entry->second, error)) {
            const std::string failed = Rename(folder / entry->second, folder / entry->first);
            note(failed.empty() ? "" : "cannot move " + Quoted(entry->second) + " back: " + failed);
        }
    }
    for (auto entry = journal.old.rbegin(); entry != journal.old.rend(); ++entry) {
        if (fs::exists(folder / entry->second, error)) {
            const std::string failed = Rename(folder / entry->second, folder / entry->first);
            note(failed.empty() ? "" : "cannot restore " + Quoted(entry->first) + ": " + failed);
        }
    }
    if (problems.empty()) {
        for (const auto& entry : journal.incoming) {
            Remove(folder / entry.first);
        }
    }
    return problems;
}

} // namespace

void SeriesCommit::SetFaultHook(FaultHook hook) {
    std::lock_guard<std::mutex> lock(hookMutex);
    faultHook = std::move(hook);
}

std::vector<std::string> SeriesCommit::ExistingMembers(const std::string& target) {
    std::vector<std::string> members;
    const std::string targetName = fs::path(target).filename().string();
    const fs::path folder = FolderOf(target);
    std::error_code error;
    if (NamesSingleFile(targetName)) {
        if (fs::is_regular_file(fs::path(target), error)) {
            members.push_back(target);
        }
        return members;
    }
    // Folders and other non-files are no part of any result: never moved.
    fs::directory_iterator entries(folder, error);
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        const std::string name = entries->path().filename().string();
        std::error_code kindError;
        if (JoinsSeriesOf(name, targetName) && entries->is_regular_file(kindError)) {
            members.push_back((fs::path(target).parent_path() / name).string());
        }
    }
    return members;
}

std::vector<std::string> SeriesCommit::UnaskedMembers(const std::string& target) {
    std::vector<std::string> unasked;
    if (IsResultFile(target)) {
        return unasked;
    }
    const std::string targetName = fs::path(target).filename().string();
    for (const std::string& member : ExistingMembers(target)) {
        if (fs::path(member).filename().string() != targetName) {
            unasked.push_back(member);
        }
    }
    std::sort(unasked.begin(), unasked.end());
    return unasked;
}

void SeriesCommit::Recover(const std::string& target) {
    const std::string targetName = fs::path(target).filename().string();
    const fs::path folder = FolderOf(target);
    std::vector<fs::path> journals;
    std::vector<fs::path> temporaries;
    std::error_code error;
    fs::directory_iterator entries(folder, error);
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        const std::string file = entries->path().filename().string();
        std::string name;
        std::string extension;
        long pid = 0;
        if (!ParseOwnFileName(file, name, pid, extension) || ProcessAlive(pid)) {
            continue;
        }
        if (extension == "commit" && name == targetName) {
            journals.push_back(entries->path());
        } else if (extension == "tmp" && JoinsSeriesOf(name, targetName)) {
            temporaries.push_back(entries->path());
        }
    }
    for (const fs::path& path : journals) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        Journal journal;
        if (!ParseJournal(text.str(), journal)) {
            continue; // not ours to judge: left alone
        }
        const std::string problems = Settle(folder, journal);
        if (!problems.empty()) {
            throw WriteError("a killed write to " + Quoted(target) +
                             " left its commit half done and it cannot be undone: " + problems);
        }
        Remove(path);
    }
    for (const fs::path& path : temporaries) {
        if (fs::exists(path, error)) {
            Remove(path);
        }
    }
}

void SeriesCommit::Run(const std::string& target, const std::vector<std::string>& temporaries,
                       const std::vector<std::string>& finals,
                       const std::vector<std::string>& oldMembers, bool durable) {
    const fs::path folder = FolderOf(target);
    for (const std::string& temporary : temporaries) {
        CopyPermissions(target, temporary);
    }
    // One new file taking the place of one old file of the same name (or of
    // none): a single rename replaces it at once, so there is no moment at
    // which the name reads as neither result, and no journal is needed.
    const std::string targetName = fs::path(target).filename().string();
    const bool onlyTheTarget =
        temporaries.size() == 1 && finals.size() == 1 &&
        fs::path(finals[0]).filename().string() == targetName &&
        (oldMembers.empty() ||
         (oldMembers.size() == 1 && fs::path(oldMembers[0]).filename().string() == targetName));
    if (onlyTheTarget) {
        const std::string failed = Rename(temporaries[0], folder / targetName);
        if (!failed.empty()) {
            throw WriteError("cannot rename the new file to " + Quoted(finals[0]) + ": " + failed);
        }
        return;
    }
    Journal journal;
    for (const std::string& member : oldMembers) {
        const std::string name = fs::path(member).filename().string();
        journal.old.emplace_back(name, OwnFileName(name, "old"));
    }
    for (std::size_t i = 0; i < temporaries.size(); ++i) {
        journal.incoming.emplace_back(fs::path(temporaries[i]).filename().string(),
                                      fs::path(finals[i]).filename().string());
    }
    const fs::path journalPath =
        folder / OwnFileName(fs::path(target).filename().string(), "commit");
    WriteJournal(journalPath, JournalText(journal), durable);

    std::size_t asideDone = 0;
    std::size_t inDone = 0;
    const auto undo = [&](const std::string& failure) {
        std::string problems;
        for (std::size_t i = inDone; i-- > 0;) {
            const auto& [temporary, final] = journal.incoming[i];
            const std::string failed = Rename(folder / final, folder / temporary);
            if (!failed.empty()) {
                problems += "; cannot move " + Quoted(final) + " back: " + failed;
            }
        }
        for (std::size_t i = asideDone; i-- > 0;) {
            const auto& [original, aside] = journal.old[i];
            const std::string failed = Rename(folder / aside, folder / original);
            if (!failed.empty()) {
                problems += "; cannot restore " + Quoted(original) + ": " + failed;
            }
        }
        if (problems.empty()) {
            Remove(journalPath);
            throw WriteError(failure);
        }
        throw WriteError(failure + problems + " (the next write to " + Quoted(target) +
                         " rolls the rest back)");
    };
    for (; asideDone < journal.old.size(); ++asideDone) {
        const auto& [original, aside] = journal.old[asideDone];
        const std::string failed = Rename(folder / original, folder / aside);
        if (!failed.empty()) {
            undo("cannot move " + Quoted((folder / original).string()) +
                 ", a file of the old result, aside: " + failed);
        }
    }
    for (; inDone < journal.incoming.size(); ++inDone) {
        const auto& [temporary, final] = journal.incoming[inDone];
        const std::string failed = Rename(folder / temporary, folder / final);
        if (!failed.empty()) {
            undo("cannot rename the new file to " + Quoted(finals[inDone]) + ": " + failed);
        }
    }
    // The new result is in place: what fails from here on only leaves hidden
    // files that the next write removes.
    bool removed = true;
    for (const auto& entry : journal.old) {
        removed = Remove(folder / entry.second).empty() && removed;
    }
    if (removed) {
        Remove(journalPath);
    }
}

} // namespace detail
} // namespace kvres
