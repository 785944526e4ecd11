// A failed write, seek or close is a failed export: the answer is 0, nothing is left at the
// output path, a file that was there before survives, and the thread's last error says why.
#include <sys/mount.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include <mesh_builders.h>

#include "export_harness.h"

namespace {

// A file stream that fails on demand, as a full disk or a vanished device would.
class FailingStream : public modelformat::FileOutputStream {
public:
    enum class Mode { WriteAfterBudget, Seek, Commit };
    FailingStream(Mode mode, size_t budget) : mode_(mode), budget_(budget) {}

    bool write(const void* data, size_t size) override {
        if (mode_ == Mode::WriteAfterBudget) {
            if (size > budget_) {
                return fail();
            }
            budget_ -= size;
        }
        return FileOutputStream::write(data, size);
    }
    bool seek(int64_t position) override {
        if (mode_ == Mode::Seek && ++seeks_ > budget_) {
            return fail();
        }
        return FileOutputStream::seek(position);
    }
    bool commit() override {
        if (mode_ == Mode::Commit) {
            abandon();
            return fail();
        }
        return FileOutputStream::commit();
    }

private:
    Mode mode_;
    size_t budget_;
    size_t seeks_ = 0;
};

host::Scene& figure(host::Scene& scene) {
    host::SceneNode* torso = addTag(scene, "tag_torso", TransMatrix(Point3(0.0f, 0.0f, 10.0f)));
    addBox(scene, "body", Point3(0.0f, 0.0f, 0.0f), torso);
    host::SceneNode* legs = scene.addNode("legs");
    legs->setDeformingMesh([](TimeValue time, Mesh& mesh) {
        mesh = host::makeCylinder(Point3(0.0f, 0.0f, 0.0f), 3.0f, 10.0f, 16, 8, [time](const Point3& p) {
            return Point3(p.x + 0.001f * static_cast<float>(time) * p.z, p.y, p.z);
        });
    });
    return scene;
}

}  // namespace

class WriterFailureTest : public ExporterTest {
protected:
    void writeEarlierFile() { std::ofstream(outputPath()) << "an earlier export"; }
    void expectEarlierFileKept() {
        std::ifstream in(outputPath());
        std::string text;
        std::getline(in, text);
        EXPECT_EQ(text, "an earlier export");
        EXPECT_EQ(folderEntries(directory()), 1);
    }
};

TEST_F(WriterFailureTest, EveryKindOfStreamFailureFailsTheExport) {
    host::Scene scene;
    figure(scene);
    setFrames(0, 3);
    const ExportRun good = exportScene(scene);
    ASSERT_EQ(good.result, 1);
    const size_t size = good.bytes.size();

    const std::pair<FailingStream::Mode, size_t> failures[] = {
        {FailingStream::Mode::WriteAfterBudget, 0},
        {FailingStream::Mode::WriteAfterBudget, 100},
        {FailingStream::Mode::WriteAfterBudget, size / 2},
        {FailingStream::Mode::WriteAfterBudget, size - 1},
        {FailingStream::Mode::Seek, 0},
        {FailingStream::Mode::Seek, 5},
        {FailingStream::Mode::Commit, 0},
    };
    for (const auto& [mode, budget] : failures) {
        writeEarlierFile();
        exportOptions.useNamePrefixes = false;
        exportOptions.namePrefixes = {"x"};
        desktop.shown.clear();
        desktop.destroyed.clear();
        FailingStream stream(mode, budget);
        SetLastError(ERROR_SUCCESS);
        const ExportRun run = exportScene(scene, 0, FALSE, &stream);
        EXPECT_EQ(run.result, 0) << static_cast<int>(mode) << " after " << budget;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));  // a failure without a reason
        expectEarlierFileKept();
        EXPECT_EQ(desktop.destroyed.size(), desktop.shown.size());  // the progress window closed
        EXPECT_TRUE(exportOptions.namePrefixes.empty());
        EXPECT_TRUE(desktop.messageBoxes.empty());  // a failure is the answer, not a message
    }
}

TEST_F(WriterFailureTest, AnOutputPathThatCannotBeCreatedAnswersZero) {
    host::Scene scene;
    figure(scene);
    Md3FileWriter writer;
    const std::string path = directory() + "/no-such-folder/model.md3";
    EXPECT_EQ(writer.writeFile(path.c_str(), scene.exportContext(), &hostInterface, FALSE, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(fileExists(path));
    EXPECT_EQ(desktop.shown.size(), 1u);
    EXPECT_EQ(desktop.destroyed.size(), 1u);
    EXPECT_TRUE(desktop.messageBoxes.empty());
}

// A real full disk: a tiny tmpfs mounted for the test (needs root; skipped where refused).
TEST_F(WriterFailureTest, AFullDiskLeavesTheEarlierFileInPlace) {
    const std::string mountPoint = directory();
    if (mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=32k") != 0) {
        GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno) << ")";
    }
    struct Unmount {
        std::string path;
        ~Unmount() { umount(path.c_str()); }
    } unmount{mountPoint};

    writeEarlierFile();
    host::Scene scene;
    figure(scene);
    setFrames(0, 60);  // far more than 32 KiB
    const ExportRun run = exportScene(scene);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    expectEarlierFileKept();

    // The same export fits when it is small.
    setFrames(0, 0);
    const ExportRun small = exportScene(scene);
    EXPECT_EQ(small.result, 1);
    EXPECT_TRUE(small.read.ok);
}
