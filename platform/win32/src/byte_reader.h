// A bounds-checked little-endian cursor over untrusted bytes: the only way resource and ELF data
// is read. The first failed read sticks; later reads return zero and leave the cursor in place.
#ifndef WIN32_STANDIN_BYTE_READER_H
#define WIN32_STANDIN_BYTE_READER_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "win32_resources.h"

namespace win32::detail {

class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(data == nullptr ? 0 : size) {}
    explicit ByteReader(ByteView bytes) : ByteReader(bytes.data, bytes.size) {}

    size_t offset() const { return offset_; }
    size_t size() const { return size_; }
    size_t remaining() const { return size_ - offset_; }
    bool atEnd() const { return offset_ == size_; }
    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    size_t errorOffset() const { return errorOffset_; }

    // Records the first failure; returns false so that callers can `return reader.fail(...)`.
    bool fail(const std::string& message) {
        if (ok()) {
            error_ = message;
            errorOffset_ = offset_;
        }
        return false;
    }

    uint8_t readU8() {
        if (!require(1, "byte")) {
            return 0;
        }
        return data_[offset_++];
    }
    uint16_t readU16() {
        if (!require(2, "16-bit value")) {
            return 0;
        }
        const uint16_t value = static_cast<uint16_t>(data_[offset_] | (data_[offset_ + 1] << 8));
        offset_ += 2;
        return value;
    }
    int16_t readI16() { return static_cast<int16_t>(readU16()); }
    uint32_t readU32() {
        if (!require(4, "32-bit value")) {
            return 0;
        }
        uint32_t value = 0;
        for (size_t i = 0; i < 4; ++i) {
            value |= static_cast<uint32_t>(data_[offset_ + i]) << (8 * i);
        }
        offset_ += 4;
        return value;
    }
    uint64_t readU64() {
        if (!require(8, "64-bit value")) {
            return 0;
        }
        uint64_t value = 0;
        for (size_t i = 0; i < 8; ++i) {
            value |= static_cast<uint64_t>(data_[offset_ + i]) << (8 * i);
        }
        offset_ += 8;
        return value;
    }
    uint16_t peekU16() const {
        if (!ok() || remaining() < 2) {
            return 0;
        }
        return static_cast<uint16_t>(data_[offset_] | (data_[offset_ + 1] << 8));
    }

    ByteView readBytes(size_t count) {
        if (!require(count, "block of bytes")) {
            return {};
        }
        const ByteView view{data_ + offset_, count};
        offset_ += count;
        return view;
    }
    bool skip(size_t count) {
        if (!require(count, "skipped bytes")) {
            return false;
        }
        offset_ += count;
        return true;
    }
    bool seek(size_t offset) {
        if (!ok()) {
            return false;
        }
        if (offset > size_) {
            return fail("offset past the end of the data");
        }
        offset_ = offset;
        return true;
    }
    // Moves to the next multiple of `alignment` counted from the start of this reader. Running
    // out of bytes while aligning is not an error at the very end of the data.
    bool alignTo(size_t alignment) {
        const size_t padding = (alignment - offset_ % alignment) % alignment;
        if (padding > remaining()) {
            offset_ = size_;
            return ok();
        }
        offset_ += padding;
        return ok();
    }

    // A NUL-terminated UTF-16 string; the terminator must lie inside the data.
    std::u16string readUtf16z() {
        std::u16string text;
        while (ok()) {
            if (remaining() < 2) {
                fail("unterminated UTF-16 string");
                return {};
            }
            const char16_t unit = static_cast<char16_t>(readU16());
            if (unit == 0) {
                break;
            }
            text.push_back(unit);
        }
        return text;
    }

    // A reader over `count` bytes from `offset` of this one (not moving this one).
    ByteReader sub(size_t offset, size_t count) {
        if (!ok()) {
            return ByteReader(nullptr, 0);
        }
        if (offset > size_ || count > size_ - offset) {
            fail("range past the end of the data");
            return ByteReader(nullptr, 0);
        }
        return ByteReader(data_ + offset, count);
    }

private:
    bool require(size_t count, const char* what) {
        if (!ok()) {
            return false;
        }
        if (count > remaining()) {
            return fail(std::string("truncated ") + what);
        }
        return true;
    }

    const uint8_t* data_;
    size_t size_;
    size_t offset_ = 0;
    std::string error_;
    size_t errorOffset_ = 0;
};

}  // namespace win32::detail

#endif
