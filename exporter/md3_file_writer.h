// One export: the scene's tags and mesh nodes written to an MD3 file over the frame range of
// the export options.
#ifndef BRINDLARK_MD3_FILE_WRITER_H
#define BRINDLARK_MD3_FILE_WRITER_H

#include <memory>
#include <string>
#include <vector>

#include <max.h>
#include <modelformat/binary_writer.h>
#include <modelformat/md3_encoding.h>
#include <modelformat/output_stream.h>

#include "node_collector.h"
#include "progress_window.h"

class Md3FileWriter {
public:
    // Writes through the given stream instead of a file of its own (tests use failing streams).
    explicit Md3FileWriter(modelformat::TargetOutputStream* output = nullptr) : output_(output) {}

    // Answers 1 when the export ran to its end or found nothing to export, 0 when the file
    // could not be written completely (nothing is then left at the path, and a file that was
    // there before is kept).
    int writeFile(const TCHAR* path, ExpInterface* exportContext, Interface* host, BOOL suppressPrompts, DWORD options);

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

    int exportScene(const TCHAR* path, IScene* scene, BOOL suppressPrompts);
    void sortNodes();
    void writeHeader(const std::string& path);
    void writeFrameRecords();
    void patchFrameBounds();
    void writeTags();
    void writeSurface(int surfacePosition);
    NodeCollector& buildFrameCollection(int frame);
    // The node at a start-time position in a frame's collection; the start-time node when the
    // frame's collection does not hold it there.
    INode* nodeAtFrame(const NodeCollector& frameCollection, int position) const;
    // The transform of a node at a time, relative to the reference when one is in force.
    Matrix3 frameTransform(INode* node, const NodeCollector& frameCollection, TimeValue time) const;
    void warn(const char* text, const char* caption) const;
    TimeValue frameTime(int frame) const;

    modelformat::TargetOutputStream* output_;
    std::unique_ptr<modelformat::FileOutputStream> ownedOutput_;
    std::unique_ptr<modelformat::BinaryWriter> writer_;
    IScene* scene_ = nullptr;
    std::unique_ptr<NodeCollector> startCollection_;
    std::vector<int> tagPositions_;
    std::vector<int> surfacePositions_;
    ReferenceTag referenceTag_;
    // Deliberately a new collection per frame, the scene enumerated again each time, as the original writer does.
    std::vector<std::unique_ptr<NodeCollector>> frameCollections_;
    std::vector<modelformat::FrameBounds> frameBounds_;
    int frameCount_ = 0;
    TimeValue startTime_ = 0;
    ProgressWindow progress_;
};

#endif
