// Naming the images a scene file embeds, and telling their format from their bytes.
#include "embedded_images.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>

namespace host::scenefile {

namespace {

constexpr std::array<unsigned char, 8> kPngMagic = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::array<unsigned char, 3> kJpegMagic = {0xFF, 0xD8, 0xFF};
// A TGA file of version 2 ends with this footer, its terminating zero included.
constexpr char kTgaFooter[] = "TRUEVISION-XFILE.";
constexpr size_t kTgaFooterSize = sizeof kTgaFooter;
constexpr size_t kTgaHeaderSize = 18;
// Extensions taken off an image's own name before its format's is put on.
const char* const kImageExtensions[] = {"png", "jpg",  "jpeg", "tga",  "bmp", "gif", "dds", "webp",
                                        "ktx", "ktx2", "tif",  "tiff", "exr", "hdr", "psd"};

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

template <size_t N>
bool startsWith(const unsigned char* data, size_t size, const std::array<unsigned char, N>& magic) {
    return size >= N && std::equal(magic.begin(), magic.end(), data);
}

// A TGA header (no magic of its own) that describes a picture: a colour map flag, a known image
// type, a size and a pixel depth TGA allows.
bool tgaHeaderFits(const unsigned char* data, size_t size) {
    if (size < kTgaHeaderSize) {
        return false;
    }
    const unsigned colourMap = data[1];
    const unsigned type = data[2];
    const unsigned width = data[12] | data[13] << 8;
    const unsigned height = data[14] | data[15] << 8;
    const unsigned depth = data[16];
    const bool knownType = type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11;
    const bool knownDepth = depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
    return colourMap <= 1 && knownType && width > 0 && height > 0 && knownDepth;
}

bool tgaFooter(const unsigned char* data, size_t size) {
    return size >= kTgaHeaderSize + kTgaFooterSize &&
           std::memcmp(data + size - kTgaFooterSize, kTgaFooter, kTgaFooterSize) == 0;
}

// A hint that can stand as an extension: one to four letters and digits.
std::string plainHint(const char* hint) {
    std::string text;
    for (size_t i = 0; i < HINTMAXTEXTURELEN && hint[i] != '\0'; ++i) {
        if (!std::isalnum(static_cast<unsigned char>(hint[i])) || text.size() == 4) {
            return "";
        }
        text += static_cast<char>(std::tolower(static_cast<unsigned char>(hint[i])));
    }
    return text;
}

}  // namespace

std::string imageExtension(const unsigned char* data, size_t size, const char* formatHint) {
    if (startsWith(data, size, kPngMagic)) {
        return "png";
    }
    if (startsWith(data, size, kJpegMagic)) {
        return "jpg";
    }
    const std::string hint = plainHint(formatHint);
    if (tgaFooter(data, size) || (tgaHeaderFits(data, size) && (hint.empty() || hint == "tga"))) {
        return "tga";
    }
    return hint == "jpeg" ? "jpg" : hint;
}

std::string imageFileStem(const std::string& name) {
    const size_t slash = name.find_last_of("/\\");
    std::string stem = slash == std::string::npos ? name : name.substr(slash + 1);
    const size_t dot = stem.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        const std::string extension = lowerCase(stem.substr(dot + 1));
        for (const char* known : kImageExtensions) {
            if (extension == known) {
                stem.erase(dot);
                break;
            }
        }
    }
    for (char& c : stem) {
        const auto byte = static_cast<unsigned char>(c);
        if (!(std::isalnum(byte) && byte < 0x80) && c != '_' && c != '-' && c != '.') {
            c = '_';
        }
    }
    // A name of dots alone, or one that starts with a dot, would be hidden or mean a folder.
    if (!stem.empty() && stem[0] == '.') {
        stem[0] = '_';
    }
    return stem;
}

EmbeddedImageNames::EmbeddedImageNames(std::string folder) : folder_(std::move(folder)) {}

std::string EmbeddedImageNames::nameOf(unsigned index, const aiTexture& image,
                                       const std::vector<std::string>& candidates, std::string& problem) {
    const auto known = byIndex_.find(index);
    if (known != byIndex_.end()) {
        return known->second;
    }
    if (image.mHeight != 0 || image.pcData == nullptr) {
        problem = "is held as raw pixels, which are not written out";
        byIndex_[index] = "";
        return "";
    }
    std::string stem;
    for (const std::string& candidate : candidates) {
        stem = imageFileStem(candidate);
        if (!stem.empty()) {
            break;
        }
    }
    if (stem.empty()) {
        stem = "image_" + std::to_string(index);
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(image.pcData);
    const size_t size = image.mWidth;
    const std::string extension = imageExtension(bytes, size, image.achFormatHint);
    const std::string suffix = extension.empty() ? "" : "." + extension;
    if (extension.empty()) {
        problem = "is in a format its bytes do not tell; its file is named without an extension";
    }
    // Each name's search for a free suffix resumes where it stopped, so that many images of one
    // name cost no more than as many names.
    std::string fileName = stem + suffix;
    long long& next = nextSuffix_.try_emplace(lowerCase(fileName), 2).first->second;
    while (!takenLowerCase_.insert(lowerCase(fileName)).second) {
        fileName = stem + "_" + std::to_string(next++) + suffix;
    }
    EmbeddedImage named;
    named.fileName = fileName;
    named.bitmapName = folder_.empty() ? fileName : folder_ + "/" + fileName;
    named.bytes.assign(bytes, bytes + size);
    byIndex_[index] = named.bitmapName;
    images_.push_back(std::move(named));
    return images_.back().bitmapName;
}

}  // namespace host::scenefile
