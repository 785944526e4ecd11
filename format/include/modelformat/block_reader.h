// What every model reader does around its byte cursor: refusals that name the byte where reading
// failed, header counts that may not be negative, blocks checked against the data before anything
// is allocated for them, and allocation failure turned into a refusal.
#ifndef MODELFORMAT_BLOCK_READER_H
#define MODELFORMAT_BLOCK_READER_H

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <new>
#include <string>

#include "modelformat/byte_reader.h"

namespace modelformat {

// The outcome of reading a file. A refusal names the byte of the file where reading failed: the
// field holding the refused value, the first byte of a record that could not be read, or the end
// of the data when the file is cut short.
struct ReadStatus {
    bool ok = false;
    ReadError error = ReadError::None;
    size_t offset = 0;    // meaningful when !ok
    std::string message;  // names the field or block at fault; empty when ok
};

// File offsets are stored as int32 but mean unsigned byte positions: a negative one reads as a
// position beyond 2 GiB, which no file a reader accepts reaches, so it is refused as out of bounds.
inline uint64_t offsetValue(int32_t stored) { return static_cast<uint32_t>(stored); }

// A header field that counts records, and where it lies in the file.
struct CountField {
    const char* name;
    int32_t value;
    size_t at;
};

// A run of records that a header describes.
struct BlockField {
    const char* name;             // "triangles", "texture coordinates", ...
    int32_t offset;               // as stored
    size_t offsetAt;              // where the offset field lies in the file
    uint64_t count;               // records
    uint64_t recordSize;          // bytes per record
    uint64_t base = 0;            // the offset counts from here: 0, or the first byte of an MD3 surface
    uint64_t headerSize = 0;      // the header that holds the offset, starting at base
    uint64_t limit = UINT64_MAX;  // the block must end by this byte (an MD3 surface's end)
};

// A ByteReader that keeps the first refusal of a read.
class BlockReader : public ByteReader {
public:
    using ByteReader::ByteReader;

    // Notes a refusal and answers false, so that a check can end with `return fail(...)`. The
    // first refusal stands; later ones (there should be none) do not overwrite it.
    bool fail(ReadError error, size_t at, std::string message);
    // A read that ran past the end of the data: refused at the position the read started from.
    bool failCutShort(std::string message) { return fail(ReadError::Truncated, position(), std::move(message)); }

    // Refuses the first count below zero. `owner` is put before the field's name ("surface 2 ").
    bool refuseNegativeCounts(std::initializer_list<CountField> counts, const std::string& owner = std::string());

    // One rule for every block a header describes: it lies inside the data and before `limit`,
    // and when it holds any records it does not start inside the header that describes it (no
    // writer shares bytes between a header and its records; refusing it keeps hostile files from
    // aliasing header fields). Overflow-safe for any count.
    bool checkBlock(const BlockField& block, const std::string& owner = std::string());

    bool refused() const { return status_.error != ReadError::None; }
    // The refusal, moved into a result; status.ok is false.
    void reportTo(ReadStatus& status);

private:
    ReadStatus status_;
};

// Runs a read that may allocate, turning the machine's refusal of memory into an ordinary
// refusal at the byte where reading stood. Every allocation a reader makes is bounded by a small
// multiple of the data's size, but the machine may still say no; that must not be thrown across
// the plug-in boundary or a fuzzer's harness.
template <typename Result, typename Read>
Result refuseWhenMemoryRunsOut(const ByteReader& in, Read&& read) {
    try {
        return read();
    } catch (const std::bad_alloc&) {
        Result result;
        result.ok = false;
        result.error = ReadError::OutOfMemory;
        result.offset = in.position();
        result.message = "not enough memory for the model";
        return result;
    }
}

}  // namespace modelformat

#endif
