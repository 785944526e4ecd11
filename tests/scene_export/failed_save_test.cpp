// Failed saves through plughost: an export or an import's save that cannot be written says why
// in one line and leaves every file at its paths as it was (full disks on a tiny tmpfs, read-only
// file systems, permissions, folders, pipes); what used to fail needlessly is written.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <set>
#include <string>

#include "model_builders.h"
#include "plughost_process.h"

namespace {

namespace fs = std::filesystem;
using plughosttest::lineCount;
using plughosttest::ProcessEnd;
using plughosttest::runPlughost;

constexpr uid_t kNobody = 65534;

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::set<std::string> namesIn(const std::string& folder) {
    std::set<std::string> names;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// A tiny file system of its own, for a full disk or a read-only one (needs root).
class TinyFileSystem {
public:
    explicit TinyFileSystem(const std::string& folder) : folder_(folder) {
        fs::create_directories(folder);
        mounted_ = mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") == 0;
        error_ = mounted_ ? std::string() : std::strerror(errno);
    }
    ~TinyFileSystem() {
        if (mounted_) {
            umount(folder_.c_str());
        }
    }
    TinyFileSystem(const TinyFileSystem&) = delete;
    TinyFileSystem& operator=(const TinyFileSystem&) = delete;

    bool mounted() const { return mounted_; }
    const std::string& error() const { return error_; }
    bool makeReadOnly() { return mount("tmpfs", folder_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=64k") == 0; }
    // Fills all but `left` bytes of it.
    void fillLeaving(size_t left) {
        struct statvfs info {};
        ASSERT_EQ(statvfs(folder_.c_str(), &info), 0);
        const size_t free = static_cast<size_t>(info.f_bavail) * info.f_frsize;
        if (free > left) {
            std::ofstream(folder_ + "/filler", std::ios::binary) << std::string(free - left, 'f');
        }
    }

private:
    std::string folder_;
    bool mounted_ = false;
    std::string error_;
};

class FailedSaveTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/qmp-failed-save-XXXXXX";
        folder_ = mkdtemp(pattern);
        chmod(folder_.c_str(), 0755);  // another user reaches what lies inside
        // An MD3 to import and to keep as an earlier export: the demo scene, 10 frames.
        ASSERT_EQ(runPlughost({"export", path("model.md3"), "--from", "0", "--to", "9"}).status, 0);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    std::string path(const std::string& name) const { return folder_ + "/" + name; }
    // Who is refused what the permissions refuse: nobody when the tests run as root (root may
    // write anywhere), else the tests' own user.
    static uid_t restrictedUser() { return geteuid() == 0 ? kNobody : static_cast<uid_t>(-1); }
    static void giveToRestrictedUser(const std::string& file) {
        if (geteuid() == 0) {
            ASSERT_EQ(chown(file.c_str(), kNobody, kNobody), 0);
        }
    }

private:
    std::string folder_;
};

}  // namespace

// Every reason an export cannot be written, each as its one line says it, with the earlier file
// (where there is one) as it was and nothing else left in its folder.
TEST_F(FailedSaveTest, AFailedExportSaysWhyAndLeavesEverythingAsItWas) {
    const std::string earlier = contents(path("model.md3"));
    struct Case {
        const char* name;
        std::string output;
        const char* reason;
        bool restricted = false;  // run as a user the permissions refuse
    };
    std::vector<Case> cases = {
        {"missing folder", path("missing/model.md3"), "its folder does not exist"},
        {"file as folder", path("notes.txt/model.md3"), "a part of its path that must be a folder is a file"},
        {"folder", path("folder.md3"), "it is a folder"},
        {"pipe", path("pipe.md3"), "it is not a regular file"},
        {"new file, locked folder", path("locked/new.md3"), "permission denied", true},
        {"own file, locked folder", path("locked/theirs.md3"),
         "its folder is not writable, and a safe replace needs that", true},
        {"read-only file", path("open/readonly.md3"), "the file is read-only", true},
    };
    std::ofstream(path("notes.txt")) << "notes";
    ASSERT_EQ(mkdir(path("folder.md3").c_str(), 0755), 0);
    ASSERT_EQ(mkfifo(path("pipe.md3").c_str(), 0644), 0);
    ASSERT_EQ(mkdir(path("locked").c_str(), 0755), 0);
    fs::copy_file(path("model.md3"), path("locked/theirs.md3"));
    giveToRestrictedUser(path("locked/theirs.md3"));
    ASSERT_EQ(chmod(path("locked").c_str(), 0555), 0);
    ASSERT_EQ(mkdir(path("open").c_str(), 0755), 0);
    giveToRestrictedUser(path("open"));
    fs::copy_file(path("model.md3"), path("open/readonly.md3"));
    giveToRestrictedUser(path("open/readonly.md3"));
    ASSERT_EQ(chmod(path("open/readonly.md3").c_str(), 0444), 0);

    // A full disk and a read-only one, where this machine lets the test mount them.
    TinyFileSystem full(path("full"));
    TinyFileSystem readOnly(path("readonly"));
    if (full.mounted()) {
        fs::copy_file(path("model.md3"), path("full/model.md3"));
        cases.push_back({"full disk", path("full/model.md3"), "the disk is full"});
    }
    if (readOnly.mounted()) {
        fs::copy_file(path("model.md3"), path("readonly/model.md3"));
        ASSERT_TRUE(readOnly.makeReadOnly());
        cases.push_back({"read-only file system", path("readonly/model.md3"), "the file system is read-only"});
    }

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = fs::path(c.output).parent_path().string();
        const std::set<std::string> before = namesIn(folder);
        const bool hadFile = fs::is_regular_file(c.output);
        // 400 frames: far more than the tiny disk takes.
        const ProcessEnd end = runPlughost({"export", c.output, "--from", "0", "--to", "400"},
                                           c.restricted ? restrictedUser() : static_cast<uid_t>(-1));
        EXPECT_EQ(end.status, 1) << end.out;
        EXPECT_EQ(lineCount(end.out), 1u) << end.out;
        EXPECT_NE(end.out.find("plughost export: the export of '" + c.output + "' failed: " + c.reason),
                  std::string::npos)
            << end.out;
        EXPECT_NE(end.out.find("; nothing was written\n"), std::string::npos) << end.out;
        EXPECT_EQ(namesIn(folder), before);
        if (hadFile) {
            EXPECT_TRUE(contents(c.output) == earlier);
        }
    }
    if (!full.mounted() || !readOnly.mounted()) {
        std::cout << "[ NOTE     ] no tmpfs here (" << full.error() << "): full and read-only disks not tried\n";
    }
    chmod(path("locked").c_str(), 0755);
}

// What a careful writer must still write: the file a dangling link names, and output names the
// file system takes, up to its longest, whose temporary name would not fit beside them.
TEST_F(FailedSaveTest, DanglingLinksAndTheLongestNamesAreWritten) {
    ASSERT_EQ(mkdir(path("target").c_str(), 0755), 0);
    ASSERT_EQ(symlink("target/new.md3", path("link.md3").c_str()), 0);
    ProcessEnd end = runPlughost({"export", path("link.md3")});
    EXPECT_EQ(end.status, 0) << end.out;
    EXPECT_EQ(contents(path("target/new.md3")).substr(0, 4), "IDP3");
    EXPECT_TRUE(fs::is_symlink(path("link.md3")));

    for (size_t length : {240u, 250u, 255u}) {
        const std::string output = path(std::string(length - 4, 'n') + ".md3");
        end = runPlughost({"export", output});
        EXPECT_EQ(end.status, 0) << length << "\n" << end.out;
        EXPECT_EQ(runPlughost({"check", output}).status, 0) << length;
        EXPECT_EQ(runPlughost({"import", path("model.md3"), output.substr(0, output.size() - 4) + ".obj"}).status, 0);
    }
    end = runPlughost({"export", path(std::string(252, 'n') + ".md3")});
    EXPECT_EQ(end.status, 1);
    EXPECT_NE(end.out.find("its name is longer than the file system takes"), std::string::npos) << end.out;
}

// An import's save goes in whole or not at all: a glTF and its buffer (or a GLB) that were there
// survive byte for byte a save that fails, whether the scene cannot be written (a tag at NaN) or
// the disk fills, and a new save that fails leaves no file.
TEST_F(FailedSaveTest, AFailedImportSaveLeavesTheEarlierFiles) {
    modelformat::Md3Model model = testmodels::makeMd3Model(1, 1, 1);
    model.tags[0].origin.x = std::numeric_limits<float>::quiet_NaN();
    const std::vector<uint8_t> nanTag = testmodels::buildMd3(model, testmodels::SurfaceBlockOrder::ShadersFirst);
    std::ofstream(path("nantag.md3"), std::ios::binary)
        .write(reinterpret_cast<const char*>(nanTag.data()), static_cast<std::streamsize>(nanTag.size()));

    for (const char* extension : {"gltf", "glb"}) {
        SCOPED_TRACE(extension);
        const std::string precious = path(std::string("precious.") + extension);
        ASSERT_EQ(runPlughost({"import", path("model.md3"), precious}).status, 0);
        const std::string scene = contents(precious);
        const std::string buffer = contents(path("precious.bin"));
        const std::set<std::string> before = namesIn(path(""));

        const ProcessEnd end = runPlughost({"import", path("nantag.md3"), precious});
        EXPECT_EQ(end.status, 1) << end.out;
        EXPECT_NE(end.out.find("plughost import: cannot save '" + precious + "': "), std::string::npos) << end.out;
        EXPECT_NE(end.out.find("; nothing was written\n"), std::string::npos) << end.out;
        EXPECT_TRUE(contents(precious) == scene);
        EXPECT_TRUE(contents(path("precious.bin")) == buffer);
        EXPECT_EQ(namesIn(path("")), before);
    }

    TinyFileSystem small(path("small"));
    if (!small.mounted()) {
        GTEST_SKIP() << "cannot mount a tmpfs here (" << small.error() << ")";
    }
    ASSERT_EQ(runPlughost({"import", path("model.md3"), path("small/precious.gltf")}).status, 0);
    const std::string scene = contents(path("small/precious.gltf"));
    const std::string buffer = contents(path("small/precious.bin"));
    // Room for one of the two files again, not for both.
    small.fillLeaving(buffer.size() + 4096);
    const std::set<std::string> before = namesIn(path("small"));
    for (const char* output : {"small/precious.gltf", "small/new.gltf", "small/new.glb"}) {
        const ProcessEnd end = runPlughost({"import", path("model.md3"), path(output)});
        EXPECT_EQ(end.status, 1) << end.out;
        EXPECT_NE(end.out.find("the disk is full"), std::string::npos) << end.out;
        EXPECT_TRUE(contents(path("small/precious.gltf")) == scene);
        EXPECT_TRUE(contents(path("small/precious.bin")) == buffer);
        EXPECT_EQ(namesIn(path("small")), before);
    }
}
