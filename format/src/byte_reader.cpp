// The bounds-checked byte cursor, error names and whole-stream loading used by the model readers.
#include "modelformat/byte_reader.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace modelformat {

const char* readErrorName(ReadError error) {
    switch (error) {
    case ReadError::None:
        return "none";
    case ReadError::Truncated:
        return "truncated";
    case ReadError::BadMagic:
        return "bad-magic";
    case ReadError::BadVersion:
        return "bad-version";
    case ReadError::NegativeCount:
        return "negative-count";
    case ReadError::BlockOutOfBounds:
        return "block-out-of-bounds";
    case ReadError::BlockOverlapsHeader:
        return "block-overlaps-header";
    case ReadError::BadEndOffset:
        return "bad-end-offset";
    case ReadError::IndexOutOfRange:
        return "index-out-of-range";
    case ReadError::BadFrameSize:
        return "bad-frame-size";
    case ReadError::BadSkinSize:
        return "bad-skin-size";
    case ReadError::MissingFrames:
        return "missing-frames";
    case ReadError::FileTooLarge:
        return "file-too-large";
    case ReadError::IoError:
        return "io-error";
    case ReadError::OutOfMemory:
        return "out-of-memory";
    case ReadError::BadFramesOffset:
        return "bad-frames-offset";
    }
    return "unknown";
}

ByteReader::ByteReader(const uint8_t* data, size_t size) noexcept : data_(data), size_(data == nullptr ? 0 : size) {}

bool ByteReader::take(size_t count) noexcept {
    if (count > size_ - position_) {
        failed_ = true;
        return false;
    }
    return true;
}

bool ByteReader::readUInt8(uint8_t& value) noexcept {
    value = 0;
    if (!take(1)) {
        return false;
    }
    value = data_[position_];
    position_ += 1;
    return true;
}

bool ByteReader::readUInt16(uint16_t& value) noexcept {
    value = 0;
    if (!take(2)) {
        return false;
    }
    value = static_cast<uint16_t>(data_[position_] | (data_[position_ + 1] << 8));
    position_ += 2;
    return true;
}

bool ByteReader::readInt16(int16_t& value) noexcept {
    uint16_t bits = 0;
    const bool ok = readUInt16(bits);
    // Two's complement reinterpretation, done arithmetically so it is defined on every compiler.
    value = static_cast<int16_t>(bits >= 0x8000u ? static_cast<int32_t>(bits) - 0x10000 : bits);
    return ok;
}

bool ByteReader::readUInt32(uint32_t& value) noexcept {
    value = 0;
    if (!take(4)) {
        return false;
    }
    value = static_cast<uint32_t>(data_[position_]) | (static_cast<uint32_t>(data_[position_ + 1]) << 8) |
            (static_cast<uint32_t>(data_[position_ + 2]) << 16) | (static_cast<uint32_t>(data_[position_ + 3]) << 24);
    position_ += 4;
    return true;
}

bool ByteReader::readInt32(int32_t& value) noexcept {
    uint32_t bits = 0;
    const bool ok = readUInt32(bits);
    value = bits >= 0x80000000u ? static_cast<int32_t>(static_cast<int64_t>(bits) - 0x100000000LL)
                                : static_cast<int32_t>(bits);
    return ok;
}

bool ByteReader::readFloat32(float& value) noexcept {
    uint32_t bits = 0;
    const bool ok = readUInt32(bits);
    static_assert(sizeof(float) == sizeof(uint32_t), "float32 must be 4 bytes");
    // A bit copy of an already assembled integer, not of file bytes.
    std::memcpy(&value, &bits, sizeof value);
    return ok;
}

bool ByteReader::readBytes(uint8_t* destination, size_t count) noexcept {
    if (destination == nullptr && count > 0) {
        failed_ = true;
        return false;
    }
    if (!take(count)) {
        if (count > 0) {
            std::memset(destination, 0, count);
        }
        return false;
    }
    if (count > 0) {
        std::memcpy(destination, data_ + position_, count);
    }
    position_ += count;
    return true;
}

bool ByteReader::skip(size_t count) noexcept {
    if (!take(count)) {
        return false;
    }
    position_ += count;
    return true;
}

bool ByteReader::seek(size_t position) noexcept {
    if (position > size_) {
        failed_ = true;
        return false;
    }
    position_ = position;
    return true;
}

bool checkedBlockSize(uint64_t count, uint64_t recordSize, uint64_t& bytes) noexcept {
    if (recordSize != 0 && count > UINT64_MAX / recordSize) {
        return false;
    }
    bytes = count * recordSize;
    return true;
}

bool ByteReader::rangeFits(uint64_t offset, uint64_t count, uint64_t recordSize, uint64_t limit) const noexcept {
    const uint64_t end = std::min<uint64_t>(limit, size_);
    uint64_t bytes = 0;
    if (!checkedBlockSize(count, recordSize, bytes)) {
        return false;
    }
    return offset <= end && bytes <= end - offset;
}

std::string textUpToZero(const uint8_t* field, size_t fieldWidth, size_t maxLength) {
    const size_t width = std::min(fieldWidth, maxLength);
    size_t length = 0;
    while (length < width && field[length] != 0) {
        ++length;
    }
    return std::string(reinterpret_cast<const char*>(field), length);
}

namespace {

template <typename Bytes>
ReadError readStream(std::FILE* file, FileReadStart start, Bytes& bytes, size_t limit) {
    bytes.clear();
    if (file == nullptr) {
        return ReadError::IoError;
    }
    if (start == FileReadStart::FileStart && std::fseek(file, 0, SEEK_SET) != 0) {
        return ReadError::IoError;
    }

    // When the stream can tell how much is left, make room for that much (never more than the
    // limit) and one byte more, so that the read that finds the end needs no new room.
    const long here = std::ftell(file);
    if (here >= 0 && std::fseek(file, 0, SEEK_END) == 0) {
        const long end = std::ftell(file);
        if (std::fseek(file, here, SEEK_SET) != 0) {
            return ReadError::IoError;
        }
        if (end > here) {
            bytes.reserve(std::min(static_cast<size_t>(end - here), limit) + 1);
        }
    }

    // Read straight into the vector: what was reserved at once, then a chunk at a time, so that
    // the allocation keeps in step with the bytes that really arrive and a stream that lies about
    // its length (or has none, like a pipe) cannot inflate it.
    constexpr size_t kChunk = size_t{256} * 1024;
    for (;;) {
        const size_t filled = bytes.size();
        const size_t room = bytes.capacity() > filled ? bytes.capacity() - filled : kChunk;
        // One byte past the limit is enough to know the stream is too long.
        const size_t want = std::min(room, limit + 1 - filled);
        bytes.resize(filled + want);
        const size_t got = std::fread(bytes.data() + filled, 1, want, file);
        bytes.resize(filled + got);
        if (bytes.size() > limit) {
            bytes.clear();
            return ReadError::FileTooLarge;
        }
        if (got < want) {
            break;
        }
    }
    if (std::ferror(file)) {
        bytes.clear();
        return ReadError::IoError;
    }
    return ReadError::None;
}

template <typename Bytes>
ReadError readWholeStream(std::FILE* file, FileReadStart start, Bytes& bytes, size_t limit) {
    try {
        return readStream(file, start, bytes, limit);
    } catch (const std::bad_alloc&) {
        bytes = Bytes();
        return ReadError::OutOfMemory;
    }
}

}  // namespace

ReadError readFileBytes(std::FILE* file, FileReadStart start, FileBytes& bytes, size_t limit) {
    return readWholeStream(file, start, bytes, limit);
}

ReadError readFileBytes(std::FILE* file, FileReadStart start, std::vector<uint8_t>& bytes, size_t limit) {
    return readWholeStream(file, start, bytes, limit);
}

}  // namespace modelformat
