// Reading the animation samplers' interpolation from a glTF document, parsed once with
// nlohmann's JSON parser, and finding the GLB container's JSON chunk.
#include "gltf_interpolation.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <string_view>

#include <nlohmann/json.hpp>

namespace host::scenefile {

namespace {

using Json = nlohmann::json;

// GLB: a 12-byte header ("glTF", version, total length), then chunks of (length, type, bytes);
// the first chunk is the JSON document.
constexpr std::uint32_t kGlbMagic = 0x46546C67;      // "glTF"
constexpr std::uint32_t kGlbJsonChunk = 0x4E4F534A;  // "JSON"
constexpr size_t kGlbHeaderSize = 12;
constexpr size_t kGlbChunkHeaderSize = 8;
constexpr size_t kGlbPrefixSize = kGlbHeaderSize + kGlbChunkHeaderSize;

// What of a document is kept while it is parsed: the nodes' names, of the animations the
// samplers' interpolation and the channels' sampler and target, and whether each skin states its
// inverse bind matrices. Everything else (meshes, buffers, extras of any size or depth) is dropped
// as it is read, so that memory stays small whatever the file holds. Depths count as the parser
// counts them: the document's members are at 1, a node's, skin's or animation's at 3, a sampler's
// or a channel's at 5, a target's at 6.
class KeptParts {
public:
    bool operator()(int depth, Json::parse_event_t event, Json& parsed) {
        switch (event) {
        case Json::parse_event_t::key:
            return keepMember(depth, parsed.get_ref<const std::string&>());
        case Json::parse_event_t::object_start:
            // The document, a node or an animation, a sampler or a channel, a channel's target.
            return depth == 0 || depth == 2 || (animations() && depth == 4) ||
                   (animations() && depth == 5 && member5_ == "target");
        case Json::parse_event_t::array_start:
            // The list of nodes or animations, an animation's samplers or channels.
            return depth == 1 || (animations() && depth == 3);
        default:
            return true;
        }
    }

private:
    bool animations() const { return section_ == "animations"; }

    bool keepMember(int depth, const std::string& name) {
        if (depth == 1) {
            section_ = name;
            return name == "nodes" || name == "animations" || name == "skins";
        }
        if (depth == 3) {
            member3_ = name;
            if (section_ == "skins") {
                return name == "inverseBindMatrices";
            }
            return animations() ? name == "samplers" || name == "channels" : name == "name";
        }
        if (depth == 5 && animations()) {
            member5_ = name;
            return member3_ == "samplers" ? name == "interpolation" : name == "sampler" || name == "target";
        }
        return depth == 6 && animations() && member5_ == "target" && (name == "node" || name == "path");
    }

    std::string section_;
    std::string member3_;
    std::string member5_;
};

std::uint32_t readUint32(const char* bytes) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = value << 8 | static_cast<unsigned char>(bytes[i]);
    }
    return value;
}

// The length of a GLB's JSON chunk from the container's first bytes (at least kGlbPrefixSize),
// when the file of fileSize bytes holds all of it.
bool glbJsonLength(const char* prefix, std::uint64_t fileSize, size_t& length) {
    if (fileSize < kGlbPrefixSize || readUint32(prefix) != kGlbMagic ||
        readUint32(prefix + kGlbHeaderSize + 4) != kGlbJsonChunk) {
        return false;
    }
    const std::uint32_t chunkLength = readUint32(prefix + kGlbHeaderSize);
    if (chunkLength > fileSize - kGlbPrefixSize) {
        return false;
    }
    length = chunkLength;
    return true;
}

bool isGlb(std::string_view bytes) { return bytes.size() >= 4 && readUint32(bytes.data()) == kGlbMagic; }

bool endsWith(const std::string& text, const std::string& ending) {
    if (text.size() < ending.size()) {
        return false;
    }
    return std::equal(ending.rbegin(), ending.rend(), text.rbegin(),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

// An index into a list of count entries: a whole number, not negative, below count.
bool indexInto(const Json* value, size_t count, size_t& index) {
    if (value == nullptr || !value->is_number_unsigned()) {
        return false;
    }
    const auto number = value->get<std::uint64_t>();
    if (number >= count) {
        return false;
    }
    index = static_cast<size_t>(number);
    return true;
}

const Json* member(const Json& object, const char* name) {
    if (!object.is_object()) {
        return nullptr;
    }
    const auto found = object.find(name);
    return found != object.end() ? &*found : nullptr;
}

bool pathOf(const Json* value, GltfPath& path) {
    if (value == nullptr || !value->is_string()) {
        return false;
    }
    const std::string& text = value->get_ref<const std::string&>();
    if (text == "translation") {
        path = GltfPath::Translation;
    } else if (text == "rotation") {
        path = GltfPath::Rotation;
    } else if (text == "scale") {
        path = GltfPath::Scale;
    } else if (text == "weights") {
        path = GltfPath::Weights;
    } else {
        return false;
    }
    return true;
}

GltfInterpolations readAnimation(const Json& animation, const Json& nodes) {
    GltfInterpolations result;
    const Json* samplers = member(animation, "samplers");
    const Json* channels = member(animation, "channels");
    if (samplers == nullptr || channels == nullptr || !samplers->is_array() || !channels->is_array()) {
        return result;
    }
    for (const Json& channel : *channels) {
        const Json* target = member(channel, "target");
        size_t samplerIndex = 0;
        size_t nodeIndex = 0;
        GltfPath path = GltfPath::Translation;
        if (target == nullptr || !indexInto(member(channel, "sampler"), samplers->size(), samplerIndex) ||
            !indexInto(member(*target, "node"), nodes.size(), nodeIndex) || !pathOf(member(*target, "path"), path)) {
            continue;
        }
        // The interpolation defaults to LINEAR when a sampler does not name one.
        const Json* interpolation = member((*samplers)[samplerIndex], "interpolation");
        const std::string kind = interpolation != nullptr && interpolation->is_string()
                                     ? interpolation->get_ref<const std::string&>()
                                     : "LINEAR";
        if (kind == "CUBICSPLINE") {
            result.cubicSpline = true;
        }
        const Json* name = member(nodes[nodeIndex], "name");
        const bool named = name != nullptr && name->is_string() && !name->get_ref<const std::string&>().empty();
        const std::string nodeName =
            named ? name->get_ref<const std::string&>() : "nodes[" + std::to_string(nodeIndex) + "]";
        result.byTarget[{nodeName, path}] = kind == "STEP" ? KeyInterpolation::Step : KeyInterpolation::Linear;
    }
    return result;
}

bool readJson(std::string_view json, GltfDocumentSummary& out) {
    const Json document = Json::parse(json.begin(), json.end(), KeptParts(), /*allow_exceptions=*/false);
    if (document.is_discarded() || !document.is_object()) {
        return false;
    }
    // A section that is missing or not a list holds nothing (assimp decides whether the file is
    // usable at all).
    static const Json kNone = Json::array();
    const Json* animations = member(document, "animations");
    const Json* nodes = member(document, "nodes");
    animations = animations != nullptr && animations->is_array() ? animations : &kNone;
    nodes = nodes != nullptr && nodes->is_array() ? nodes : &kNone;
    GltfDocumentSummary result;
    result.animations.reserve(animations->size());
    for (const Json& animation : *animations) {
        result.animations.push_back(readAnimation(animation, *nodes));
    }
    const Json* skins = member(document, "skins");
    for (size_t s = 0; skins != nullptr && skins->is_array() && s < skins->size(); ++s) {
        if (member((*skins)[s], "inverseBindMatrices") == nullptr) {
            result.firstSkinWithoutInverseBinds = static_cast<long long>(s);
            break;
        }
    }
    out = std::move(result);
    return true;
}

}  // namespace

bool readGltfSummaryFromDocument(const std::string& bytes, GltfDocumentSummary& out) {
    if (!isGlb(bytes)) {
        return readJson(bytes, out);
    }
    size_t length = 0;
    if (bytes.size() < kGlbPrefixSize || !glbJsonLength(bytes.data(), bytes.size(), length)) {
        return false;
    }
    return readJson(std::string_view(bytes).substr(kGlbPrefixSize, length), out);
}

bool readGltfSummary(const std::string& path, GltfDocumentSummary& out) {
    const bool binary = endsWith(path, ".glb");
    if (!binary && !endsWith(path, ".gltf")) {
        return false;
    }
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) {
        return false;
    }
    const std::streamoff size = file.tellg();
    if (size < 0) {
        return false;
    }
    const auto fileSize = static_cast<std::uint64_t>(size);
    file.seekg(0);
    // Of a GLB only the JSON chunk is read, not the binary chunk after it.
    size_t length = static_cast<size_t>(fileSize);
    std::string bytes;
    if (binary) {
        char prefix[kGlbPrefixSize] = {};
        if (!file.read(prefix, sizeof prefix) || !glbJsonLength(prefix, fileSize, length)) {
            return false;
        }
    }
    bytes.resize(length);
    if (!file.read(bytes.data(), static_cast<std::streamsize>(length))) {
        return false;
    }
    return binary ? readJson(bytes, out) : readGltfSummaryFromDocument(bytes, out);
}

}  // namespace host::scenefile
