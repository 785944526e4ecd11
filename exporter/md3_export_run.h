// One export from its start to its end: the options it was started with, the scene, the output
// stream and what the export learns on the way (the start-time collection, the tags and surfaces
// found in it, the reference tag, one collection per frame, the frame bounds). Nothing of it
// outlives the export.
#ifndef BRINDLARK_MD3_EXPORT_RUN_H
#define BRINDLARK_MD3_EXPORT_RUN_H

#include <array>
#include <memory>
#include <string>
#include <vector>

#include <max.h>
#include <modelformat/binary_writer.h>
#include <modelformat/md3_encoding.h>
#include <modelformat/output_stream.h>

#include "export_options.h"
#include "helper_thread.h"
#include "node_collector.h"
#include "progress_window.h"
#include "surface_frames.h"

class Md3ExportRun {
public:
    // The options and the stream must outlive the run; the options are not changed by it.
    Md3ExportRun(const ExportOptions& options, IScene* scene, modelformat::TargetOutputStream& output);
    Md3ExportRun(const Md3ExportRun&) = delete;
    Md3ExportRun& operator=(const Md3ExportRun&) = delete;

    // Answers 1 when the file was written and committed, or when nothing passes the filters (no
    // file is then written; the "No Data" box shows unless prompts are suppressed). Answers 0 when
    // the file could not be written completely; the stream is then left for the caller to abandon,
    // and failure() says why.
    int execute(const std::string& path, bool suppressPrompts);
    modelformat::OutputError failure() const { return failure_; }

private:
    // The node relative to which tags and vertices are expressed: "tag_torso" when found, else
    // "tag_head".
    struct ReferenceTag {
        bool torsoFound = false;
        bool headFound = false;
        int torsoPosition = 0;
        int headPosition = 0;
        bool inForce() const { return torsoFound || headFound; }
        int position() const { return torsoFound ? torsoPosition : headPosition; }
    };

    void sortNodes();
    void writeHeader(const std::string& path);
    void writeFrameRecords();
    void patchFrameBounds();
    void writeTags();
    void writeSurface(int surfacePosition);
    TimeValue frameTime(int frame) const;
    // The node at a start-time position in a frame's collection; the start-time node when the
    // frame's collection does not hold it there.
    INode* nodeAtFrame(int frame, int position) const;
    // The transform of a node at a frame, relative to the reference when one is in force.
    Matrix3 frameTransform(INode* node, int frame) const;
    void warn(const char* text, const char* caption) const;
    // The text of a name field, with the name noted when it had to be cut to fit (what: "surface",
    // "tag", ...).
    std::string nameField(const char* what, const std::string& name);
    // One warning for every name cut during the export.
    void warnOfCutNames() const;

    const ExportOptions& options_;
    IScene* scene_;
    modelformat::TargetOutputStream& output_;
    std::unique_ptr<modelformat::BinaryWriter> writer_;
    std::unique_ptr<NodeCollector> startCollection_;
    std::vector<int> tagPositions_;
    std::vector<int> surfacePositions_;
    ReferenceTag referenceTag_;
    // Built once per frame, when the frame's tags are written, and shared by every surface. The scene
    // is deliberately enumerated again at every frame, as the original writer does, although
    // nodeAtFrame keeps the start-time node either way.
    std::vector<std::unique_ptr<NodeCollector>> frameCollections_;
    std::vector<modelformat::FrameBounds> frameBounds_;
    std::vector<std::string> cutNames_;  // "surface 'name'", in the order written
    modelformat::OutputError failure_ = modelformat::OutputError::None;
    int frameCount_;
    TimeValue startTime_;
    ProgressWindow progress_;
    std::array<FrameBatch, 3> frameBatches_;  // a surface's frames on their way to the file
    HelperThread helper_;                     // encodes frames beside the thread that takes them from the scene
};

#endif
