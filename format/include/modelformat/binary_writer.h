// Little-endian primitives over an OutputStream, fixed-width text fields, and offset fields
// kept as patch sites: reserved with a provisional value, patched once the block they point to
// is known, and checked at the end so that no offset is left unpatched.
#ifndef MODELFORMAT_BINARY_WRITER_H
#define MODELFORMAT_BINARY_WRITER_H

#include <cstdint>
#include <string>
#include <vector>

#include "output_stream.h"

namespace modelformat {

struct PatchSite {
    int64_t position = -1;  // where the int32 field lies in the stream
    int64_t base = 0;       // the patched value is counted from this position
    int index = -1;         // the writer's record of the site
};

class BinaryWriter {
public:
    explicit BinaryWriter(OutputStream& out) : out_(out) {}

    // The low 16 bits of the value.
    void writeInt16(int value);
    void writeInt32(int32_t value);
    void writeFloat32(float value);
    void writeUInt8(uint8_t value);
    void writeBytes(const void* data, size_t size);
    // A fixed-width text field: the text's bytes while they last (at most width of them), then
    // its terminating zero when there is room, then zero filler up to the width.
    void writeTextField(const std::string& text, size_t width);

    // Reserves an int32 offset field holding the provisional value; its final value will be
    // counted from base (the start of the file or of a surface record).
    PatchSite reserveOffset(int32_t provisional, int64_t base = 0);
    // Writes the current position minus the site's base into the field, and returns to the
    // current position.
    void patchWithCurrentPosition(const PatchSite& site);
    // Writes a value into a reserved field, and returns to the current position.
    void patch(const PatchSite& site, int32_t value);
    // True when every reserved site has been patched.
    bool allPatched() const;

    int64_t position() { return out_.position(); }
    bool seek(int64_t position) { return out_.seek(position); }
    // True once a write, seek or patch failed, or an offset did not fit its 32-bit field.
    bool failed() const { return out_.failed() || overflowed_; }
    // Why: the stream's error, or TooLarge for an offset past its field.
    OutputError error() const {
        return out_.failed() ? out_.error() : (overflowed_ ? OutputError::TooLarge : OutputError::None);
    }

private:
    OutputStream& out_;
    std::vector<bool> patched_;
    bool overflowed_ = false;
};

}  // namespace modelformat

#endif
