// Memory and file output streams; the file stream replaces its target only when complete, and a
// set of files goes in place together.
#include "modelformat/output_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "removal_on_signal.h"

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

std::string describeOutputError(OutputError error, int systemError) {
    switch (error) {
    case OutputError::None:
        return "no error";
    case OutputError::FolderMissing:
        return "its folder does not exist";
    case OutputError::NotAFolder:
        return "a part of its path that must be a folder is a file";
    case OutputError::IsAFolder:
        return "it is a folder";
    case OutputError::NotARegularFile:
        return "it is not a regular file (a device, a pipe or a socket stands there)";
    case OutputError::ReadOnlyFile:
        return "the file is read-only";
    case OutputError::FolderNotWritable:
        return "its folder is not writable, and a safe replace needs that: the new file is written beside "
               "the old one and then renamed over it";
    case OutputError::PermissionDenied:
        return "permission denied: its folder is not writable";
    case OutputError::ReadOnlyFileSystem:
        return "the file system is read-only";
    case OutputError::DiskFull:
        return "the disk is full";
    case OutputError::NameTooLong:
        return "its name is longer than the file system takes";
    case OutputError::TooLarge:
        return "the file would be larger than its format or the file system allows";
    case OutputError::LinkLoop:
        return "its symbolic links lead round in a circle";
    case OutputError::InputOutput:
        return "the device reported an input/output error";
    case OutputError::OutOfMemory:
        return "out of memory";
    case OutputError::Other:
        break;
    }
    return systemError != 0 ? std::string(std::strerror(systemError)) : std::string("the write failed");
}

OutputError outputErrorOf(int systemError) {
    switch (systemError) {
    case 0:
        return OutputError::Other;
    case ENOENT:
        return OutputError::FolderMissing;
    case ENOTDIR:
        return OutputError::NotAFolder;
    case EISDIR:
        return OutputError::IsAFolder;
    case EACCES:
    case EPERM:
        return OutputError::PermissionDenied;
    case EROFS:
        return OutputError::ReadOnlyFileSystem;
    case ENOSPC:
    case EDQUOT:
        return OutputError::DiskFull;
    case ENAMETOOLONG:
        return OutputError::NameTooLong;
    case EFBIG:
    case EOVERFLOW:
        return OutputError::TooLarge;
    case ELOOP:
        return OutputError::LinkLoop;
    case EIO:
        return OutputError::InputOutput;
    case ENOMEM:
        return OutputError::OutOfMemory;
    default:
        return OutputError::Other;
    }
}

namespace {

// Starts writing the file's changed pages to the disk without waiting for them. Only a head
// start: a failure here shows again at the sync that ends the file.
void startWriteback(int fd) {
#ifdef __linux__
    sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
#else
    (void)fd;
#endif
}

constexpr size_t kFileBufferSize = size_t{1} << 20;
// How much is written before the disk is asked to start on it. Left to itself, the system keeps
// a large file's pages in memory until the sync at the end, which then waits for all of them;
// started as the file grows, the disk works while the writer computes what follows.
constexpr size_t kWritebackStep = size_t{8} << 20;
// Symbolic links followed on the way to a target, as the system's own limit (MAXSYMLINKS).
constexpr int kMaxLinkHops = 40;
// What the temporary name adds to the target's name: "." before, ".partial-XXXXXX" after.
const char kPartialSuffix[] = ".partial-XXXXXX";
const char kBackupSuffix[] = ".previous-XXXXXX";
constexpr long kDefaultNameMax = 255;

// The process's file-creation mask, read without changing it for longer than the call.
mode_t currentUmask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

std::string directoryOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The longest name the folder's file system takes.
size_t nameMaxOf(const std::string& folder) {
    errno = 0;
    const long max = pathconf(folder.c_str(), _PC_NAME_MAX);
    return static_cast<size_t>(max > 0 ? max : kDefaultNameMax);
}

// A hidden name beside the target, "." + NAME + suffix, with NAME cut so that the whole stays
// within the file system's name length: every name the file system takes gets one.
std::string temporaryPattern(const std::string& targetPath, const char* suffix) {
    const std::string folder = directoryOf(targetPath);
    std::string name = nameOf(targetPath);
    const size_t room = nameMaxOf(folder) - 1 - std::strlen(suffix);
    if (name.size() > room) {
        name.resize(room);
    }
    return (targetPath.find('/') == std::string::npos ? std::string() : folder + "/") + "." + name + suffix;
}

// A free name made from the pattern, reserved by creating it, then removed again so that a link
// can take it: a link never replaces an existing name. Empty when none could be made.
std::string freeName(const std::string& pattern) {
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        return std::string();
    }
    close(fd);
    unlink(name.data());
    return std::string(name.data());
}

struct ResolvedTarget {
    OutputError error = OutputError::None;
    int systemError = 0;
    std::string path;  // the file to replace or create
    bool exists = false;
    mode_t mode = 0;
};

// Follows symbolic links to the file a write at the path replaces or creates, and finds what
// stands in the way of writing it.
ResolvedTarget resolveTarget(const std::string& targetPath) {
    ResolvedTarget target;
    target.path = targetPath;
    if (targetPath.empty()) {
        target.error = OutputError::FolderMissing;
        return target;
    }
    if (targetPath.back() == '/') {
        target.error = OutputError::IsAFolder;  // a name for a folder, whether or not one is there
        return target;
    }
    for (int hops = 0;; ++hops) {
        struct stat info {};
        if (lstat(target.path.c_str(), &info) != 0) {
            if (errno != ENOENT) {
                target.error = outputErrorOf(errno);
                target.systemError = errno;
                return target;
            }
            break;  // nothing there yet: created at this path
        }
        if (!S_ISLNK(info.st_mode)) {
            if (S_ISDIR(info.st_mode)) {
                target.error = OutputError::IsAFolder;
                return target;
            }
            if (!S_ISREG(info.st_mode)) {
                target.error = OutputError::NotARegularFile;  // replacing it would destroy it
                return target;
            }
            target.exists = true;
            target.mode = info.st_mode & 07777;
            break;
        }
        if (hops == kMaxLinkHops) {
            target.error = OutputError::LinkLoop;
            return target;
        }
        std::vector<char> buffer(static_cast<size_t>(info.st_size > 0 ? info.st_size : PATH_MAX) + 1);
        const ssize_t length = readlink(target.path.c_str(), buffer.data(), buffer.size());
        if (length < 0 || static_cast<size_t>(length) >= buffer.size()) {
            target.error = length < 0 ? outputErrorOf(errno) : OutputError::Other;
            target.systemError = length < 0 ? errno : 0;
            return target;
        }
        const std::string next(buffer.data(), static_cast<size_t>(length));
        target.path = next.front() == '/' || target.path.find('/') == std::string::npos
                          ? next
                          : directoryOf(target.path) + "/" + next;
    }

    const std::string folder = directoryOf(target.path);
    struct stat folderInfo {};
    if (stat(folder.c_str(), &folderInfo) != 0) {
        target.error = errno == ENOENT ? OutputError::FolderMissing : outputErrorOf(errno);
        target.systemError = errno;
        return target;
    }
    if (!S_ISDIR(folderInfo.st_mode)) {
        target.error = OutputError::NotAFolder;
        return target;
    }
    if (nameOf(target.path).size() > nameMaxOf(folder)) {
        target.error = OutputError::NameTooLong;
        return target;
    }
    if (target.exists && faccessat(AT_FDCWD, target.path.c_str(), W_OK, AT_EACCESS) != 0) {
        target.error = errno == EROFS ? OutputError::ReadOnlyFileSystem : OutputError::ReadOnlyFile;
        target.systemError = errno;
        return target;
    }
    if (faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
        target.systemError = errno;
        if (errno == EROFS) {
            target.error = OutputError::ReadOnlyFileSystem;
        } else if (errno == EACCES || errno == EPERM) {
            target.error = target.exists ? OutputError::FolderNotWritable : OutputError::PermissionDenied;
        } else {
            target.error = outputErrorOf(errno);
        }
        return target;
    }
    return target;
}

// Why creating a file in the target's folder failed.
OutputError creationError(int systemError, bool targetExists) {
    if (systemError == EACCES || systemError == EPERM) {
        return targetExists ? OutputError::FolderNotWritable : OutputError::PermissionDenied;
    }
    return outputErrorOf(systemError);
}

// The path through which a file without a name can be linked into its folder.
std::string descriptorPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

}  // namespace

OutputError diagnoseTarget(const std::string& path) { return resolveTarget(path).error; }

FileOutputStream::~FileOutputStream() { abandon(); }

bool FileOutputStream::open(const std::string& targetPath) {
    abandon();
    clearFailure();
    unsubmitted_ = 0;
    const ResolvedTarget target = resolveTarget(targetPath);
    targetPath_ = target.path;
    if (target.error != OutputError::None) {
        return fail(target.error, target.systemError);
    }
    const mode_t mode = target.exists ? target.mode : static_cast<mode_t>(0666) & ~currentUmask();
    const std::string folder = directoryOf(targetPath_);

    int fd = -1;
    if (temporary_ == Temporary::Unnamed) {
        fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
        // Linking it into the folder later goes through /proc; without it, a named file.
        if (fd >= 0 && access(descriptorPath(fd).c_str(), F_OK) != 0) {
            close(fd);
            fd = -1;
        }
    }
    if (fd < 0) {
        const std::string pattern = temporaryPattern(targetPath_, kPartialSuffix);
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        fd = mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0) {
            return fail(creationError(errno, target.exists), errno);
        }
        temporaryPath_ = name.data();
        removalSlot_ = detail::removeOnSignal(temporaryPath_);
    }
    if (fchmod(fd, mode) != 0) {
        // The file is still usable; only its permissions differ from a plain create.
        errno = 0;
    }
    file_ = fdopen(fd, "wb");
    if (file_ == nullptr) {
        const int error = errno;
        close(fd);
        forgetTemporaryPath();
        return fail(outputErrorOf(error), error);
    }
    // Writers hand over a record or a frame at a time: a large buffer keeps the system calls few.
    // The buffer is given, not only its size: given none, the C library keeps its own buffer of
    // one disk block and ignores the size. Without it the stream still works, with that buffer.
    if (buffer_ == nullptr) {
        buffer_ = std::make_unique<char[]>(kFileBufferSize);
    }
    std::setvbuf(file_, buffer_.get(), _IOFBF, kFileBufferSize);
    return true;
}

bool FileOutputStream::write(const void* data, size_t size) {
    if (failed() || file_ == nullptr) {
        return fail();
    }
    if (size > 0 && std::fwrite(data, 1, size, file_) != size) {
        return fail(outputErrorOf(errno), errno);
    }
    unsubmitted_ += size;
    if (unsubmitted_ >= kWritebackStep) {
        unsubmitted_ = 0;
        startWriteback(fileno(file_));
    }
    return true;
}

int64_t FileOutputStream::position() {
    if (failed() || file_ == nullptr) {
        return -1;
    }
    const long at = std::ftell(file_);
    if (at < 0) {
        fail(outputErrorOf(errno), errno);
        return -1;
    }
    return at;
}

bool FileOutputStream::seek(int64_t position) {
    if (failed() || file_ == nullptr || position < 0 || position > LONG_MAX) {
        return fail();
    }
    if (std::fseek(file_, static_cast<long>(position), SEEK_SET) != 0) {
        return fail(outputErrorOf(errno), errno);
    }
    return true;
}

bool FileOutputStream::finish() {
    if (failed() || file_ == nullptr) {
        return fail();
    }
    // A full disk shows when the buffer is written out, or only at the sync on some file systems.
    if (std::fflush(file_) != 0 || fsync(fileno(file_)) != 0) {
        return fail(outputErrorOf(errno), errno);
    }
    return true;
}

bool FileOutputStream::place() {
    if (failed() || file_ == nullptr) {
        return fail();
    }
    const detail::SignalsHeld held;
    return temporaryPath_.empty() ? placeUnnamed() : placeNamed();
}

bool FileOutputStream::placeNamed() {
    // Closing reports what the sync did not (a network file system's late write).
    const int closed = std::fclose(file_);
    const int closeError = errno;
    file_ = nullptr;
    if (closed != 0) {
        forgetTemporaryPath();
        return fail(outputErrorOf(closeError), closeError);
    }
    if (std::rename(temporaryPath_.c_str(), targetPath_.c_str()) != 0) {
        const int error = errno;
        forgetTemporaryPath();
        return fail(outputErrorOf(error), error);
    }
    detail::keepOnSignal(removalSlot_);
    removalSlot_ = -1;
    temporaryPath_.clear();
    return true;
}

bool FileOutputStream::placeUnnamed() {
    const std::string source = descriptorPath(fileno(file_));
    std::string linked;
    // A new file takes its name in one step; an earlier one is replaced by renaming over it.
    struct stat info {};
    if (lstat(targetPath_.c_str(), &info) != 0 && errno == ENOENT &&
        linkat(AT_FDCWD, source.c_str(), AT_FDCWD, targetPath_.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        linked = targetPath_;
    }
    int error = 0;
    for (int attempt = 0; linked.empty() && attempt < 8; ++attempt) {
        const std::string name = freeName(temporaryPattern(targetPath_, kPartialSuffix));
        if (name.empty()) {
            error = errno;
            break;
        }
        if (linkat(AT_FDCWD, source.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            linked = name;
        } else if (errno != EEXIST) {
            error = errno;
            break;
        }
    }
    if (linked.empty()) {
        std::fclose(file_);
        file_ = nullptr;
        return fail(creationError(error, true), error);
    }
    const int closed = std::fclose(file_);
    error = errno;
    file_ = nullptr;
    if (closed == 0 && linked != targetPath_ && std::rename(linked.c_str(), targetPath_.c_str()) != 0) {
        error = errno;
        unlink(linked.c_str());
        return fail(outputErrorOf(error), error);
    }
    if (closed != 0) {
        unlink(linked.c_str());
        return fail(outputErrorOf(error), error);
    }
    return true;
}

bool FileOutputStream::commit() {
    if (!finish() || !place()) {
        abandon();
        return false;
    }
    return true;
}

void FileOutputStream::forgetTemporaryPath() {
    if (!temporaryPath_.empty()) {
        unlink(temporaryPath_.c_str());
        detail::keepOnSignal(removalSlot_);
        removalSlot_ = -1;
        temporaryPath_.clear();
    }
}

void FileOutputStream::abandon() {
    if (file_ != nullptr) {
        std::fclose(file_);  // an unnamed file goes with its last descriptor
        file_ = nullptr;
    }
    forgetTemporaryPath();
}

FileSetOutput::FileSetOutput(std::string mainPath, FileOutputStream::Temporary temporary)
    : mainPath_(std::move(mainPath)), temporary_(temporary) {}

FileSetOutput::~FileSetOutput() { abandon(); }

void FileSetOutput::recordFailure(const std::string& path, OutputError error, int systemError) {
    if (failure_.error == OutputError::None) {
        failure_.error = error == OutputError::None ? OutputError::Other : error;
        failure_.systemError = systemError;
        failure_.path = path;
    }
}

FileSetOutput::Failure FileSetOutput::firstFailure() const {
    if (failure_.error != OutputError::None) {
        return failure_;
    }
    for (const Member& member : members_) {
        if (member.stream->failed()) {
            return Failure{member.stream->error(), member.stream->systemError(), member.path};
        }
    }
    return Failure();
}

OutputStream* FileSetOutput::create(const std::string& path) {
    for (Member& member : members_) {
        if (member.path == path) {
            return member.stream.get();
        }
    }
    auto stream = std::make_unique<FileOutputStream>(temporary_);
    if (!stream->open(path)) {
        recordFailure(path, stream->error(), stream->systemError());
        return nullptr;
    }
    members_.push_back(Member{path, std::move(stream), std::string()});
    return members_.back().stream.get();
}

bool FileSetOutput::writeFile(const std::string& path, const void* data, size_t size) {
    OutputStream* out = create(path);
    return out != nullptr && out->write(data, size);
}

std::string FileSetOutput::failure() const {
    const Failure failure = firstFailure();
    if (failure.error == OutputError::None) {
        return std::string();
    }
    std::string text = describeOutputError(failure.error, failure.systemError);
    if (failure.path != mainPath_) {
        text += " (writing '" + failure.path + "')";
    }
    return text;
}

// Keeps the file now at the member's target under a second name, so that it can be put back.
bool FileSetOutput::backUp(Member& member) {
    const std::string& target = member.stream->targetPath();
    struct stat info {};
    if (lstat(target.c_str(), &info) != 0) {
        if (errno == ENOENT) {
            return true;  // nothing to keep
        }
        recordFailure(member.path, outputErrorOf(errno), errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        // Something else took the path since the file was begun; it is not to be replaced.
        recordFailure(member.path, S_ISDIR(info.st_mode) ? OutputError::IsAFolder : OutputError::NotARegularFile, 0);
        return false;
    }
    for (int attempt = 0; attempt < 8; ++attempt) {
        const std::string name = freeName(temporaryPattern(target, kBackupSuffix));
        if (name.empty()) {
            break;
        }
        // A second link keeps the file at its path throughout; where the file system has no
        // links, it is moved aside for the moment of the replace.
        bool kept = link(target.c_str(), name.c_str()) == 0;
        if (!kept && errno == EEXIST) {
            continue;  // the name was taken meanwhile
        }
        kept = kept || std::rename(target.c_str(), name.c_str()) == 0;
        if (kept) {
            member.backupPath = name;
            return true;
        }
        break;
    }
    recordFailure(member.path, creationError(errno, true), errno);
    return false;
}

void FileSetOutput::takeBack(std::vector<Member*>& placed, Member* current) {
    if (current != nullptr && !current->backupPath.empty()) {
        // The replace did not happen: the earlier file is still (or again) at its path.
        std::rename(current->backupPath.c_str(), current->stream->targetPath().c_str());
        unlink(current->backupPath.c_str());
        current->backupPath.clear();
    }
    for (auto it = placed.rbegin(); it != placed.rend(); ++it) {
        Member& member = **it;
        if (member.backupPath.empty()) {
            unlink(member.stream->targetPath().c_str());
        } else {
            std::rename(member.backupPath.c_str(), member.stream->targetPath().c_str());
            member.backupPath.clear();
        }
    }
}

bool FileSetOutput::commit() {
    if (members_.empty()) {
        recordFailure(mainPath_, OutputError::Other, 0);
    }
    for (Member& member : members_) {
        if (failed()) {
            break;
        }
        if (!member.stream->finish()) {
            recordFailure(member.path, member.stream->error(), member.stream->systemError());
        }
    }
    if (failed()) {
        abandon();
        return false;
    }

    std::vector<Member*> order;
    for (Member& member : members_) {
        if (member.path != mainPath_) {
            order.push_back(&member);
        }
    }
    for (Member& member : members_) {
        if (member.path == mainPath_) {
            order.push_back(&member);
        }
    }
    const detail::SignalsHeld held;
    std::vector<Member*> placed;
    for (Member* member : order) {
        if (!backUp(*member)) {
            takeBack(placed, nullptr);
            abandon();
            return false;
        }
        if (!member->stream->place()) {
            recordFailure(member->path, member->stream->error(), member->stream->systemError());
            takeBack(placed, member);
            abandon();
            return false;
        }
        placed.push_back(member);
    }
    for (Member* member : placed) {
        if (!member->backupPath.empty()) {
            unlink(member->backupPath.c_str());
        }
    }
    members_.clear();
    return true;
}

void FileSetOutput::abandon() {
    failure_ = firstFailure();  // kept when the streams go
    for (Member& member : members_) {
        member.stream->abandon();
    }
    members_.clear();
}

}  // namespace modelformat
