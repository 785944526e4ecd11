// A folder of its own under the system's temporary folder for one test's files, removed with the
// object. Its name is made unique (mkdtemp), so test programs running at the same time, from one
// checkout or several, never share a file.
#ifndef TESTS_SUPPORT_SCRATCH_FOLDER_H
#define TESTS_SUPPORT_SCRATCH_FOLDER_H

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include <gtest/gtest.h>

namespace testsupport {

class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = ::testing::TempDir() + "qmp-test-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            ADD_FAILURE() << "no scratch folder under " << ::testing::TempDir();
            return;
        }
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (!path_.empty()) {
            std::filesystem::remove_all(path_, ignored);
        }
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    // Writes bytes to a file of the folder and answers its path.
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::string file = this->file(name);
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        EXPECT_TRUE(out) << "could not write " << file;
        return file;
    }

private:
    std::filesystem::path path_;
};

}  // namespace testsupport

#endif
