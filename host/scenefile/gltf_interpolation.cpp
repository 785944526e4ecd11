// Reading the animation samplers' interpolation from a glTF document: a small bounded JSON
// reader and the GLB container's JSON chunk.
#include "gltf_interpolation.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

namespace host::scenefile {

namespace {

// GLB: a 12-byte header ("glTF", version, total length), then chunks of (length, type, bytes);
// the first chunk is the JSON document.
constexpr std::uint32_t kGlbMagic = 0x46546C67;      // "glTF"
constexpr std::uint32_t kGlbJsonChunk = 0x4E4F534A;  // "JSON"
constexpr size_t kGlbHeaderSize = 12;
constexpr size_t kGlbChunkHeaderSize = 8;
// Nesting deeper than any glTF document needs is refused rather than followed.
constexpr int kMaxJsonDepth = 64;

struct JsonValue {
    enum class Type { Null, Boolean, Number, String, Array, Object };
    Type type = Type::Null;
    double number = 0.0;
    std::string text;
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members;

    const JsonValue* member(const char* name) const {
        for (const auto& entry : members) {
            if (entry.first == name) {
                return &entry.second;
            }
        }
        return nullptr;
    }
};

class JsonReader {
public:
    explicit JsonReader(const std::string& text) : text_(text) {}

    bool readDocument(JsonValue& out) {
        if (!readValue(out, 0)) {
            return false;
        }
        skipSpace();
        return pos_ == text_.size();
    }

private:
    void skipSpace() {
        while (pos_ < text_.size() &&
               (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n' || text_[pos_] == '\r')) {
            ++pos_;
        }
    }

    bool consume(char expected) {
        skipSpace();
        if (pos_ < text_.size() && text_[pos_] == expected) {
            ++pos_;
            return true;
        }
        return false;
    }

    bool literal(const char* word) {
        const std::string expected(word);
        if (text_.compare(pos_, expected.size(), expected) != 0) {
            return false;
        }
        pos_ += expected.size();
        return true;
    }

    bool readValue(JsonValue& out, int depth) {
        if (depth > kMaxJsonDepth) {
            return false;
        }
        skipSpace();
        if (pos_ >= text_.size()) {
            return false;
        }
        const char c = text_[pos_];
        if (c == '{') {
            return readObject(out, depth);
        }
        if (c == '[') {
            return readArray(out, depth);
        }
        if (c == '"') {
            out.type = JsonValue::Type::String;
            return readString(out.text);
        }
        if (c == 't' || c == 'f') {
            out.type = JsonValue::Type::Boolean;
            out.number = c == 't' ? 1.0 : 0.0;
            return literal(c == 't' ? "true" : "false");
        }
        if (c == 'n') {
            out.type = JsonValue::Type::Null;
            return literal("null");
        }
        return readNumber(out);
    }

    bool readObject(JsonValue& out, int depth) {
        out.type = JsonValue::Type::Object;
        ++pos_;
        if (consume('}')) {
            return true;
        }
        do {
            skipSpace();
            std::string name;
            if (pos_ >= text_.size() || text_[pos_] != '"' || !readString(name) || !consume(':')) {
                return false;
            }
            JsonValue value;
            if (!readValue(value, depth + 1)) {
                return false;
            }
            out.members.emplace_back(std::move(name), std::move(value));
        } while (consume(','));
        return consume('}');
    }

    bool readArray(JsonValue& out, int depth) {
        out.type = JsonValue::Type::Array;
        ++pos_;
        if (consume(']')) {
            return true;
        }
        do {
            JsonValue value;
            if (!readValue(value, depth + 1)) {
                return false;
            }
            out.items.push_back(std::move(value));
        } while (consume(','));
        return consume(']');
    }

    bool readHex4(std::uint32_t& value) {
        if (text_.size() - pos_ < 4) {
            return false;
        }
        value = 0;
        for (int i = 0; i < 4; ++i) {
            const char h = text_[pos_++];
            value <<= 4;
            if (h >= '0' && h <= '9') {
                value |= static_cast<std::uint32_t>(h - '0');
            } else if (h >= 'a' && h <= 'f') {
                value |= static_cast<std::uint32_t>(h - 'a' + 10);
            } else if (h >= 'A' && h <= 'F') {
                value |= static_cast<std::uint32_t>(h - 'A' + 10);
            } else {
                return false;
            }
        }
        return true;
    }

    static void appendUtf8(std::string& out, std::uint32_t code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    bool readString(std::string& out) {
        ++pos_;  // the opening quote
        while (pos_ < text_.size()) {
            const char c = text_[pos_++];
            if (c == '"') {
                return true;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= text_.size()) {
                return false;
            }
            const char escape = text_[pos_++];
            switch (escape) {
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case '/':
                out += '/';
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
                std::uint32_t code = 0;
                if (!readHex4(code)) {
                    return false;
                }
                // A high surrogate followed by a low one is one code point beyond the first plane.
                if (code >= 0xD800 && code < 0xDC00 && text_.compare(pos_, 2, "\\u") == 0) {
                    pos_ += 2;
                    std::uint32_t low = 0;
                    if (!readHex4(low) || low < 0xDC00 || low >= 0xE000) {
                        return false;
                    }
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                }
                appendUtf8(out, code);
                break;
            }
            default:
                return false;
            }
        }
        return false;
    }

    bool readNumber(JsonValue& out) {
        const size_t start = pos_;
        while (pos_ < text_.size() && std::string("+-0123456789.eE").find(text_[pos_]) != std::string::npos) {
            ++pos_;
        }
        if (pos_ == start) {
            return false;
        }
        const std::string digits = text_.substr(start, pos_ - start);
        char* end = nullptr;
        out.type = JsonValue::Type::Number;
        out.number = std::strtod(digits.c_str(), &end);
        return end == digits.c_str() + digits.size();
    }

    const std::string& text_;
    size_t pos_ = 0;
};

std::uint32_t readUint32(const std::string& bytes, size_t offset) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset + 3])) << 24;
}

bool glbJson(const std::string& bytes, std::string& json) {
    if (bytes.size() < kGlbHeaderSize + kGlbChunkHeaderSize || readUint32(bytes, 0) != kGlbMagic) {
        return false;
    }
    const std::uint32_t chunkLength = readUint32(bytes, kGlbHeaderSize);
    const std::uint32_t chunkType = readUint32(bytes, kGlbHeaderSize + 4);
    const size_t available = bytes.size() - kGlbHeaderSize - kGlbChunkHeaderSize;
    if (chunkType != kGlbJsonChunk || chunkLength > available) {
        return false;
    }
    json = bytes.substr(kGlbHeaderSize + kGlbChunkHeaderSize, chunkLength);
    return true;
}

bool endsWith(const std::string& text, const std::string& ending) {
    if (text.size() < ending.size()) {
        return false;
    }
    return std::equal(ending.rbegin(), ending.rend(), text.rbegin(),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

bool wholeIndex(const JsonValue* value, size_t limit, size_t& index) {
    if (value == nullptr || value->type != JsonValue::Type::Number || value->number < 0.0 ||
        value->number != static_cast<double>(static_cast<size_t>(value->number)) ||
        static_cast<size_t>(value->number) >= limit) {
        return false;
    }
    index = static_cast<size_t>(value->number);
    return true;
}

}  // namespace

bool readGltfInterpolationsFromJson(const std::string& json, int animationIndex, GltfInterpolations& out) {
    JsonValue document;
    JsonReader reader(json);
    if (!reader.readDocument(document) || document.type != JsonValue::Type::Object || animationIndex < 0) {
        return false;
    }
    const JsonValue* animations = document.member("animations");
    const JsonValue* nodes = document.member("nodes");
    if (animations == nullptr || animations->type != JsonValue::Type::Array || nodes == nullptr ||
        nodes->type != JsonValue::Type::Array || static_cast<size_t>(animationIndex) >= animations->items.size()) {
        return false;
    }
    const JsonValue& animation = animations->items[static_cast<size_t>(animationIndex)];
    const JsonValue* samplers = animation.member("samplers");
    const JsonValue* channels = animation.member("channels");
    if (samplers == nullptr || channels == nullptr || samplers->type != JsonValue::Type::Array ||
        channels->type != JsonValue::Type::Array) {
        return false;
    }
    GltfInterpolations result;
    for (const JsonValue& channel : channels->items) {
        const JsonValue* target = channel.member("target");
        size_t samplerIndex = 0;
        size_t nodeIndex = 0;
        if (target == nullptr || !wholeIndex(channel.member("sampler"), samplers->items.size(), samplerIndex) ||
            !wholeIndex(target->member("node"), nodes->items.size(), nodeIndex)) {
            continue;
        }
        const JsonValue* pathValue = target->member("path");
        if (pathValue == nullptr || pathValue->type != JsonValue::Type::String) {
            continue;
        }
        GltfPath path;
        if (pathValue->text == "translation") {
            path = GltfPath::Translation;
        } else if (pathValue->text == "rotation") {
            path = GltfPath::Rotation;
        } else if (pathValue->text == "scale") {
            path = GltfPath::Scale;
        } else if (pathValue->text == "weights") {
            path = GltfPath::Weights;
        } else {
            continue;
        }
        // The interpolation defaults to LINEAR when a sampler does not name one.
        const JsonValue* interpolation = samplers->items[samplerIndex].member("interpolation");
        const std::string kind =
            interpolation != nullptr && interpolation->type == JsonValue::Type::String ? interpolation->text : "LINEAR";
        if (kind == "CUBICSPLINE") {
            result.cubicSpline = true;
        }
        const JsonValue* name = nodes->items[nodeIndex].member("name");
        const std::string nodeName = name != nullptr && name->type == JsonValue::Type::String && !name->text.empty()
                                         ? name->text
                                         : "nodes[" + std::to_string(nodeIndex) + "]";
        result.byTarget[{nodeName, path}] = kind == "STEP" ? KeyInterpolation::Step : KeyInterpolation::Linear;
    }
    out = std::move(result);
    return true;
}

bool readGltfInterpolations(const std::string& path, int animationIndex, GltfInterpolations& out) {
    const bool binary = endsWith(path, ".glb");
    if (!binary && !endsWith(path, ".gltf")) {
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (!binary) {
        return readGltfInterpolationsFromJson(bytes, animationIndex, out);
    }
    std::string json;
    return glbJson(bytes, json) && readGltfInterpolationsFromJson(json, animationIndex, out);
}

}  // namespace host::scenefile
