// The bounds-checked byte cursor every model reader reads through, its error codes, and FILE* loading.
#ifndef MODELFORMAT_BYTE_READER_H
#define MODELFORMAT_BYTE_READER_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace modelformat {

// Why a file was refused. Every reader reports one of these plus a message naming the field.
enum class ReadError {
    None,
    Truncated,            // the data ends before a field the header says is there
    BadMagic,             // the file or a surface does not start with the expected four bytes
    BadVersion,           // a version this reader does not know
    NegativeCount,        // a record count below zero
    BlockOutOfBounds,     // a block (offset + count x record size) runs past the file or its surface
    BlockOverlapsHeader,  // a non-empty block starts inside the header that describes it
    BadEndOffset,         // an end offset that cannot close the data it is supposed to close
    IndexOutOfRange,      // a triangle refers to a vertex or texture coordinate that does not exist
    BadFrameSize,         // an MD2 frame size outside what the format allows
    BadSkinSize,          // an MD2 skin width or height of zero or below
    MissingFrames,        // vertices without any frame to place them, or a surface with no frames
    FileTooLarge,         // larger than kMaxModelFileSize
    IoError,              // the file could not be read
    OutOfMemory,          // the machine could not hold a model the file's size allows
    BadFramesOffset,      // MD3 frame records that do not start right after the file header
};

// A short stable name for an error code ("truncated", "block-out-of-bounds", ...).
const char* readErrorName(ReadError error);

// Cursor over a span of untrusted bytes. Multi-byte values are assembled byte by byte in
// little-endian order, whatever the machine. A read past the end fails without moving the
// cursor, stores zero in its output, and leaves the reader failed() from then on, so a run of
// reads can be checked once at the end.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) noexcept;

    size_t size() const noexcept { return size_; }
    size_t position() const noexcept { return position_; }
    size_t remaining() const noexcept { return size_ - position_; }
    bool failed() const noexcept { return failed_; }

    bool readUInt8(uint8_t& value) noexcept;
    bool readInt16(int16_t& value) noexcept;
    bool readUInt16(uint16_t& value) noexcept;
    bool readInt32(int32_t& value) noexcept;
    bool readUInt32(uint32_t& value) noexcept;
    bool readFloat32(float& value) noexcept;
    // Copies count bytes into destination (which must hold count bytes).
    bool readBytes(uint8_t* destination, size_t count) noexcept;
    bool skip(size_t count) noexcept;
    // Moves to an absolute position; the end of the data (position == size()) is allowed.
    bool seek(size_t position) noexcept;

    // True when count records of recordSize bytes starting at offset lie inside the first `limit`
    // bytes of the data (limit is clamped to size()). Overflow-safe for any count.
    bool rangeFits(uint64_t offset, uint64_t count, uint64_t recordSize, uint64_t limit = UINT64_MAX) const noexcept;

private:
    bool take(size_t count) noexcept;

    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
    bool failed_ = false;
};

// count x recordSize, or false when the product does not fit in 64 bits.
bool checkedBlockSize(uint64_t count, uint64_t recordSize, uint64_t& bytes) noexcept;

// Text of a fixed-width name field: the bytes up to the first zero, at most maxLength of them.
std::string textUpToZero(const uint8_t* field, size_t fieldWidth, size_t maxLength);

// No model file this project handles comes near this; larger inputs are refused before reading.
constexpr size_t kMaxModelFileSize = size_t{256} * 1024 * 1024;

enum class FileReadStart {
    CurrentPosition,  // from where the stream stands (e.g. just after a magic already read)
    FileStart,        // rewind first
};

// An allocator that leaves the bytes a vector grows by unset, for buffers that a read fills at
// once: zeroing a file of megabytes before reading it costs about as much as the read itself.
template <typename T>
struct UnsetBytesAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UnsetBytesAllocator<U>;
    };
    UnsetBytesAllocator() = default;
    template <typename U>
    UnsetBytesAllocator(const UnsetBytesAllocator<U>& /*other*/) noexcept {}

    template <typename U>
    void construct(U* place) noexcept {
        ::new (static_cast<void*>(place)) U;
    }
    template <typename U, typename... Args>
    void construct(U* place, Args&&... args) {
        ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
    }
};

// The bytes of a whole file, as readFileBytes loads them for a reader.
using FileBytes = std::vector<uint8_t, UnsetBytesAllocator<uint8_t>>;

// Reads the rest of an open stream into bytes. Reads in chunks until end of file, so the memory
// taken is bounded by what the stream really holds, never by a size it claims; refuses (FileTooLarge)
// once more than limit bytes arrive. Leaves the stream positioned after the bytes read.
ReadError readFileBytes(std::FILE* file, FileReadStart start, FileBytes& bytes, size_t limit = kMaxModelFileSize);
ReadError readFileBytes(std::FILE* file, FileReadStart start, std::vector<uint8_t>& bytes,
                        size_t limit = kMaxModelFileSize);

}  // namespace modelformat

#endif
