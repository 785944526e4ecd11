// Files an assimp exporter writes, written into a set of files put in place together.
#include "file_set_io.h"

#include <cstring>
#include <limits>

#include <assimp/IOStream.hpp>

namespace host::scenefile {

namespace {

// An assimp stream over one file of the set. assimp's writers seek around to patch lengths, so
// the position and the size reached are kept here.
class SetFileStream : public Assimp::IOStream {
public:
    explicit SetFileStream(modelformat::OutputStream& out) : out_(out) {}

    size_t Read(void* /*buffer*/, size_t /*size*/, size_t /*count*/) override { return 0; }

    size_t Write(const void* buffer, size_t size, size_t count) override {
        if (size == 0 || count == 0) {
            return 0;
        }
        if (count > std::numeric_limits<size_t>::max() / size || !out_.write(buffer, size * count)) {
            return 0;  // the stream stays failed, and the set with it
        }
        position_ += size * count;
        size_ = position_ > size_ ? position_ : size_;
        return count;
    }

    aiReturn Seek(size_t offset, aiOrigin origin) override {
        size_t to = offset;
        if (origin == aiOrigin_CUR) {
            to = position_ + offset;
        } else if (origin == aiOrigin_END) {
            to = size_ + offset;
        }
        // Past the end is allowed, as with a file: the GLB writer leaves room for its header so.
        if (to > static_cast<size_t>(std::numeric_limits<int64_t>::max()) || !out_.seek(static_cast<int64_t>(to))) {
            return aiReturn_FAILURE;
        }
        position_ = to;
        return aiReturn_SUCCESS;
    }

    size_t Tell() const override { return position_; }
    size_t FileSize() const override { return size_; }
    void Flush() override {}

private:
    modelformat::OutputStream& out_;
    size_t position_ = 0;
    size_t size_ = 0;
};

}  // namespace

Assimp::IOStream* FileSetIOSystem::Open(const char* file, const char* mode) {
    if (file == nullptr || mode == nullptr) {
        return nullptr;
    }
    if (std::strchr(mode, 'w') == nullptr && std::strchr(mode, 'a') == nullptr) {
        return Assimp::DefaultIOSystem::Open(file, mode);
    }
    modelformat::OutputStream* out = files_.create(file);
    return out != nullptr ? new SetFileStream(*out) : nullptr;
}

void FileSetIOSystem::Close(Assimp::IOStream* file) { delete file; }

}  // namespace host::scenefile
