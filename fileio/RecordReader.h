// RecordReader: reads the records of a data block in bulk. A record is one
// entity id followed by a fixed number of reals, all in one encoding (integer
// width, real format, byte order). It asks the stream for at most 65536 bytes
// at a time, into a staging buffer of bounded size (kStagingBytes, whatever the
// number of records asked for), and decodes ids and reals from there with the
// same primitives as the typed reads, so every value is bit for bit what
// ReadInt and ReadReals deliver for the same bytes. It also reads records
// packed for the host (ReadPacked): an int32 id then the reals as floats, in
// the host's byte order, decoded in one forward pass per 65536-byte piece. It
// does not open or position the stream and does not know what the reals mean.
#pragma once

#include "fileio/ResEncoding.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

class RecordReader {
public:
    // Most reals one record may hold; reads of longer records read nothing.
    static constexpr int kMaxRealsPerRecord = 4096;
    // Upper bound of the staging buffer; it grows to what reads need, up to this.
    static constexpr std::size_t kStagingBytes = 256 * 1024;

    // Which reals of each record a read decodes: `count` of them, from the
    // record's real number `first` on. The others are read and passed over.
    struct Window {
        int first = 0;
        int count = 0;
    };
    // Every real of a record of `realsPerRecord` reals.
    static Window AllReals(int realsPerRecord) { return Window{0, realsPerRecord}; }

    // Decodes `records` records laid out back to back in `bytes`, each an id
    // and `realsPerRecord` reals: ids[i], and the reals of the window to
    // reals[i * window.count] onwards; each skipped when its array is null.
    // The window lies within the record.
    using Decoder = void (*)(const unsigned char* bytes, std::size_t records, int realsPerRecord,
                             Window window, std::int32_t* ids, float* reals);

    // 4-byte integers, IEEE singles, least significant byte first.
    RecordReader();

    void SetEncoding(IntEncoding ints, RealEncoding reals, bool bigEndian);

    // Bytes of one record with `realsPerRecord` reals in the current encoding.
    std::size_t RecordBytes(int realsPerRecord) const;

    // Reads up to `maxRecords` records from the stream's current position:
    // the id of record i goes to ids[i] and its reals to
    // reals[i * realsPerRecord] onwards; a null array is not written (its
    // part of each record is read and passed over). Returns the number of
    // whole records read; a record cut off by the end of the file is not
    // delivered. The stream then stands after the last record read, unless
    // the read came up short. 0 without reading for a null stream, a
    // `maxRecords` of 0 or `realsPerRecord` outside 0..kMaxRealsPerRecord.
    std::size_t Read(std::FILE* stream, int realsPerRecord, std::int32_t* ids, float* reals,
                     std::size_t maxRecords);
    // The same, decoding only the reals of `window` (to reals[i *
    // window.count] onwards). 0 without reading also for a window that does
    // not lie within the record.
    std::size_t Read(std::FILE* stream, int realsPerRecord, Window window, std::int32_t* ids,
                     float* reals, std::size_t maxRecords);

    // The decoder of one encoding, for callers that hold the bytes already.
    static Decoder DecoderFor(IntEncoding ints, RealEncoding reals, bool bigEndian);

    // Packs `records` records laid out back to back in `raw` into `packed`:
    // record i becomes PackedRecordBytes(realsPerRecord) bytes at packed + i *
    // that size, its id as int32, then its reals as floats, host byte order,
    // the same bits as the typed reads. In place when `packed` == `raw`, and
    // safe whenever `packed` lies at or before `raw` (each item is loaded
    // before its packed form is stored, and a packed record never reaches
    // past the raw bytes not yet decoded); otherwise the two must not overlap.
    using Packer = void (*)(const unsigned char* raw, std::size_t records, int realsPerRecord,
                            unsigned char* packed);
    static Packer PackerFor(IntEncoding ints, RealEncoding reals, bool bigEndian);
    static std::size_t PackedRecordBytes(int realsPerRecord) {
        return 4 + 4 * static_cast<std::size_t>(realsPerRecord);
    }

    // Reads up to `maxRecords` whole records from the stream's current
    // position into `records` as packed records (see Packer). When the
    // file's records are 4-byte items they are read straight into `records`
    // and decoded there; 8-byte items are read through the staging buffer.
    // Returns the number of whole records delivered; bytes of `records`
    // beyond them (up to maxRecords packed records) may have been written.
    // The stream stands as after Read. 0 without reading in the cases Read
    // gives 0 or for a null `records`.
    std::size_t ReadPacked(std::FILE* stream, int realsPerRecord, unsigned char* records,
                           std::size_t maxRecords);

private:
    Decoder decoder;
    Packer packer;
    bool packedAsStored = true;
    int intSize = 4;
    int realSize = 4;
    std::vector<unsigned char> staging;
};
