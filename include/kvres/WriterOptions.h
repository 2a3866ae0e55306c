// kvres::WriterOptions: how a kvres::Writer lays out the files it writes:
// the number encoding, the two header texts, what becomes of NaN in a Cray
// file, the expected number of simulations, and whether the data is flushed
// to the disk before the final rename. Plain values; checked by the Writer.
#pragma once

#include <string>

namespace kvres {

// The encodings a .res reader recognises: 4-byte integers with IEEE single
// reals, or 8-byte integers (the value in bytes 4-7) with Cray 64-bit reals,
// least (le) or most (be) significant byte first.
enum class Encoding { I4LE, I4BE, I8LE, I8BE };

// "i4le", "i4be", "i8le", "i8be".
const char* EncodingName(Encoding encoding);
// Sets `encoding` from its name; false for any other text.
bool ParseEncoding(const std::string& name, Encoding& encoding);

struct WriterOptions {
    Encoding encoding = Encoding::I4LE;
    // The two 81-byte texts of every file's header (at most 80 characters
    // each); no reader interprets them.
    std::string title;
    std::string subtitle;
    // Cray words have no NaN: false refuses a NaN with an InputError naming
    // simulation, data type and entity; true writes it as an infinity of the
    // NaN's sign.
    bool nanAsInfinity = false;
    // The number of simulations the caller will write, when known. The
    // simulation table lies before the data; with the right number the data
    // is written once, otherwise it is moved once when a file is finished.
    // 0: unknown.
    int expectedSimulations = 0;
    // Flush the file to the disk before it is renamed into place, so that the
    // new file survives a power failure (slower).
    bool durable = false;
    // Files whose names join the target's series (run0.res ... run9.res)
    // but that belong to no result being replaced (the target is missing or
    // no .res file) are refused; true replaces (removes) them.
    bool replaceSeries = false;
    // Data type names as the file stores them (a complex vector's name with
    // the four characters a reader drops) instead of as a reader shows them.
    bool storedNames = false;
};

} // namespace kvres
