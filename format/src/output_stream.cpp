// Memory and file output streams; the file stream replaces its target only when complete.
#include "modelformat/output_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace modelformat {

OutputStream::~OutputStream() = default;

bool MemoryOutputStream::write(const void* data, size_t size) {
    if (failed()) {
        return false;
    }
    if (position_ + size > bytes_.size()) {
        bytes_.resize(position_ + size);
    }
    if (size > 0) {
        std::memcpy(bytes_.data() + position_, data, size);
    }
    position_ += size;
    return true;
}

bool MemoryOutputStream::seek(int64_t position) {
    if (failed() || position < 0 || static_cast<uint64_t>(position) > bytes_.size()) {
        return fail();
    }
    position_ = static_cast<size_t>(position);
    return true;
}

namespace {

// The process's file-creation mask, read without changing it for longer than the call.
mode_t currentUmask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

constexpr size_t kFileBufferSize = size_t{1} << 20;

std::string directoryOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

FileOutputStream::~FileOutputStream() { abandon(); }

bool FileOutputStream::open(const std::string& targetPath) {
    abandon();
    if (targetPath.empty()) {
        return false;
    }
    targetPath_ = targetPath;
    mode_t mode = static_cast<mode_t>(0666) & ~currentUmask();

    struct stat existing {};
    if (lstat(targetPath.c_str(), &existing) == 0) {
        if (S_ISLNK(existing.st_mode)) {
            // Replace the file the link points to, keeping the link.
            char resolved[PATH_MAX];
            if (realpath(targetPath.c_str(), resolved) == nullptr) {
                return false;
            }
            targetPath_ = resolved;
            if (stat(targetPath_.c_str(), &existing) != 0) {
                return false;
            }
        }
        // Replacing a device, a pipe or a folder with a regular file would destroy it.
        if (!S_ISREG(existing.st_mode)) {
            return false;
        }
        mode = existing.st_mode & 07777;
    }

    std::string pattern = directoryOf(targetPath_) + "/.";
    const size_t slash = targetPath_.find_last_of('/');
    pattern += (slash == std::string::npos ? targetPath_ : targetPath_.substr(slash + 1)) + ".partial-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        return false;
    }
    temporaryPath_ = name.data();
    if (fchmod(fd, mode) != 0) {
        // The file is still usable; only its permissions differ from a plain create.
        errno = 0;
    }
    file_ = fdopen(fd, "wb");
    if (file_ == nullptr) {
        close(fd);
        unlink(temporaryPath_.c_str());
        temporaryPath_.clear();
        return false;
    }
    // Writers hand over a record or a frame at a time: a large buffer keeps the system calls few.
    // Without it the stream still works, with the library's own buffer.
    std::setvbuf(file_, nullptr, _IOFBF, kFileBufferSize);
    return true;
}

bool FileOutputStream::write(const void* data, size_t size) {
    if (failed() || file_ == nullptr) {
        return fail();
    }
    if (size > 0 && std::fwrite(data, 1, size, file_) != size) {
        return fail();
    }
    return true;
}

int64_t FileOutputStream::position() {
    if (failed() || file_ == nullptr) {
        return -1;
    }
    const long at = std::ftell(file_);
    if (at < 0) {
        fail();
        return -1;
    }
    return at;
}

bool FileOutputStream::seek(int64_t position) {
    if (failed() || file_ == nullptr || position < 0 || position > LONG_MAX) {
        return fail();
    }
    if (std::fseek(file_, static_cast<long>(position), SEEK_SET) != 0) {
        return fail();
    }
    return true;
}

bool FileOutputStream::commit() {
    if (file_ == nullptr) {
        return fail();
    }
    bool ok = !failed();
    if (std::fflush(file_) != 0) {
        ok = false;
    }
    if (ok && fsync(fileno(file_)) != 0) {
        ok = false;
    }
    if (std::fclose(file_) != 0) {
        ok = false;
    }
    file_ = nullptr;
    if (ok && std::rename(temporaryPath_.c_str(), targetPath_.c_str()) != 0) {
        ok = false;
    }
    if (!ok) {
        unlink(temporaryPath_.c_str());
        temporaryPath_.clear();
        return fail();
    }
    temporaryPath_.clear();
    return true;
}

void FileOutputStream::abandon() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temporaryPath_.empty()) {
        unlink(temporaryPath_.c_str());
        temporaryPath_.clear();
    }
}

}  // namespace modelformat
