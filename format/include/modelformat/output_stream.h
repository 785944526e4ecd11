// Byte sinks for the writers: a file that replaces its target only once complete, a set of files
// put in place together, and memory. Every failure is sticky: once a write, seek or close fails,
// the stream stays failed, and it keeps why.
#ifndef MODELFORMAT_OUTPUT_STREAM_H
#define MODELFORMAT_OUTPUT_STREAM_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace modelformat {

// Why a file could not be written, in the terms a person acts on.
enum class OutputError {
    None,
    FolderMissing,       // the folder the file goes in does not exist
    NotAFolder,          // a part of the path that must be a folder is something else
    IsAFolder,           // a folder stands at the path
    NotARegularFile,     // a device, a pipe or a socket stands at the path
    ReadOnlyFile,        // the file at the path may not be written
    FolderNotWritable,   // the file may be written, but its folder takes no new file beside it
    PermissionDenied,    // the folder takes no new file (and none stands at the path)
    ReadOnlyFileSystem,  // the file system is mounted read-only
    DiskFull,            // no space (or quota) is left
    NameTooLong,         // the name or the path is longer than the file system takes
    TooLarge,            // the file would be larger than its format or the file system allows
    LinkLoop,            // symbolic links on the path lead round in a circle, or too far
    InputOutput,         // the device failed
    OutOfMemory,
    Other,  // any other failure; the system's error number, when there is one, says more
};

// The error's words, to follow "cannot write 'X': " ("the disk is full"). For Other, the system's
// description of systemError when it is not 0.
std::string describeOutputError(OutputError error, int systemError = 0);
// The kind of a system call's error number (errno) when creating or writing a file.
OutputError outputErrorOf(int systemError);
// What stands in the way of writing a file at the path, found by looking at the path without
// writing anything: the folder, what stands at the path (symbolic links followed, a dangling one
// names the file to create), permissions and the name's length. None when nothing does.
OutputError diagnoseTarget(const std::string& path);

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
    // Why the stream failed (None while it has not); the first failure counts.
    OutputError error() const { return error_; }
    // The system's error number of that failure, 0 when it was not a system call's.
    int systemError() const { return systemError_; }

protected:
    bool fail(OutputError error = OutputError::Other, int systemError = 0) {
        if (!failed_) {
            error_ = error;
            systemError_ = systemError;
        }
        failed_ = true;
        return false;
    }
    // A new start, for a stream that begins another file.
    void clearFailure() {
        failed_ = false;
        error_ = OutputError::None;
        systemError_ = 0;
    }

private:
    bool failed_ = false;
    OutputError error_ = OutputError::None;
    int systemError_ = 0;
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
    // Prepares to write the target. False when it cannot be written (error() says why).
    virtual bool open(const std::string& targetPath) = 0;
    // Completes the target. False when any write, seek, flush, close or the final move failed;
    // the target is then untouched.
    virtual bool commit() = 0;
    // Drops what was written without touching the target.
    virtual void abandon() = 0;
};

// Writes a new file in the target's folder and puts it in the target's place only when commit()
// has it complete on the disk, so that a failed write leaves no partial file and an earlier file
// at the path survives.
//
// Until then the file has no name where the file system allows it (Linux's O_TMPFILE): a process
// that ends in the middle leaves nothing behind. Elsewhere it is a hidden file beside the target,
// ".NAME.partial-XXXXXX" (NAME cut so that the whole fits the file system's name length), which
// the stream removes when it goes, and which SIGINT, SIGTERM, SIGHUP and SIGQUIT remove before
// they end the process (the process's own handlers, or the default action, follow). Those signals
// wait while a file is moved into place.
//
// A symbolic link at the path is followed (the file it leads to is replaced, or created when it
// does not exist yet), and the replaced file's permissions are kept. Refused: a folder, a device,
// a pipe or a socket at the path, and a file this process may not write.
class FileOutputStream : public TargetOutputStream {
public:
    enum class Temporary { Unnamed, Named };
    // Named: always a named temporary file (for tests of that way).
    explicit FileOutputStream(Temporary temporary = Temporary::Unnamed) : temporary_(temporary) {}
    ~FileOutputStream() override;
    FileOutputStream(const FileOutputStream&) = delete;
    FileOutputStream& operator=(const FileOutputStream&) = delete;

    bool open(const std::string& targetPath) override;
    bool write(const void* data, size_t size) override;
    int64_t position() override;
    bool seek(int64_t position) override;
    // finish() then place().
    bool commit() override;
    void abandon() override;

    // The two steps of commit, apart for a set of files committed together: finish() puts every
    // byte on the disk, place() then puts the file at its target in one step. Each answers false
    // when it fails, and the stream is then failed; neither abandons.
    bool finish();
    bool place();
    // The file the stream replaces or creates: the target path with its symbolic links followed.
    const std::string& targetPath() const { return targetPath_; }
    // Whether the file waits without a name (nothing to remove should the process end).
    bool unnamed() const { return file_ != nullptr && temporaryPath_.empty(); }

private:
    bool placeUnnamed();
    bool placeNamed();
    void forgetTemporaryPath();

    Temporary temporary_;
    std::unique_ptr<char[]> buffer_;  // the stream's buffer, kept while a file is open
    std::FILE* file_ = nullptr;
    std::string targetPath_;
    std::string temporaryPath_;  // the named temporary file; empty for an unnamed one
    int removalSlot_ = -1;       // its entry among the files a signal removes
    size_t unsubmitted_ = 0;     // bytes written since the disk was last asked to start
};

// Several files written together (a glTF file with its buffers and images, an OBJ with its
// materials): each is written as FileOutputStream writes one, and commit() puts all of them in
// place or none. The main file, which names the others, goes in last, so that it never names a
// file that is not there; when putting one in place fails, those already placed are taken back
// and the files that were at their paths before are restored. A writer gives each file's path to
// create() (or writeFile()) as it writes it, then commits once every file is written; when
// anything failed, failure() words why for a message ("the disk is full (writing 'a.bin')").
class FileSetOutput {
public:
    explicit FileSetOutput(std::string mainPath,
                           FileOutputStream::Temporary temporary = FileOutputStream::Temporary::Unnamed);
    // Abandons what was not committed.
    ~FileSetOutput();
    FileSetOutput(const FileSetOutput&) = delete;
    FileSetOutput& operator=(const FileSetOutput&) = delete;

    // A stream for the file at the path (the same stream for a path given again; the main file's
    // path too is given here), or null when the file cannot be written there: the set has then
    // failed (failure() says why) and commit() will answer false.
    OutputStream* create(const std::string& path);
    // A whole file at once (as glTF writers hand over a buffer or an image): create and write.
    // False when it failed; the set has then failed.
    bool writeFile(const std::string& path, const void* data, size_t size);
    // Puts every file in place, the main file last. False, with nothing changed at any path,
    // when a file failed, none was created, or one could not be put in place.
    bool commit();
    // Drops every file without touching any target.
    void abandon();

    // Whether a file of the set could not be created, written or put in place.
    bool failed() const { return firstFailure().error != OutputError::None; }
    OutputError error() const { return firstFailure().error; }
    int systemError() const { return firstFailure().systemError; }
    // The path of the file that failed (the first one created, when several failed).
    std::string failedPath() const { return firstFailure().path; }
    // "the disk is full", followed by " (writing 'x.bin')" when the file was not the main one;
    // empty while nothing failed.
    std::string failure() const;

private:
    struct Member {
        std::string path;
        std::unique_ptr<FileOutputStream> stream;
        std::string backupPath;  // the earlier file at the target while the set is placed
    };
    struct Failure {
        OutputError error = OutputError::None;
        int systemError = 0;
        std::string path;
    };
    Failure firstFailure() const;
    void recordFailure(const std::string& path, OutputError error, int systemError);
    bool backUp(Member& member);
    void takeBack(std::vector<Member*>& placed, Member* current);

    std::string mainPath_;
    FileOutputStream::Temporary temporary_;
    std::vector<Member> members_;
    Failure failure_;  // of a file that could not be created or put in place
};

}  // namespace modelformat

#endif
