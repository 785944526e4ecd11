// The file stream replaces its target only when complete; memory streams seek and overwrite.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

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
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    int entries() const {
        int count = 0;
        for (const std::string& name : listing()) {
            count += name != "." && name != ".." ? 1 : 0;
        }
        return count;
    }

private:
    std::vector<std::string> listing() const;
    std::string path_;
};

std::vector<std::string> TempDir::listing() const {
    std::vector<std::string> names;
    std::FILE* pipe = popen(("ls -a '" + path_ + "'").c_str(), "r");
    char line[512];
    while (pipe != nullptr && std::fgets(line, sizeof line, pipe) != nullptr) {
        std::string name(line);
        name.erase(name.find_last_not_of('\n') + 1);
        names.push_back(name);
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

}  // namespace

TEST(FileOutputStream, CommitPutsTheCompleteFileInPlace) {
    TempDir dir;
    const std::string target = dir.file("model.md3");
    { std::ofstream(target) << "old contents"; }
    FileOutputStream out;
    ASSERT_TRUE(out.open(target));
    ASSERT_TRUE(out.write("abcdef", 6));
    EXPECT_EQ(contents(target), "old contents");  // untouched until committed
    ASSERT_TRUE(out.seek(2));
    ASSERT_TRUE(out.write("XY", 2));
    EXPECT_EQ(out.position(), 4);
    ASSERT_TRUE(out.commit());
    EXPECT_EQ(contents(target), "abXYef");
    EXPECT_EQ(dir.entries(), 1);
}

TEST(FileOutputStream, AnAbandonedOrFailedStreamLeavesNothingBehind) {
    TempDir dir;
    const std::string target = dir.file("model.md3");
    {
        FileOutputStream out;
        ASSERT_TRUE(out.open(target));
        out.write("partial", 7);
    }  // destroyed without commit
    EXPECT_EQ(dir.entries(), 0);

    std::ofstream(target) << "keep me";
    FileOutputStream out;
    ASSERT_TRUE(out.open(target));
    out.write("abc", 3);
    EXPECT_FALSE(out.seek(-1));
    EXPECT_TRUE(out.failed());
    EXPECT_FALSE(out.write("d", 1));  // failure is sticky
    EXPECT_FALSE(out.commit());
    EXPECT_EQ(contents(target), "keep me");
    EXPECT_EQ(dir.entries(), 1);
}

TEST(FileOutputStream, RefusesPathsItCannotOrMustNotReplace) {
    TempDir dir;
    FileOutputStream out;
    EXPECT_FALSE(out.open(dir.file("missing-folder/model.md3")));
    EXPECT_FALSE(out.open(dir.file("")));  // the folder itself
    EXPECT_FALSE(out.open("/dev/null"));   // a device is never replaced by a file
    EXPECT_FALSE(out.open(""));
}

TEST(FileOutputStream, KeepsTheModeOfTheFileItReplacesAndFollowsLinks) {
    TempDir dir;
    const std::string target = dir.file("model.md3");
    std::ofstream(target) << "x";
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    const std::string link = dir.file("link.md3");
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    FileOutputStream out;
    ASSERT_TRUE(out.open(link));
    out.write("new", 3);
    ASSERT_TRUE(out.commit());
    struct stat info {};
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(contents(target), "new");
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
