#include "JsonTextAdapter.h"

#include "tools/JsonWriter.h"

namespace jsontextadapter {

std::string Quote(const std::string& text) {
    return JsonWriter::Quote(text);
}

std::string Number(float value) {
    return JsonWriter::Number(value);
}

} // namespace jsontextadapter
