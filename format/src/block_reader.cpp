// Refusal bookkeeping, header counts and block bounds shared by the MD3 and MD2 readers.
#include "modelformat/block_reader.h"

#include <utility>

namespace modelformat {

bool BlockReader::fail(ReadError error, size_t at, std::string message) {
    if (!refused()) {
        status_.error = error;
        status_.offset = at;
        status_.message = std::move(message);
    }
    return false;
}

bool BlockReader::refuseNegativeCounts(std::initializer_list<CountField> counts, const std::string& owner) {
    for (const CountField& count : counts) {
        if (count.value < 0) {
            return fail(ReadError::NegativeCount, count.at, owner + count.name + " is " + std::to_string(count.value));
        }
    }
    return true;
}

bool BlockReader::checkBlock(const BlockField& block, const std::string& owner) {
    const uint64_t offset = offsetValue(block.offset);
    if (block.count > 0 && offset < block.headerSize) {
        return fail(ReadError::BlockOverlapsHeader, block.offsetAt,
                    owner + block.name + " at offset " + std::to_string(block.offset) + " starts inside the header");
    }
    if (!rangeFits(block.base + offset, block.count, block.recordSize, block.limit)) {
        return fail(ReadError::BlockOutOfBounds, block.offsetAt,
                    owner + block.name + " (" + std::to_string(block.count) + " x " + std::to_string(block.recordSize) +
                        " bytes at offset " + std::to_string(offset) + ") runs past the end");
    }
    return true;
}

void BlockReader::reportTo(ReadStatus& status) {
    status.ok = false;
    status.error = status_.error;
    status.offset = status_.offset;
    status.message = std::move(status_.message);
}

}  // namespace modelformat
