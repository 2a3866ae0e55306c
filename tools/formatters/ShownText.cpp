#include "ShownText.h"

namespace showntext {

namespace {

const char kHex[] = "0123456789ABCDEF";

unsigned char ByteAt(const std::string& text, std::size_t at) {
    return static_cast<unsigned char>(text[at]);
}

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

void AppendHex(std::string& out, const char* prefix, unsigned value) {
    out += prefix;
    out += kHex[(value >> 4) & 0x0F];
    out += kHex[value & 0x0F];
}

} // namespace

std::size_t SequenceLength(const std::string& text, std::size_t at) {
    const std::size_t left = text.size() - at;
    const unsigned char lead = ByteAt(text, at);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;  // the bounds of the second byte (no overlong
    unsigned char high = 0xBF; // form, no surrogate, nothing past U+10FFFF)
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (left < length) {
        return 0;
    }
    const unsigned char second = ByteAt(text, at + 1);
    if (second < low || second > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (!IsContinuation(ByteAt(text, at + i))) {
            return 0;
        }
    }
    return length;
}

unsigned CodePoint(const std::string& text, std::size_t at, std::size_t length) {
    static const unsigned char kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    unsigned point = ByteAt(text, at) & kLeadMask[length];
    for (std::size_t i = 1; i < length; ++i) {
        point = (point << 6) | (ByteAt(text, at + i) & 0x3F);
    }
    return point;
}

std::string Printable(const std::string& text) {
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = SequenceLength(text, at);
        if (length == 0 || IsControl(CodePoint(text, at, length))) {
            // An invalid byte alone; a control with every byte of it.
            const std::size_t escaped = length == 0 ? 1 : length;
            for (std::size_t i = 0; i < escaped; ++i) {
                AppendHex(shown, "\\x", ByteAt(text, at + i));
            }
            at += escaped;
        } else {
            shown.append(text, at, length);
            at += length;
        }
    }
    return shown;
}

bool NeedsEscaping(const std::string& text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = SequenceLength(text, at);
        if (length == 0 || IsControl(CodePoint(text, at, length))) {
            return true;
        }
        at += length;
    }
    return false;
}

std::string JsonQuote(const std::string& text) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted += '"';
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = SequenceLength(text, at);
        if (length == 0) {
            AppendHex(quoted, "\\u00", ByteAt(text, at));
            ++at;
            continue;
        }
        const unsigned point = CodePoint(text, at, length);
        if (IsControl(point)) {
            AppendHex(quoted, "\\u00", point);
        } else if (point == '"' || point == '\\') {
            quoted += '\\';
            quoted += static_cast<char>(point);
        } else {
            quoted.append(text, at, length);
        }
        at += length;
    }
    quoted += '"';
    return quoted;
}

} // namespace showntext
