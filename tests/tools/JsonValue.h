// JsonValue: a parsed JSON document for the kvres-tool tests, small and
// strict: the whole text must be one value, objects keep their keys in the
// order written (the tool's key order is part of its contract), and numbers
// keep their text so that they can be read back as 32-bit floats exactly.
// \uXXXX escapes up to 00FF become that one byte, others UTF-8. It does not
// aim at speed and has no writer.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

class JsonValue {
public:
    enum class Type { Null, Bool, Number, String, Array, Object };

    // Parses `text`; false with `error` set when it is not one JSON value.
    static bool Parse(const std::string& text, JsonValue& value, std::string& error);

    Type GetType() const { return type; }
    bool IsNumber() const { return type == Type::Number; }
    bool IsString() const { return type == Type::String; }
    bool IsArray() const { return type == Type::Array; }
    bool IsObject() const { return type == Type::Object; }

    bool AsBool() const { return boolean; }
    // A number's text as written, or a string's bytes.
    const std::string& Text() const { return text; }
    float AsFloat() const;
    long long AsInt() const;

    std::size_t Size() const { return items.size() + members.size(); }
    const JsonValue& operator[](std::size_t index) const { return items.at(index); }
    // Keeps `value[0]` from being taken for a null key.
    const JsonValue& operator[](int index) const {
        return items.at(static_cast<std::size_t>(index));
    }
    // The member `key` of an object; throws std::out_of_range when absent.
    const JsonValue& operator[](const std::string& key) const;
    const JsonValue& operator[](const char* key) const { return (*this)[std::string(key)]; }
    bool Has(const std::string& key) const;
    const std::vector<JsonValue>& Items() const { return items; }
    const std::vector<std::pair<std::string, JsonValue>>& Members() const { return members; }
    std::vector<std::string> Keys() const;

    // Deep equality; numbers compare by their text, keys in order.
    bool operator==(const JsonValue& other) const;
    bool operator!=(const JsonValue& other) const { return !(*this == other); }

    // Removes the member `key` of an object, if present.
    void Erase(const std::string& key);

private:
    friend class JsonParser;

    Type type = Type::Null;
    bool boolean = false;
    std::string text;
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members;
};
