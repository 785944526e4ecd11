// Test support for the exporter: scenes built in code, exports into a temporary folder with a
// desktop that records what a person would see, and the written file read back.
#ifndef TESTS_EXPORTER_EXPORT_HARNESS_H
#define TESTS_EXPORTER_EXPORT_HARNESS_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <recording_desktop.h>
#include <export_options.h>
#include <md3_file_writer.h>
#include <modelformat/md3_reader.h>
#include <scene.h>

struct ExportRun {
    int result = 0;
    bool written = false;
    std::vector<uint8_t> bytes;
    modelformat::Md3ReadResult read;
    const modelformat::Md3Model& model() const { return read.model; }
};

class ExporterTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Exports the scene with the current exportOptions (frames, switches, lists) and reads the
    // file back. The writer's own stream unless one is given.
    ExportRun exportScene(host::Scene& scene, DWORD options = 0, BOOL suppressPrompts = FALSE,
                          modelformat::TargetOutputStream* stream = nullptr);
    std::string outputPath() const { return directory_ + "/model.md3"; }
    const std::string& directory() const { return directory_; }
    void setFrames(int start, int end) {
        exportOptions.startFrame = start;
        exportOptions.endFrame = end;
    }

    // Every text the progress window was given, in order.
    std::vector<std::string> progressTexts() const;

    win32::RecordingDesktop desktop;
    host::HostInterface hostInterface;

private:
    std::string directory_;
};

// Scene building blocks.
host::SceneNode* addTag(host::Scene& scene, const std::string& name, const Matrix3& transform,
                        host::SceneNode* parent = nullptr);
host::SceneNode* addBox(host::Scene& scene, const std::string& name, const Point3& at,
                        host::SceneNode* parent = nullptr);
// A bitmap-textured material for the node.
void giveTexture(host::Scene& scene, host::SceneNode* node, const std::string& file);

std::vector<uint8_t> readFileBytes(const std::string& path);
int32_t int32At(const std::vector<uint8_t>& bytes, size_t at);
float float32At(const std::vector<uint8_t>& bytes, size_t at);
bool fileExists(const std::string& path);
// The number of entries in a folder.
int folderEntries(const std::string& path);

#endif
