// Little-endian primitives, text fields and offset patch sites.
#include "modelformat/binary_writer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace modelformat {

void BinaryWriter::writeUInt8(uint8_t value) { out_.write(&value, 1); }

void BinaryWriter::writeInt16(int value) {
    const auto bits = static_cast<uint32_t>(value);
    const uint8_t bytes[2] = {static_cast<uint8_t>(bits & 0xFFu), static_cast<uint8_t>((bits >> 8) & 0xFFu)};
    out_.write(bytes, sizeof bytes);
}

void BinaryWriter::writeInt32(int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    const uint8_t bytes[4] = {static_cast<uint8_t>(bits & 0xFFu), static_cast<uint8_t>((bits >> 8) & 0xFFu),
                              static_cast<uint8_t>((bits >> 16) & 0xFFu), static_cast<uint8_t>((bits >> 24) & 0xFFu)};
    out_.write(bytes, sizeof bytes);
}

void BinaryWriter::writeFloat32(float value) {
    static_assert(sizeof(float) == sizeof(uint32_t), "IEEE single precision expected");
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    writeInt32(static_cast<int32_t>(bits));
}

void BinaryWriter::writeBytes(const void* data, size_t size) { out_.write(data, size); }

void BinaryWriter::writeTextField(const std::string& text, size_t width) {
    std::vector<uint8_t> field(width, 0);
    // A text with an embedded zero ends there, as a C string would.
    const size_t length = std::min(std::strlen(text.c_str()), width);
    std::memcpy(field.data(), text.data(), length);
    out_.write(field.data(), field.size());
}

PatchSite BinaryWriter::reserveOffset(int32_t provisional, int64_t base) {
    PatchSite site;
    site.position = out_.position();
    site.base = base;
    site.index = static_cast<int>(patched_.size());
    patched_.push_back(false);
    writeInt32(provisional);
    return site;
}

void BinaryWriter::patch(const PatchSite& site, int32_t value) {
    const int64_t here = out_.position();
    if (here < 0 || site.position < 0 || !out_.seek(site.position)) {
        return;
    }
    writeInt32(value);
    out_.seek(here);
    if (site.index >= 0 && static_cast<size_t>(site.index) < patched_.size()) {
        patched_[static_cast<size_t>(site.index)] = true;
    }
}

void BinaryWriter::patchWithCurrentPosition(const PatchSite& site) {
    const int64_t offset = out_.position() - site.base;
    if (offset < 0 || offset > INT32_MAX) {
        overflowed_ = true;
        return;
    }
    patch(site, static_cast<int32_t>(offset));
}

bool BinaryWriter::allPatched() const {
    for (bool done : patched_) {
        if (!done) {
            return false;
        }
    }
    return true;
}

}  // namespace modelformat
