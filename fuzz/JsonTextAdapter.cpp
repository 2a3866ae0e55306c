#include "JsonTextAdapter.h"

#include "JsonFormatter.h"
#include "OutputBuffer.h"

#include <cstdio>

namespace jsontextadapter {

std::string Quote(const std::string& text) {
    return JsonFormatter::Quote(text);
}

std::string Number(float value) {
    // One memory stream and one buffer for the whole run: the writer's
    // buffer is large, and a number is a few bytes.
    static char* data = nullptr;
    static std::size_t size = 0;
    static std::FILE* stream = open_memstream(&data, &size);
    static OutputBuffer out(stream);
    std::fseek(stream, 0, SEEK_SET);
    JsonFormatter::WriteNumber(out, value);
    out.Flush();
    return std::string(data, size);
}

} // namespace jsontextadapter
