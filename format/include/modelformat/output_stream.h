// Byte sinks for the writers: a file that replaces its target only once complete, and memory.
// Every failure is sticky: once a write, seek or close fails, the stream stays failed.
#ifndef MODELFORMAT_OUTPUT_STREAM_H
#define MODELFORMAT_OUTPUT_STREAM_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace modelformat {

class OutputStream {
public:
    virtual ~OutputStream();
    // Writes the bytes at the current position; false (and failed from then on) when they
    // could not all be written.
    virtual bool write(const void* data, size_t size) = 0;
    // The current position, or -1 when it cannot be told.
    virtual int64_t position() = 0;
    virtual bool seek(int64_t position) = 0;
    bool failed() const { return failed_; }

protected:
    bool fail() {
        failed_ = true;
        return false;
    }

private:
    bool failed_ = false;
};

class MemoryOutputStream : public OutputStream {
public:
    bool write(const void* data, size_t size) override;
    int64_t position() override { return static_cast<int64_t>(position_); }
    bool seek(int64_t position) override;
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    size_t position_ = 0;
};

// A stream that becomes a file at a target path only when it is committed.
class TargetOutputStream : public OutputStream {
public:
    // Prepares to write the target. False when it cannot be written.
    virtual bool open(const std::string& targetPath) = 0;
    // Completes the target. False when any write, seek, flush, close or the final move failed;
    // the target is then untouched.
    virtual bool commit() = 0;
    // Drops what was written without touching the target.
    virtual void abandon() = 0;
};

// Writes to a new file beside the target path and puts it in the target's place only when
// commit() has closed it without error, so that a failed export leaves no partial file and an
// earlier file at the path survives. An uncommitted file is removed when the stream goes away.
class FileOutputStream : public TargetOutputStream {
public:
    FileOutputStream() = default;
    ~FileOutputStream() override;
    FileOutputStream(const FileOutputStream&) = delete;
    FileOutputStream& operator=(const FileOutputStream&) = delete;

    // Creates the file beside the target. False when it cannot be created, or when something
    // other than a regular file (a folder, a device) stands at the target path.
    bool open(const std::string& targetPath) override;
    bool write(const void* data, size_t size) override;
    int64_t position() override;
    bool seek(int64_t position) override;
    bool commit() override;
    void abandon() override;

private:
    std::FILE* file_ = nullptr;
    std::string targetPath_;
    std::string temporaryPath_;
};

}  // namespace modelformat

#endif
