#include "fileio/ResFileSet.h"

#include "fileio/DirectoryScanner.h"
#include "fileio/EncodingNames.h"
#include "fileio/ResLayout.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {

// Whether the count after the text fields has a magnitude of at most 65535;
// compared without negating, so the most negative value is rejected too.
bool IsPlausibleHeaderCount(std::int32_t count) {
    constexpr std::int32_t limit = reslayout::kMaxSimulations;
    return count >= -limit && count <= limit;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Plain byte-wise order with bytes taken as unsigned values.
bool ByteWiseLess(const std::string& a, const std::string& b) {
    const std::size_t common = std::min(a.size(), b.size());
    const int order = std::memcmp(a.data(), b.data(), common);
    return order != 0 ? order < 0 : a.size() < b.size();
}

} // namespace

ResFileSet::ResFileSet() {
    SetEncoding(Int4, Real4, false);
}

ResFileSet::~ResFileSet() {
    CloseForGood();
}

void ResFileSet::SetEncoding(IntEncoding ints, RealEncoding reals, bool mostSignificantFirst) {
    intEncoding = ints;
    realEncoding = reals;
    bigEndian = mostSignificantFirst;
    intReader = IntReaderFor(ints);
    realReader = RealReaderFor(reals);
    realsReader = RealsReaderFor(reals);
    recordReader.SetEncoding(ints, reals, mostSignificantFirst);
}

bool ResFileSet::OpenFile(const std::string& path) {
    if (holds > 0 && openedInHold && !path.empty() && currentFile.IsOpen() &&
        currentFile.FileName() == path) {
        closePutOff = false;
        rewindPending = true;
        return true;
    }
    rewindPending = false;
    checkedSize = -1;
    openedInHold = holds > 0;
    if (keepOpen && !path.empty()) {
        bool handled = true;
        const bool opened = OpenKnownFile(path, handled);
        if (handled) {
            return opened;
        }
    }
    CloseForGood();
    closePutOff = false;
    if (path.empty()) {
        return false;
    }
#if defined(_WIN32)
    // Detected on a stream of its own, closed again, then opened anew.
    if (!DetectEncoding(path)) {
        return false;
    }
    const bool listed =
        std::find(seriesFiles.begin(), seriesFiles.end(), path) != seriesFiles.end();
    if (!listed && DiscoverSeries(path) == 0) {
        return false;
    }
    const bool opened = currentFile.Open(path);
#else
    // The file is opened once: its header is read beside the stream that is
    // then read (which stays at byte 0 with nothing buffered, as if just
    // opened). The cache clearer hears its name where the close after the
    // detection would have told it, so the host hears what it always heard.
    if (!currentFile.Open(path)) {
        currentFile.Close();
        return false;
    }
    if (!DetectOpenEncoding()) {
        currentFile.Close();
        return false;
    }
    currentFile.TellCacheClearer();
    const bool listed =
        std::find(seriesFiles.begin(), seriesFiles.end(), path) != seriesFiles.end();
    if (!listed && DiscoverSeries(path) == 0) {
        currentFile.CloseQuietly();
        return false;
    }
    const bool opened = true;
#endif
    if (verifyIdentities && !SameFileAsBefore(path, opened)) {
        CloseForGood();
        return false;
    }
    if (opened && keepOpen) {
        checkedSize = currentFile.FileIdentity().size;
    }
    return opened;
}

int ResFileSet::SeriesIndex(const std::string& path) const {
    const auto listed = std::find(seriesFiles.begin(), seriesFiles.end(), path);
    return listed == seriesFiles.end() ? -1 : static_cast<int>(listed - seriesFiles.begin());
}

bool ResFileSet::SameFileAsBefore(const std::string& path, bool opened) {
    const int found = SeriesIndex(path);
    if (found < 0) {
        return opened;
    }
    const std::size_t index = static_cast<std::size_t>(found);
    if (identities.size() != seriesFiles.size()) {
        identities.assign(seriesFiles.size(), ResFile::Identity());
        identityKnown.assign(seriesFiles.size(), false);
        encodings.assign(seriesFiles.size(), KnownEncoding());
    }
    if (!identityKnown[index]) {
        if (opened) {
            identities[index] = currentFile.FileIdentity();
            identityKnown[index] = true;
            encodings[index] = KnownEncoding{true, intEncoding, realEncoding, bigEndian};
        }
        return opened;
    }
    if (!opened || currentFile.FileIdentity() != identities[index]) {
        lostFile = path;
        return false;
    }
    return true;
}

std::string ResFileSet::GetSeriesFileName(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= seriesFiles.size()) {
        return std::string();
    }
    return seriesFiles[static_cast<std::size_t>(index)];
}

int ResFileSet::GetNumSeriesFiles() const {
    return static_cast<int>(seriesFiles.size());
}

bool ResFileSet::SeekTo(std::int32_t position) {
    rewindPending = false;
    return currentFile.Seek(static_cast<std::int64_t>(position));
}

bool ResFileSet::Rewind() {
    rewindPending = false;
    return currentFile.Seek(0);
}

int ResFileSet::ReadBytes(void* buffer, int length) {
    if (buffer == nullptr || length <= 0 || !currentFile.IsOpen()) {
        return 0;
    }
    Settle();
    return static_cast<int>(
        std::fread(buffer, 1, static_cast<std::size_t>(length), currentFile.Stream()));
}

int ResFileSet::ReadInt(std::int32_t* out) {
    Settle();
    return intReader(currentFile.Stream(), bigEndian, out);
}

int ResFileSet::ReadReal(float* out) {
    Settle();
    return realReader(currentFile.Stream(), bigEndian, out);
}

int ResFileSet::ReadReals(float* out, int count) {
    Settle();
    return realsReader(currentFile.Stream(), bigEndian, out, count);
}

int ResFileSet::ReadRecords(std::int32_t* ids, float* reals, int realsPerRecord, int maxRecords) {
    return ReadRecords(ids, reals, realsPerRecord, RecordReader::AllReals(realsPerRecord),
                       maxRecords);
}

int ResFileSet::ReadRecords(std::int32_t* ids, float* reals, int realsPerRecord,
                            RecordReader::Window window, int maxRecords) {
    if (maxRecords <= 0) {
        return 0;
    }
    Settle();
    return static_cast<int>(recordReader.Read(currentFile.Stream(), realsPerRecord, window, ids,
                                              reals, static_cast<std::size_t>(maxRecords)));
}

int ResFileSet::ReadPackedRecords(unsigned char* records, int realsPerRecord, int maxRecords) {
    if (maxRecords <= 0) {
        return 0;
    }
    Settle();
    return static_cast<int>(recordReader.ReadPacked(currentFile.Stream(), realsPerRecord, records,
                                                    static_cast<std::size_t>(maxRecords)));
}

namespace {

// Files held open between reads by every file set of the process.
std::atomic<int> heldFiles{0};

} // namespace

void ResFileSet::KeepFilesOpen() {
    verifyIdentities = true;
#if !defined(_WIN32)
    keepOpen = true;
#endif
    // The file the creation left open is the first one the scan reads: its
    // identity and encoding are recorded now, so that the scan's open of it
    // checks it on the open descriptor instead of opening it again.
    if (currentFile.IsOpen()) {
        SameFileAsBefore(currentFile.FileName(), true);
    }
}

bool ResFileSet::OpenKnownFile(const std::string& path, bool& handled) {
    const int found = SeriesIndex(path);
    if (found < 0 || static_cast<std::size_t>(found) >= identities.size() ||
        !identityKnown[static_cast<std::size_t>(found)] ||
        !encodings[static_cast<std::size_t>(found)].known) {
        handled = false;
        return false;
    }
    const std::size_t index = static_cast<std::size_t>(found);
    handled = true;
    closePutOff = false;
    if (currentFile.IsOpen() && currentFile.FileName() == path) {
        // Held since the last read: the descriptor still reaches the file
        // the scan read, unless it was rewritten where it stands.
        ResFile::Identity now;
        if (currentFile.CurrentIdentity(now) && now == identities[index]) {
            checkedSize = now.size;
            rewindPending = true;
            return true;
        }
        lostFile = path;
        CloseForGood();
        return false;
    }
    CloseForGood();
    if (!currentFile.Open(path) || currentFile.FileIdentity() != identities[index]) {
        lostFile = path;
        CloseForGood();
        return false;
    }
    const KnownEncoding& known = encodings[index];
    SetEncoding(known.ints, known.reals, known.bigEndian);
    checkedSize = identities[index].size;
    return true;
}

void ResFileSet::CloseForGood() {
    currentFile.Close();
    if (holdsPlace) {
        holdsPlace = false;
        --heldFiles;
    }
}

void ResFileSet::CloseFile() {
    if (holds > 0) {
        closePutOff = currentFile.IsOpen();
        return;
    }
    if (keepOpen && currentFile.IsOpen()) {
        const int index = SeriesIndex(currentFile.FileName());
        const bool known = index >= 0 && static_cast<std::size_t>(index) < encodings.size() &&
                           encodings[static_cast<std::size_t>(index)].known;
        if (known && (holdsPlace || ++heldFiles <= kHeldFilesCap)) {
            holdsPlace = true;
            return;
        }
        if (known && !holdsPlace) {
            --heldFiles; // no place left: closed as always
        }
    }
    CloseForGood();
}

ResFileSet::Hold::~Hold() {
    if (--files.holds == 0 && files.closePutOff) {
        files.closePutOff = false;
        files.CloseFile();
    }
}

bool ResFileSet::DetectEncoding(const std::string& path) {
    if (!currentFile.Open(path)) {
        currentFile.Close();
        return false;
    }
    const bool accepted = DetectOpenEncoding();
    currentFile.Close();
    return accepted;
}

bool ResFileSet::DetectOpenEncoding() {
    // The header is read once; each trial then judges the same bytes as
    // ProbeHeader would read them from byte 0 in its encoding. A file that
    // fails every trial is read once instead of once per trial.
    unsigned char header[reslayout::kHeaderTextBytes + 8];
    const std::size_t got = currentFile.ReadAt(0, header, sizeof header);
    for (const encodingnames::Trial& trial : encodingnames::kTrials) {
        SetEncoding(trial.ints, trial.reals, trial.bigEndian);
        if (got >=
                reslayout::kHeaderTextBytes + static_cast<std::size_t>(::IntItemSize(trial.ints)) &&
            IsPlausibleHeaderCount(
                DecodeIntItem(header + reslayout::kHeaderTextBytes, trial.ints, trial.bigEndian))) {
            return true;
        }
    }
    return false;
}

bool ResFileSet::ProbeHeader() {
    if (!currentFile.IsOpen()) {
        return false;
    }
    char text[reslayout::kHeaderTextWidth];
    for (int width : reslayout::kHeaderTextWidths) {
        if (ReadBytes(text, width) != width) {
            return false;
        }
    }
    std::int32_t count = 0;
    return ReadInt(&count) == 1 && IsPlausibleHeaderCount(count);
}

int ResFileSet::DiscoverSeries(const std::string& path) {
    seriesFiles.clear();
    // Identities and encodings belong to the entries of the list they were
    // recorded for.
    identities.clear();
    identityKnown.clear();
    encodings.clear();

    std::string normalised = path;
#if defined(_WIN32)
    std::replace(normalised.begin(), normalised.end(), '\\', '/');
#endif
    const std::size_t slash = normalised.find_last_of('/');
    const std::string basename =
        slash == std::string::npos ? normalised : normalised.substr(slash + 1);
    std::string stem;
    std::string extension;
    SplitFileName(basename, stem, extension);

    // A numbered file named on its own is read alone.
    if (!stem.empty() && IsDigit(stem.back())) {
        seriesFiles.push_back(normalised);
        return 1;
    }

    const std::string prefix =
        slash == std::string::npos ? std::string("./") : normalised.substr(0, slash + 1);
    const std::string pattern = prefix + stem + "*" + extension;

    DirectoryScanner scanner;
    DirectoryEntry entry;
    for (bool more = scanner.First(pattern, entry); more; more = scanner.Next(entry)) {
        // Directories never join; hidden and system files only when they are
        // the very file the caller named, in whatever letter case the name
        // was typed where the platform ignores case (on Windows the platform
        // lists that file first, and the first entry is taken by its name
        // alone).
        if (entry.attributes & DirectoryScanner::Subdirectory) {
            continue;
        }
        if ((entry.attributes & (DirectoryScanner::Hidden | DirectoryScanner::System)) &&
            !SameEntryName(entry.name, basename)) {
            continue;
        }
        if (IsSeriesMember(entry.name, stem, extension)) {
            seriesFiles.push_back(prefix + entry.name);
        }
    }
    scanner.Close();
    // A folder that cannot be listed (no read permission) still lets the
    // file named be read: it is the series' first member.
    std::string problem;
    int error = 0;
    if (seriesFiles.empty() && ResFile::Readable(normalised, problem, error)) {
        seriesFiles.push_back(normalised);
    }

    std::sort(seriesFiles.begin(), seriesFiles.end(), ByteWiseLess);
    return static_cast<int>(seriesFiles.size());
}

std::int64_t ResFileSet::FileSize() const {
    return checkedSize >= 0 && currentFile.IsOpen() ? checkedSize : currentFile.Size();
}

std::int64_t ResFileSet::BytesRemaining() {
    Settle();
    const std::int64_t size = FileSize();
    const std::int64_t position = currentFile.Tell();
    if (size < 0 || position < 0 || position >= size) {
        return 0;
    }
    return size - position;
}
