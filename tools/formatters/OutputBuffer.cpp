#include "OutputBuffer.h"

#include "FloatText.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

OutputBuffer::OutputBuffer(std::FILE* stream) : stream(stream) {}

OutputBuffer::~OutputBuffer() {
    Drain();
}

void OutputBuffer::Write(std::string_view text) {
    while (!text.empty()) {
        if (used == kCapacity) {
            Drain();
        }
        const std::size_t part = std::min(text.size(), kCapacity - used);
        std::memcpy(buffer + used, text.data(), part);
        used += part;
        text.remove_prefix(part);
    }
}

void OutputBuffer::Int(long long value) {
    Reserve(kNumberRoom);
    used = static_cast<std::size_t>(std::to_chars(buffer + used, buffer + kCapacity, value).ptr -
                                    buffer);
}

void OutputBuffer::Float(float value) {
    static_assert(floattext::kMaxLength <= kNumberRoom, "a float's text must fit the room");
    Reserve(kNumberRoom);
    used += floattext::FormatTo(value, buffer + used);
}

void OutputBuffer::Spaces(std::size_t count) {
    while (count > 0) {
        if (used == kCapacity) {
            Drain();
        }
        const std::size_t part = std::min(count, kCapacity - used);
        std::memset(buffer + used, ' ', part);
        used += part;
        count -= part;
    }
}

void OutputBuffer::Drain() {
    const std::size_t pending = used;
    used = 0;
    if (failed || pending == 0) {
        return;
    }
    errno = 0;
    if (std::fwrite(buffer, 1, pending, stream) != pending || std::fflush(stream) != 0) {
        failed = true;
        errorNumber = errno;
        errorText = errno != 0 ? std::strerror(errno) : "write error";
    }
}

bool OutputBuffer::Flush() {
    Drain();
    if (!failed) {
        errno = 0;
        if (std::fflush(stream) != 0) {
            failed = true;
            errorNumber = errno;
            errorText = errno != 0 ? std::strerror(errno) : "write error";
        }
    }
    return !failed;
}
