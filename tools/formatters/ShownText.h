// ShownText: the one rule by which kvres-tool shows names and labels read
// from a file. A valid UTF-8 sequence (RFC 3629: shortest form, no
// surrogates, at most U+10FFFF) is kept as it is; a control character (U+0000
// to U+001F, U+007F and the C1 controls U+0080 to U+009F) and every byte that
// is not part of a valid sequence is escaped, as \xHH per byte in text and as
// \u00XX in JSON. So nothing from a file can drive a terminal, and a UTF-8
// name reads as itself. Free functions; no state. It does not quote CSV
// fields (CsvFormatter does).
#pragma once

#include <cstddef>
#include <string>

namespace showntext {

// The length (1 to 4) of the valid UTF-8 sequence at `text[at]`, or 0 when
// the byte there does not begin one.
std::size_t SequenceLength(const std::string& text, std::size_t at);

// The code point of the valid sequence of `length` bytes at `text[at]`.
unsigned CodePoint(const std::string& text, std::size_t at, std::size_t length);

// Whether the code point is a control character (C0, DEL or C1).
inline bool IsControl(unsigned codePoint) {
    return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F);
}

// `text` for a terminal or a text file: controls and invalid bytes as \xHH.
std::string Printable(const std::string& text);

// Whether Printable would change `text`.
bool NeedsEscaping(const std::string& text);

// `text` as a JSON string literal with its quotes: '"' and '\' after a
// backslash, controls as \u00XX of their code point, an invalid byte as
// \u00XX of its value, valid UTF-8 kept.
std::string JsonQuote(const std::string& text);

} // namespace showntext
