// ResFileSet: the file-set reader of one result. Holds the ordered list of the
// files of a result's series, at most one open file of it, and the encoding
// detected for that file; delivers raw bytes, 32-bit integers and single reals
// whatever width and byte order the file uses. It knows the header only as far
// as encoding detection needs; the rest of the layout is its callers' business.
#pragma once

#include "fileio/RecordReader.h"
#include "fileio/ResEncoding.h"
#include "fileio/ResFile.h"
#include "fileio/SeriesNames.h"

#include <cstdint>
#include <string>
#include <vector>

class ResFileSet {
public:
    ResFileSet();
    ~ResFileSet();
    ResFileSet(const ResFileSet&) = delete;
    ResFileSet& operator=(const ResFileSet&) = delete;

    // Closes the current file, detects the encoding of `path`, builds the
    // series list unless `path` is already one of its entries, and opens
    // `path` at byte 0. False (with no file open) when any step fails; an
    // empty name fails at once.
    bool OpenFile(const std::string& path);

    // Entry `index` of the series list; empty when `index` is outside it.
    std::string GetSeriesFileName(int index) const;
    int GetNumSeriesFiles() const;

    // Moves to the absolute byte offset `position`. False when no file is
    // open, `position` is negative or the stream rejects it.
    bool SeekTo(std::int32_t position);

    // Moves to byte 0; false when no file is open or that fails.
    bool Rewind();

    // Raw bytes, unchanged; the number read. 0 without reading for a null
    // buffer, a length of 0 or less, or no open file.
    int ReadBytes(void* buffer, int length);

    // One integer / one real / `count` reals in the detected encoding; the
    // number of whole items read (0 with no file open, destination untouched).
    int ReadInt(std::int32_t* out);
    int ReadReal(float* out);
    int ReadReals(float* out, int count);

    // Bulk read of block records, each an integer (the entity id) followed
    // by `realsPerRecord` reals, from the current position, in the detected
    // encoding: up to `maxRecords` records, ids to ids[i] and reals to
    // reals[i * realsPerRecord] onwards (a null array is passed over).
    // Returns the number of whole records read, the same values ReadInt and
    // ReadReals would give; a record cut off by the end of the file is not
    // counted. The stream is read in pieces of at most 65536 bytes through a
    // staging buffer of at most RecordReader::kStagingBytes. 0 with no file
    // open, `maxRecords` <= 0 or `realsPerRecord` outside
    // 0..RecordReader::kMaxRealsPerRecord.
    int ReadRecords(std::int32_t* ids, float* reals, int realsPerRecord, int maxRecords);
    // The same, decoding only the reals of `window` of each record (to
    // reals[i * window.count] onwards); 0 also for a window outside the record.
    int ReadRecords(std::int32_t* ids, float* reals, int realsPerRecord,
                    RecordReader::Window window, int maxRecords);

    // The same records packed for the host (RecordReader::ReadPacked): record
    // i as an int32 id and `realsPerRecord` floats at records + i *
    // RecordReader::PackedRecordBytes(realsPerRecord), decoded where they
    // were read when the file's items are 4 bytes. The number of whole
    // records delivered; 0 in the cases ReadRecords gives 0 or for a null
    // `records`.
    int ReadPackedRecords(unsigned char* records, int realsPerRecord, int maxRecords);

    // Closes the current file, if any, handing its name to the cache clearer;
    // while a Hold lives, only once the last Hold ends.
    void CloseFile();

    // Keeps the file set's file open between reads while it lives: CloseFile
    // waits for its end, and OpenFile of the file still open rewinds it
    // instead of detecting its encoding again, so that a run of block reads
    // of one file opens it once. Any other OpenFile closes that file as
    // always. A file whose close was put off is closed when the last Hold
    // ends; no file stays open after it.
    class Hold {
    public:
        explicit Hold(ResFileSet& files) : files(files) {
            if (files.holds++ == 0) {
                files.openedInHold = false; // the first open of a hold is a real one
            }
        }
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        ResFileSet& files;
    };

    // Tries the candidate encodings on the header of `path` and keeps the
    // first one that reads a plausible header. The file is closed afterwards.
    bool DetectEncoding(const std::string& path);

    // Whether the header read from byte 0 in the current encoding is
    // plausible: three text fields, then an integer of magnitude <= 65535.
    bool ProbeHeader();

    // Rebuilds the series list from `path`; the number of entries. The file
    // named is listed even when its folder cannot be listed. '\\' separates
    // folders on Windows only; elsewhere it is a character of a name.
    int DiscoverSeries(const std::string& path);

    // From now on, the first open of each series file records its identity
    // (ResFile::Identity) and every later open compares: an open that finds
    // another file there (replaced, or reached by a relative name from
    // another working directory), or none, fails and marks the set as having
    // lost a file. The host's road does not ask for this.
    void VerifyIdentities() { verifyIdentities = true; }
    // VerifyIdentities, and beyond it the road of a reading API: the file
    // last read stays open between reads (within a cap on such files for the
    // whole process, kHeldFilesCap; past it files close as always), each
    // reopen of it checks its identity on the open descriptor instead of
    // opening it anew, and a file found unchanged reuses the encoding
    // detected for it. The file so held is read as it was opened, whatever
    // comes to stand under its name. Not on Windows, where an open file
    // cannot be replaced or removed. A series file open at the call (the one
    // the creation opened) has its identity and encoding recorded then, as
    // at a first open. The host's road does not ask for this.
    void KeepFilesOpen();
    static constexpr int kHeldFilesCap = 256;
    // Whether an open failed that way since the last ForgetLostFile, and
    // the name of the (last) file it concerned.
    bool LostFile() const { return !lostFile.empty(); }
    const std::string& LostFileName() const { return lostFile; }
    void ForgetLostFile() { lostFile.clear(); }

    bool IsOpen() const { return currentFile.IsOpen(); }
    const std::string& GetCurrentFileName() const { return currentFile.FileName(); }
    bool BigEndian() const { return bigEndian; }
    RealEncoding GetRealEncoding() const { return realEncoding; }
    IntEncoding GetIntEncoding() const { return intEncoding; }
    int IntItemSize() const { return ::IntItemSize(intEncoding); }
    int RealItemSize() const { return ::RealItemSize(realEncoding); }

    // Bytes from the current position to the end of the open file; 0 when no
    // file is open or the position lies at or beyond the end.
    std::int64_t BytesRemaining();
    // The size of the open file in bytes, -1 when unknown: on the road of
    // KeepFilesOpen the size its identity was checked with at the open.
    std::int64_t FileSize() const;

private:
    // DetectEncoding on the file already open, which stays open; its header
    // is read with ResFile::ReadAt.
    bool DetectOpenEncoding();
    void SetEncoding(IntEncoding ints, RealEncoding reals, bool mostSignificantFirst);
    // The identity check of VerifyIdentities for the open of `path`, which
    // `opened` tells succeeded; false when the open must fail.
    bool SameFileAsBefore(const std::string& path, bool opened);
    // The index of `path` in the series list, or -1.
    int SeriesIndex(const std::string& path) const;
    // OpenFile of the road KeepFilesOpen asks for: the held file checked on
    // its descriptor, a file met before opened once and its encoding reused.
    // Sets `handled` false when the usual road must open `path`.
    bool OpenKnownFile(const std::string& path, bool& handled);
    // Closes the current file for good, giving back its place among the
    // held files.
    void CloseForGood();

    std::vector<std::string> seriesFiles;
    // Per series file, its identity once recorded (VerifyIdentities).
    std::vector<ResFile::Identity> identities;
    std::vector<bool> identityKnown;
    bool verifyIdentities = false;
    std::string lostFile;
    // Per series file, its encoding once detected with its identity known.
    struct KnownEncoding {
        bool known = false;
        IntEncoding ints = Int4;
        RealEncoding reals = Real4;
        bool bigEndian = false;
    };
    std::vector<KnownEncoding> encodings;
    bool keepOpen = false;
    bool holdsPlace = false; // counted among the process's held files
    // Whether a file was opened (not merely kept) since the current Hold
    // began: a Hold reuses only such a file.
    bool openedInHold = false;
    // An open that kept its file puts off the rewind to byte 0 until the
    // next read: a seek that comes first makes it needless.
    bool rewindPending = false;
    // The size of the open file as its identity was checked (-1: unknown).
    std::int64_t checkedSize = -1;
    void Settle() {
        if (rewindPending) {
            rewindPending = false;
            currentFile.Seek(0);
        }
    }
    ResFile currentFile;
    int holds = 0;
    bool closePutOff = false;
    bool bigEndian = false;
    RealEncoding realEncoding = Real4;
    IntEncoding intEncoding = Int4;
    RealReader realReader = nullptr;
    RealsReader realsReader = nullptr;
    IntReader intReader = nullptr;
    RecordReader recordReader;
};
