#include "JsonValue.h"

#include <cstdlib>
#include <stdexcept>

class JsonParser {
public:
    explicit JsonParser(const std::string& text) : text(text) {}

    bool ParseDocument(JsonValue& value, std::string& error) {
        SkipSpace();
        if (!ParseValue(value, 0)) {
            error = problem + " at byte " + std::to_string(position);
            return false;
        }
        SkipSpace();
        if (position != text.size()) {
            error = "text after the value at byte " + std::to_string(position);
            return false;
        }
        return true;
    }

private:
    bool Fail(const char* what) {
        problem = what;
        return false;
    }

    void SkipSpace() {
        while (position < text.size() && (text[position] == ' ' || text[position] == '\t' ||
                                          text[position] == '\n' || text[position] == '\r')) {
            ++position;
        }
    }

    bool Literal(const char* word) {
        const std::string expected(word);
        if (text.compare(position, expected.size(), expected) != 0) {
            return Fail("unknown literal");
        }
        position += expected.size();
        return true;
    }

    bool ParseValue(JsonValue& value, int depth) {
        if (depth > 64) {
            return Fail("nesting too deep");
        }
        if (position >= text.size()) {
            return Fail("unexpected end");
        }
        const char c = text[position];
        if (c == '{') {
            return ParseObject(value, depth);
        }
        if (c == '[') {
            return ParseArray(value, depth);
        }
        if (c == '"') {
            value.type = JsonValue::Type::String;
            return ParseString(value.text);
        }
        if (c == 't' || c == 'f') {
            value.type = JsonValue::Type::Bool;
            value.boolean = c == 't';
            return Literal(c == 't' ? "true" : "false");
        }
        if (c == 'n') {
            value.type = JsonValue::Type::Null;
            return Literal("null");
        }
        return ParseNumber(value);
    }

    bool ParseNumber(JsonValue& value) {
        const std::size_t start = position;
        auto digits = [this] {
            const std::size_t from = position;
            while (position < text.size() && text[position] >= '0' && text[position] <= '9') {
                ++position;
            }
            return position > from;
        };
        if (position < text.size() && text[position] == '-') {
            ++position;
        }
        if (position < text.size() && text[position] == '0') {
            ++position;
        } else if (!digits()) {
            return Fail("bad number");
        }
        if (position < text.size() && text[position] == '.') {
            ++position;
            if (!digits()) {
                return Fail("bad fraction");
            }
        }
        if (position < text.size() && (text[position] == 'e' || text[position] == 'E')) {
            ++position;
            if (position < text.size() && (text[position] == '+' || text[position] == '-')) {
                ++position;
            }
            if (!digits()) {
                return Fail("bad exponent");
            }
        }
        value.type = JsonValue::Type::Number;
        value.text = text.substr(start, position - start);
        return true;
    }

    static int HexDigit(char c) {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        return -1;
    }

    bool ParseString(std::string& out) {
        ++position; // opening quote
        out.clear();
        while (position < text.size()) {
            const unsigned char c = static_cast<unsigned char>(text[position++]);
            if (c == '"') {
                return true;
            }
            if (c < 0x20) {
                return Fail("control character in string");
            }
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (position >= text.size()) {
                break;
            }
            const char escape = text[position++];
            switch (escape) {
            case '"':
            case '\\':
            case '/':
                out += escape;
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                if (position + 4 > text.size()) {
                    return Fail("short \\u escape");
                }
                unsigned code = 0;
                for (int i = 0; i < 4; ++i) {
                    const int digit = HexDigit(text[position++]);
                    if (digit < 0) {
                        return Fail("bad \\u escape");
                    }
                    code = code * 16 + static_cast<unsigned>(digit);
                }
                if (code <= 0xFF) {
                    out += static_cast<char>(code);
                } else if (code <= 0x7FF) {
                    out += static_cast<char>(0xC0 | (code >> 6));
                    out += static_cast<char>(0x80 | (code & 0x3F));
                } else {
                    out += static_cast<char>(0xE0 | (code >> 12));
                    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                    out += static_cast<char>(0x80 | (code & 0x3F));
                }
                break;
            }
            default:
                return Fail("bad escape");
            }
        }
        return Fail("unterminated string");
    }

    bool ParseArray(JsonValue& value, int depth) {
        value.type = JsonValue::Type::Array;
        ++position;
        SkipSpace();
        if (position < text.size() && text[position] == ']') {
            ++position;
            return true;
        }
        while (true) {
            value.items.emplace_back();
            SkipSpace();
            if (!ParseValue(value.items.back(), depth + 1)) {
                return false;
            }
            SkipSpace();
            if (position < text.size() && text[position] == ',') {
                ++position;
                continue;
            }
            if (position < text.size() && text[position] == ']') {
                ++position;
                return true;
            }
            return Fail("expected ',' or ']'");
        }
    }

    bool ParseObject(JsonValue& value, int depth) {
        value.type = JsonValue::Type::Object;
        ++position;
        SkipSpace();
        if (position < text.size() && text[position] == '}') {
            ++position;
            return true;
        }
        while (true) {
            SkipSpace();
            if (position >= text.size() || text[position] != '"') {
                return Fail("expected a key");
            }
            std::string key;
            if (!ParseString(key)) {
                return false;
            }
            SkipSpace();
            if (position >= text.size() || text[position] != ':') {
                return Fail("expected ':'");
            }
            ++position;
            SkipSpace();
            value.members.emplace_back(key, JsonValue());
            if (!ParseValue(value.members.back().second, depth + 1)) {
                return false;
            }
            SkipSpace();
            if (position < text.size() && text[position] == ',') {
                ++position;
                continue;
            }
            if (position < text.size() && text[position] == '}') {
                ++position;
                return true;
            }
            return Fail("expected ',' or '}'");
        }
    }

    const std::string& text;
    std::size_t position = 0;
    std::string problem;
};

bool JsonValue::Parse(const std::string& text, JsonValue& value, std::string& error) {
    value = JsonValue();
    return JsonParser(text).ParseDocument(value, error);
}

float JsonValue::AsFloat() const {
    if (type != Type::Number) {
        throw std::logic_error("not a number: " + text);
    }
    return std::strtof(text.c_str(), nullptr);
}

long long JsonValue::AsInt() const {
    if (type != Type::Number) {
        throw std::logic_error("not a number: " + text);
    }
    return std::strtoll(text.c_str(), nullptr, 10);
}

const JsonValue& JsonValue::operator[](const std::string& key) const {
    for (const auto& member : members) {
        if (member.first == key) {
            return member.second;
        }
    }
    throw std::out_of_range("no member '" + key + "'");
}

bool JsonValue::Has(const std::string& key) const {
    for (const auto& member : members) {
        if (member.first == key) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> JsonValue::Keys() const {
    std::vector<std::string> keys;
    for (const auto& member : members) {
        keys.push_back(member.first);
    }
    return keys;
}

bool JsonValue::operator==(const JsonValue& other) const {
    if (type != other.type) {
        return false;
    }
    switch (type) {
    case Type::Null:
        return true;
    case Type::Bool:
        return boolean == other.boolean;
    case Type::Number:
        // The tool writes the shortest text of each float, so equal floats
        // have equal text (and 0 and -0 stay apart).
        return text == other.text;
    case Type::String:
        return text == other.text;
    case Type::Array:
        return items == other.items;
    case Type::Object:
        return members == other.members;
    }
    return false;
}

void JsonValue::Erase(const std::string& key) {
    for (auto it = members.begin(); it != members.end(); ++it) {
        if (it->first == key) {
            members.erase(it);
            return;
        }
    }
}
