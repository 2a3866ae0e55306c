// OutputBuffer: the one buffered writer of kvres-tool's output. Text, integers
// and floats (as FloatText writes them) go into a fixed 64 KiB buffer that is
// handed to a C stream whenever it fills, so writing a value allocates
// nothing. It remembers the first write error (a full disk, a closed pipe) and
// writes nothing after it; the caller asks Failed() and ends with a message.
// It does not own the stream. Not copyable.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <type_traits>

class OutputBuffer {
public:
    explicit OutputBuffer(std::FILE* stream);
    ~OutputBuffer();
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;

    void Put(char c) {
        if (used == kCapacity) {
            Drain();
        }
        buffer[used++] = c;
    }
    void Write(std::string_view text);
    void Int(long long value);
    // The shortest round-tripping text of `value` ("nan", "inf" as such).
    void Float(float value);
    // `count` spaces.
    void Spaces(std::size_t count);

    // Hands everything buffered to the stream and flushes it. False once any
    // write has failed.
    bool Flush();
    bool Failed() const { return failed; }
    // The system's words for the first failure; empty without one.
    const std::string& ErrorText() const { return errorText; }
    // The errno value of the first failure (EPIPE: the reader has gone); 0
    // without one or when the system gave none.
    int ErrorNumber() const { return errorNumber; }

    OutputBuffer& operator<<(std::string_view text) {
        Write(text);
        return *this;
    }
    OutputBuffer& operator<<(const char* text) {
        Write(text);
        return *this;
    }
    OutputBuffer& operator<<(const std::string& text) {
        Write(text);
        return *this;
    }
    OutputBuffer& operator<<(char c) {
        Put(c);
        return *this;
    }
    // Any integer type but char and bool, as decimal digits.
    template <typename Integer,
              std::enable_if_t<std::is_integral_v<Integer> && !std::is_same_v<Integer, char> &&
                                   !std::is_same_v<Integer, bool>,
                               int> = 0>
    OutputBuffer& operator<<(Integer value) {
        Int(static_cast<long long>(value));
        return *this;
    }

private:
    static constexpr std::size_t kCapacity = 65536;
    // Room a number needs at most, so it is written without a boundary test.
    static constexpr std::size_t kNumberRoom = 32;

    void Reserve(std::size_t room) {
        if (kCapacity - used < room) {
            Drain();
        }
    }
    // Hands the buffer to the stream and empties it.
    void Drain();

    std::FILE* stream;
    char buffer[kCapacity];
    std::size_t used = 0;
    bool failed = false;
    std::string errorText;
    int errorNumber = 0;
};
