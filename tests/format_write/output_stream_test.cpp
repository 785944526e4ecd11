// The file stream replaces its target only when complete, with or without a name until then; a
// set of files goes in place together or not at all; memory streams seek and overwrite.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include <modelformat/output_stream.h>

using namespace modelformat;

namespace {

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/qmp-stream-XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Every name in the folder, hidden ones included.
    std::set<std::string> names() const;

private:
    std::string path_;
};

std::set<std::string> TempDir::names() const {
    std::set<std::string> names;
    std::FILE* pipe = popen(("ls -A '" + path_ + "'").c_str(), "r");
    char line[1024];
    while (pipe != nullptr && std::fgets(line, sizeof line, pipe) != nullptr) {
        std::string name(line);
        name.erase(name.find_last_not_of('\n') + 1);
        names.insert(name);
    }
    if (pipe != nullptr) {
        pclose(pipe);
    }
    return names;
}

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void put(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

using Temporary = FileOutputStream::Temporary;

std::string temporaryName(const ::testing::TestParamInfo<Temporary>& info) {
    return info.param == Temporary::Unnamed ? "Unnamed" : "Named";
}

}  // namespace

class FileStreamTest : public ::testing::TestWithParam<Temporary> {};

TEST_P(FileStreamTest, CommitPutsTheCompleteFileInPlace) {
    TempDir dir;
    const std::string target = dir.file("model.md3");
    put(target, "old contents");
    FileOutputStream out(GetParam());
    ASSERT_TRUE(out.open(target));
    ASSERT_TRUE(out.write("abcdef", 6));
    EXPECT_EQ(contents(target), "old contents");  // untouched until committed
    // Without a name wherever the folder's file system allows it.
    const int probe = ::open(dir.path().c_str(), O_TMPFILE | O_WRONLY, 0600);
    if (probe >= 0) {
        close(probe);
    }
    EXPECT_EQ(out.unnamed(), GetParam() == Temporary::Unnamed && probe >= 0);
    // A named file waits beside the target; an unnamed one is nowhere to be seen.
    EXPECT_EQ(dir.names().size(), out.unnamed() ? 1u : 2u);
    ASSERT_TRUE(out.seek(2));
    ASSERT_TRUE(out.write("XY", 2));
    EXPECT_EQ(out.position(), 4);
    ASSERT_TRUE(out.commit());
    EXPECT_EQ(contents(target), "abXYef");
    EXPECT_EQ(dir.names(), std::set<std::string>{"model.md3"});
}

TEST_P(FileStreamTest, AnAbandonedOrFailedStreamLeavesNothingBehind) {
    TempDir dir;
    const std::string target = dir.file("model.md3");
    {
        FileOutputStream out(GetParam());
        ASSERT_TRUE(out.open(target));
        out.write("partial", 7);
    }  // destroyed without commit
    EXPECT_TRUE(dir.names().empty());

    put(target, "keep me");
    FileOutputStream out(GetParam());
    ASSERT_TRUE(out.open(target));
    out.write("abc", 3);
    EXPECT_FALSE(out.seek(-1));
    EXPECT_TRUE(out.failed());
    EXPECT_FALSE(out.write("d", 1));  // failure is sticky
    EXPECT_FALSE(out.commit());
    EXPECT_EQ(contents(target), "keep me");
    EXPECT_EQ(dir.names(), std::set<std::string>{"model.md3"});
}

// Every name the file system takes can be written, also when the temporary name would be longer
// than the file system allows were it the target's name and a suffix.
TEST_P(FileStreamTest, NamesUpToTheFileSystemsLongestAreWritten) {
    TempDir dir;
    for (size_t length : {5u, 200u, 239u, 240u, 250u, 255u}) {
        const std::string name = std::string(length - 4, 'n') + ".md3";
        put(dir.file(name), "old");
        FileOutputStream out(GetParam());
        ASSERT_TRUE(out.open(dir.file(name))) << length << ": " << describeOutputError(out.error(), out.systemError());
        out.write("new", 3);
        if (GetParam() == Temporary::Named) {
            for (const std::string& entry : dir.names()) {
                EXPECT_LE(entry.size(), 255u);
            }
        }
        ASSERT_TRUE(out.commit()) << length;
        EXPECT_EQ(contents(dir.file(name)), "new") << length;
        EXPECT_EQ(dir.names().size(), 1u) << length;
        std::remove(dir.file(name).c_str());
    }
    FileOutputStream out(GetParam());
    EXPECT_FALSE(out.open(dir.file(std::string(252, 'n') + ".md3")));
    EXPECT_EQ(out.error(), OutputError::NameTooLong);
}

TEST_P(FileStreamTest, FollowsLinksKeepsModesAndCreatesTheTargetOfADanglingLink) {
    TempDir dir;
    const std::string target = dir.file("model.md3");
    put(target, "x");
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    ASSERT_EQ(symlink(target.c_str(), dir.file("link.md3").c_str()), 0);
    // A relative link to a file not there yet, through a second link.
    ASSERT_EQ(mkdir(dir.file("sub").c_str(), 0755), 0);
    ASSERT_EQ(symlink("sub/new.md3", dir.file("dangling.md3").c_str()), 0);
    ASSERT_EQ(symlink("dangling.md3", dir.file("second.md3").c_str()), 0);

    for (const std::string& link : {dir.file("link.md3"), dir.file("second.md3")}) {
        FileOutputStream out(GetParam());
        ASSERT_TRUE(out.open(link)) << describeOutputError(out.error());
        out.write("new", 3);
        ASSERT_TRUE(out.commit());
        struct stat info {};
        ASSERT_EQ(lstat(link.c_str(), &info), 0);
        EXPECT_TRUE(S_ISLNK(info.st_mode));  // the link stays a link
        EXPECT_EQ(contents(link), "new");
    }
    struct stat info {};
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(contents(dir.file("sub/new.md3")), "new");

    ASSERT_EQ(symlink("loop-b", dir.file("loop-a").c_str()), 0);
    ASSERT_EQ(symlink("loop-a", dir.file("loop-b").c_str()), 0);
    FileOutputStream loop(GetParam());
    EXPECT_FALSE(loop.open(dir.file("loop-a")));
    EXPECT_EQ(loop.error(), OutputError::LinkLoop);
}

// What stands in the way of a file is found before anything is written, and said the same way
// by diagnoseTarget.
TEST_P(FileStreamTest, RefusesPathsItCannotOrMustNotReplaceAndSaysWhy) {
    TempDir dir;
    put(dir.file("notes.txt"), "a file");
    ASSERT_EQ(mkdir(dir.file("folder.md3").c_str(), 0755), 0);
    ASSERT_EQ(mkfifo(dir.file("pipe.md3").c_str(), 0600), 0);
    ASSERT_EQ(symlink("folder.md3", dir.file("to-folder.md3").c_str()), 0);
    const std::pair<std::string, OutputError> refused[] = {
        {dir.file("missing-folder/model.md3"), OutputError::FolderMissing},
        {dir.file("notes.txt/model.md3"), OutputError::NotAFolder},
        {dir.file("folder.md3"), OutputError::IsAFolder},
        {dir.file("to-folder.md3"), OutputError::IsAFolder},
        {dir.file(""), OutputError::IsAFolder},
        {dir.file("pipe.md3"), OutputError::NotARegularFile},
        {"/dev/null", OutputError::NotARegularFile},  // a device is never replaced by a file
        {"", OutputError::FolderMissing},
    };
    for (const auto& [path, error] : refused) {
        FileOutputStream out(GetParam());
        EXPECT_FALSE(out.open(path)) << path;
        EXPECT_EQ(out.error(), error) << path << ": " << describeOutputError(out.error());
        EXPECT_EQ(diagnoseTarget(path), error) << path;
    }
    EXPECT_EQ(diagnoseTarget(dir.file("model.md3")), OutputError::None);
    EXPECT_EQ(dir.names(), (std::set<std::string>{"folder.md3", "notes.txt", "pipe.md3", "to-folder.md3"}));
}

// A real full disk, and a real read-only file system: tiny tmpfs mounts (need root; skipped where
// refused).
TEST_P(FileStreamTest, AFullDiskOrAReadOnlyFileSystemFailsWithItsReason) {
    TempDir dir;
    if (mount("tmpfs", dir.path().c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno) << ")";
    }
    struct Unmount {
        std::string path;
        ~Unmount() { umount(path.c_str()); }
    } unmount{dir.path()};
    const std::string target = dir.file("model.md3");
    put(target, "earlier");
    FileOutputStream out(GetParam());
    ASSERT_TRUE(out.open(target));
    const std::string block(4096, 'b');
    for (int i = 0; i < 64; ++i) {
        out.write(block.data(), block.size());
    }
    EXPECT_FALSE(out.commit());
    EXPECT_EQ(out.error(), OutputError::DiskFull) << describeOutputError(out.error(), out.systemError());
    EXPECT_EQ(contents(target), "earlier");
    EXPECT_EQ(dir.names(), std::set<std::string>{"model.md3"});

    ASSERT_EQ(mount("tmpfs", dir.path().c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=64k"), 0);
    FileOutputStream readOnly(GetParam());
    EXPECT_FALSE(readOnly.open(target));
    EXPECT_EQ(readOnly.error(), OutputError::ReadOnlyFileSystem);
    EXPECT_EQ(contents(target), "earlier");
}

INSTANTIATE_TEST_SUITE_P(Temporaries, FileStreamTest, ::testing::Values(Temporary::Unnamed, Temporary::Named),
                         temporaryName);

class FileSetTest : public ::testing::TestWithParam<Temporary> {
protected:
    // A scene file naming its buffer, both there from an earlier save.
    void SetUp() override {
        put(dir.file("scene.gltf"), "earlier scene naming scene.bin");
        put(dir.file("scene.bin"), "earlier buffer");
    }
    void expectEarlierFiles() {
        EXPECT_EQ(contents(dir.file("scene.gltf")), "earlier scene naming scene.bin");
        EXPECT_EQ(contents(dir.file("scene.bin")), "earlier buffer");
    }
    TempDir dir;
};

TEST_P(FileSetTest, CommitPutsEveryFileInPlace) {
    FileSetOutput files(dir.file("scene.gltf"), GetParam());
    OutputStream* scene = files.create(dir.file("scene.gltf"));
    OutputStream* buffer = files.create(dir.file("scene.bin"));
    ASSERT_TRUE(scene != nullptr && buffer != nullptr);
    EXPECT_EQ(files.create(dir.file("scene.bin")), buffer);  // one stream per path
    scene->write("new scene", 9);
    buffer->write("new buffer", 10);
    EXPECT_TRUE(files.writeFile(dir.file("skin.png"), "png", 3));
    expectEarlierFiles();  // nothing changes before the commit
    ASSERT_TRUE(files.commit()) << files.failure();
    EXPECT_EQ(contents(dir.file("scene.gltf")), "new scene");
    EXPECT_EQ(contents(dir.file("scene.bin")), "new buffer");
    EXPECT_EQ(contents(dir.file("skin.png")), "png");
    EXPECT_EQ(dir.names(), (std::set<std::string>{"scene.bin", "scene.gltf", "skin.png"}));
}

// A file that cannot be created, a write that fails, a set with no file, and a file that cannot
// be put in place after others were: the earlier files stay byte for byte, and nothing is left.
TEST_P(FileSetTest, AFailureAnywhereLeavesTheEarlierFiles) {
    {
        // The buffer's name is taken by a folder.
        ASSERT_EQ(std::rename(dir.file("scene.bin").c_str(), dir.file("kept.bin").c_str()), 0);
        ASSERT_EQ(mkdir(dir.file("scene.bin").c_str(), 0755), 0);
        FileSetOutput files(dir.file("scene.gltf"), GetParam());
        ASSERT_NE(files.create(dir.file("scene.gltf")), nullptr);
        EXPECT_EQ(files.create(dir.file("scene.bin")), nullptr);
        EXPECT_FALSE(files.commit());
        EXPECT_EQ(files.error(), OutputError::IsAFolder);
        EXPECT_EQ(files.failure(), "it is a folder (writing '" + dir.file("scene.bin") + "')");
        ASSERT_EQ(rmdir(dir.file("scene.bin").c_str()), 0);
        ASSERT_EQ(std::rename(dir.file("kept.bin").c_str(), dir.file("scene.bin").c_str()), 0);
    }
    expectEarlierFiles();
    {
        FileSetOutput files(dir.file("scene.gltf"), GetParam());
        files.create(dir.file("scene.bin"))->write("new buffer", 10);
        OutputStream* scene = files.create(dir.file("scene.gltf"));
        scene->write("x", 1);
        scene->seek(-1);  // a failed write or seek of any file fails the set
        EXPECT_TRUE(files.failed());
        EXPECT_FALSE(files.commit());
        EXPECT_EQ(files.failedPath(), dir.file("scene.gltf"));
    }
    expectEarlierFiles();
    {
        FileSetOutput files(dir.file("scene.gltf"), GetParam());
        EXPECT_FALSE(files.commit());  // a save that wrote nothing did not save
    }
    {
        // The buffer goes in first; then the scene's name turns out to be taken by a folder, put
        // there since the scene was begun. The buffer is taken back.
        FileSetOutput files(dir.file("scene.gltf"), GetParam());
        files.create(dir.file("scene.gltf"))->write("new scene", 9);
        files.create(dir.file("scene.bin"))->write("new buffer", 10);
        ASSERT_EQ(std::rename(dir.file("scene.gltf").c_str(), dir.file("kept.gltf").c_str()), 0);
        ASSERT_EQ(mkdir(dir.file("scene.gltf").c_str(), 0755), 0);
        put(dir.file("scene.gltf/inside"), "a file in the folder");
        EXPECT_FALSE(files.commit());
        EXPECT_EQ(files.failedPath(), dir.file("scene.gltf"));
        EXPECT_EQ(files.error(), OutputError::IsAFolder);
        EXPECT_EQ(contents(dir.file("scene.bin")), "earlier buffer");
        EXPECT_EQ(contents(dir.file("scene.gltf/inside")), "a file in the folder");
        ASSERT_EQ(std::system(("rm -r '" + dir.file("scene.gltf") + "'").c_str()), 0);
        ASSERT_EQ(std::rename(dir.file("kept.gltf").c_str(), dir.file("scene.gltf").c_str()), 0);
    }
    expectEarlierFiles();
    EXPECT_EQ(dir.names(), (std::set<std::string>{"scene.bin", "scene.gltf"}));
}

TEST_P(FileSetTest, AFullDiskLeavesTheEarlierFiles) {
    if (mount("tmpfs", dir.path().c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno) << ")";
    }
    struct Unmount {
        std::string path;
        ~Unmount() { umount(path.c_str()); }
    } unmount{dir.path()};
    SetUp();  // the earlier files, on the small disk
    FileSetOutput files(dir.file("scene.gltf"), GetParam());
    files.create(dir.file("scene.gltf"))->write("new scene", 9);
    const std::string buffer(size_t{256} * 1024, 'b');
    files.create(dir.file("scene.bin"))->write(buffer.data(), buffer.size());
    EXPECT_FALSE(files.commit());
    EXPECT_EQ(files.error(), OutputError::DiskFull);
    EXPECT_EQ(files.failure(), "the disk is full (writing '" + dir.file("scene.bin") + "')");
    expectEarlierFiles();
    EXPECT_EQ(dir.names(), (std::set<std::string>{"scene.bin", "scene.gltf"}));
}

INSTANTIATE_TEST_SUITE_P(Temporaries, FileSetTest, ::testing::Values(Temporary::Unnamed, Temporary::Named),
                         temporaryName);

// A named temporary file and the signals that end a process from outside: the file goes, then
// the process ends with the signal, through a handler of its own when it had one. Each case runs
// in a child process that the signal ends.
TEST(FileStreamSignals, ANamedTemporaryIsRemovedBeforeTheSignalEndsTheProcess) {
    for (int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        for (bool ownHandler : {false, true}) {
            TempDir dir;
            const std::string target = dir.file("victim.md3");
            put(target, "earlier");
            const pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                static std::string marker;
                marker = dir.file("handled");
                if (ownHandler) {
                    // The process's own handler: leaves a mark, then ends with the signal.
                    std::signal(number, [](int received) {
                        std::FILE* file = std::fopen(marker.c_str(), "w");
                        if (file != nullptr) {
                            std::fclose(file);
                        }
                        std::signal(received, SIG_DFL);
                        raise(received);
                    });
                }
                FileOutputStream out(Temporary::Named);
                if (!out.open(target) || !out.write("partial", 7) || !out.finish()) {
                    _exit(3);
                }
                if (dir.names().size() != 2) {
                    _exit(4);  // the named file must be there to be removed
                }
                raise(number);
                _exit(5);  // not reached
            }
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFSIGNALED(status)) << "signal " << number << " exit " << WEXITSTATUS(status);
            EXPECT_EQ(WTERMSIG(status), number);
            EXPECT_EQ(contents(target), "earlier");
            std::set<std::string> expected{"victim.md3"};
            if (ownHandler) {
                expected.insert("handled");
            }
            EXPECT_EQ(dir.names(), expected) << "signal " << number;
        }
    }
}

// A signal the process ignores stays ignored while a file is written, and the handler goes with
// the last named file: the process's dispositions are as they were.
TEST(FileStreamSignals, DispositionsAreAsTheyWereAroundAWrite) {
    TempDir dir;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGHUP, SIG_IGN);
        FileOutputStream out(Temporary::Named);
        if (!out.open(dir.file("model.md3")) || !out.write("data", 4)) {
            _exit(3);
        }
        raise(SIGHUP);  // ignored: the write goes on
        struct sigaction during {};
        sigaction(SIGTERM, nullptr, &during);
        if (during.sa_handler == SIG_DFL || !out.commit()) {
            _exit(4);
        }
        struct sigaction after {};
        sigaction(SIGTERM, nullptr, &after);
        struct sigaction hangUp {};
        sigaction(SIGHUP, nullptr, &hangUp);
        _exit(after.sa_handler == SIG_DFL && hangUp.sa_handler == SIG_IGN ? 0 : 6);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(contents(dir.file("model.md3")), "data");
}

TEST(MemoryOutputStream, SeeksInsideWhatWasWritten) {
    MemoryOutputStream out;
    out.write("abcd", 4);
    EXPECT_TRUE(out.seek(1));
    out.write("Z", 1);
    EXPECT_FALSE(out.seek(5));
    EXPECT_TRUE(out.failed());
    EXPECT_EQ(std::string(out.bytes().begin(), out.bytes().end()), "aZcd");
}
