// A block of little-endian values built in memory, for writers that emit a record array (a
// frame's vertices, a surface's triangles) with one write instead of one per field.
#ifndef MODELFORMAT_BYTE_BLOCK_H
#define MODELFORMAT_BYTE_BLOCK_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace modelformat {

class ByteBlock {
public:
    void clear() { bytes_.clear(); }
    void reserve(size_t size) { bytes_.reserve(size); }
    const uint8_t* data() const { return bytes_.data(); }
    size_t size() const { return bytes_.size(); }

    // Room for size more bytes at the end, to be filled by the caller.
    uint8_t* extend(size_t size) {
        const size_t at = bytes_.size();
        bytes_.resize(at + size);
        return bytes_.data() + at;
    }

    void addUInt8(uint8_t value) { bytes_.push_back(value); }
    // The low 16 bits of the value.
    void addInt16(int value) {
        const auto bits = static_cast<uint32_t>(value);
        bytes_.push_back(static_cast<uint8_t>(bits & 0xFFu));
        bytes_.push_back(static_cast<uint8_t>((bits >> 8) & 0xFFu));
    }
    void addInt32(int32_t value) {
        const auto bits = static_cast<uint32_t>(value);
        for (int shift = 0; shift < 32; shift += 8) {
            bytes_.push_back(static_cast<uint8_t>((bits >> shift) & 0xFFu));
        }
    }
    void addFloat32(float value) {
        static_assert(sizeof(float) == sizeof(uint32_t), "IEEE single precision expected");
        uint32_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        addInt32(static_cast<int32_t>(bits));
    }

private:
    std::vector<uint8_t> bytes_;
};

}  // namespace modelformat

#endif
