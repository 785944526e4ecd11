// The export run: collects the scene, writes the file header, the frame records and the tags of
// every frame, hands each mesh node to the surface builder and patches the offsets.
#include "md3_export_run.h"

#include <cstring>

#include <modelformat/md3_format.h>
#include <plugin_module.h>

using modelformat::BinaryWriter;
using modelformat::PatchSite;

namespace {

bool isTagName(const char* name) { return std::strncmp(name, "tag_", 4) == 0; }

const char kCutNamesCaption[] = "Long Names";
// Cut names listed in the warning; the rest are counted.
constexpr size_t kCutNamesListed = 4;

}  // namespace

Md3ExportRun::Md3ExportRun(const ExportOptions& options, IScene* scene, modelformat::TargetOutputStream& output)
    : options_(options),
      scene_(scene),
      output_(output),
      frameCount_(options.endFrame - options.startFrame + 1),
      startTime_(options.startFrame * options.ticksPerFrame) {}

TimeValue Md3ExportRun::frameTime(int frame) const { return (options_.startFrame + frame) * options_.ticksPerFrame; }

int Md3ExportRun::execute(const std::string& path, bool suppressPrompts) {
    startCollection_ = std::make_unique<NodeCollector>(scene_, startTime_, options_);
    if (startCollection_->count() == 0) {
        if (!suppressPrompts) {
            MessageBoxA(GetActiveWindow(), "No Data to export.", "No Data", MB_OK);
        }
        return 1;
    }

    progress_.open(pluginInstance());
    sortNodes();
    if (!output_.open(path)) {
        failure_ = output_.error();
        return 0;
    }
    writer_ = std::make_unique<BinaryWriter>(output_);

    frameBounds_.assign(frameCount_ > 0 ? static_cast<size_t>(frameCount_) : 0, modelformat::FrameBounds());
    writeHeader(path);
    const PatchSite tagsOffset = writer_->reserveOffset(0);
    const PatchSite surfacesOffset = writer_->reserveOffset(256);
    const PatchSite endOffset = writer_->reserveOffset(512);

    writeFrameRecords();
    writer_->patchWithCurrentPosition(tagsOffset);
    writeTags();
    writer_->patchWithCurrentPosition(surfacesOffset);
    for (int position : surfacePositions_) {
        writeSurface(position);
    }
    writer_->patchWithCurrentPosition(endOffset);
    patchFrameBounds();

    if (writer_->failed() || !writer_->allPatched()) {
        failure_ = writer_->failed() ? writer_->error() : modelformat::OutputError::Other;
        return 0;
    }
    if (!output_.commit()) {
        failure_ = output_.error();
        return 0;
    }
    warnOfCutNames();
    return 1;
}

void Md3ExportRun::sortNodes() {
    for (int position = 0; position < startCollection_->count(); ++position) {
        INode* node = startCollection_->nodeAt(position);
        const char* name = node->GetName() != nullptr ? node->GetName() : "";
        if (isTagName(name)) {
            if (options_.relativeToTag) {
                if (std::strcmp(name, "tag_head") == 0) {
                    referenceTag_.headFound = true;
                    referenceTag_.headPosition = position;
                } else if (std::strcmp(name, "tag_torso") == 0) {
                    referenceTag_.torsoFound = true;
                    referenceTag_.torsoPosition = position;
                }
            }
            tagPositions_.push_back(position);
            continue;
        }
        EvaluatedMesh evaluated(node, startTime_);
        if (evaluated.mesh() != nullptr && evaluated.mesh()->getNumFaces() > 0) {
            surfacePositions_.push_back(position);
        }
    }
}

void Md3ExportRun::writeHeader(const std::string& path) {
    writer_->writeBytes(modelformat::kMd3Magic, sizeof modelformat::kMd3Magic);
    writer_->writeInt32(modelformat::kMd3Version);
    writer_->writeTextField(nameField("model name", options_.smartPaths ? modelformat::smartPath(path) : path),
                            modelformat::kMd3ModelNameLength);
    writer_->writeInt32(frameCount_);
    writer_->writeInt32(static_cast<int32_t>(tagPositions_.size()));
    writer_->writeInt32(static_cast<int32_t>(surfacePositions_.size()));
    writer_->writeInt32(0);  // skins
    writer_->writeInt32(modelformat::kMd3HeaderSize);
}

void Md3ExportRun::writeFrameRecords() {
    // Provisional bounds; patchFrameBounds replaces them once the surfaces are written.
    for (int frame = 0; frame < frameCount_; ++frame) {
        for (float value : {-1.0f, -1.0f, -1.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f}) {
            writer_->writeFloat32(value);
        }
        writer_->writeTextField(modelformat::kMd3FrameName, modelformat::kMd3FrameNameLength);
    }
}

void Md3ExportRun::patchFrameBounds() {
    const int64_t end = writer_->position();
    for (size_t frame = 0; frame < frameBounds_.size(); ++frame) {
        const modelformat::FrameBounds& bounds = frameBounds_[frame];
        if (bounds.empty()) {
            continue;  // a frame without vertices keeps the fixed values
        }
        writer_->seek(modelformat::kMd3HeaderSize + static_cast<int64_t>(frame) * modelformat::kMd3FrameSize);
        for (const modelformat::Md3Vec3& corner : {bounds.minCorner(), bounds.maxCorner()}) {
            writer_->writeFloat32(corner.x);
            writer_->writeFloat32(corner.y);
            writer_->writeFloat32(corner.z);
        }
        for (int axis = 0; axis < 3; ++axis) {
            writer_->writeFloat32(0.0f);  // local origin
        }
        writer_->writeFloat32(bounds.radius());
    }
    writer_->seek(end);
}

INode* Md3ExportRun::nodeAtFrame(int frame, int position) const {
    INode* startNode = startCollection_->nodeAt(position);
    INode* frameNode = frameCollections_[static_cast<size_t>(frame)]->nodeAt(position);
    return frameNode == startNode ? frameNode : startNode;
}

Matrix3 Md3ExportRun::frameTransform(INode* node, int frame) const {
    const TimeValue time = frameTime(frame);
    Matrix3 transform = node->GetObjectTM(time, nullptr);
    if (referenceTag_.inForce()) {
        INode* reference = nodeAtFrame(frame, referenceTag_.position());
        transform *= Inverse(reference->GetObjectTM(time, nullptr));
    }
    return transform;
}

void Md3ExportRun::writeTags() {
    frameCollections_.reserve(frameCount_ > 0 ? static_cast<size_t>(frameCount_) : 0);
    for (int frame = 0; frame < frameCount_; ++frame) {
        // The frame's one collection: the scene is evaluated lazily, so it costs node lookups.
        frameCollections_.push_back(std::make_unique<NodeCollector>(scene_, frameTime(frame), options_));
        progress_.setText("Writing Tags in Frame %d of %d\n", frame, frameCount_ - 1);
        for (int position : tagPositions_) {
            INode* node = nodeAtFrame(frame, position);
            const Matrix3 transform = frameTransform(node, frame);
            const std::string name = node->GetName() != nullptr ? node->GetName() : "";
            // Noted once, in the first frame; every frame writes the same name.
            writer_->writeTextField(frame == 0 ? nameField("tag", name) : modelformat::nameFieldText(name),
                                    modelformat::kMd3TagNameLength);
            for (int row : {3, 0, 1, 2}) {
                const Point3 values = transform.GetRow(row);
                writer_->writeFloat32(values.x);
                writer_->writeFloat32(values.y);
                writer_->writeFloat32(values.z);
            }
        }
    }
}

void Md3ExportRun::warn(const char* text, const char* caption) const {
    if (options_.showWarnings) {
        MessageBoxA(GetActiveWindow(), text, caption, MB_OK);
    }
}

std::string Md3ExportRun::nameField(const char* what, const std::string& name) {
    if (modelformat::nameFieldCuts(name)) {
        cutNames_.push_back(std::string(what) + " '" + name.c_str() + "'");
    }
    return modelformat::nameFieldText(name);
}

void Md3ExportRun::warnOfCutNames() const {
    if (cutNames_.empty()) {
        return;
    }
    std::string text = std::to_string(cutNames_.size()) + (cutNames_.size() == 1 ? " name was" : " names were") +
                       " longer than the " + std::to_string(modelformat::kMd3MaxNameLength) +
                       " characters an MD3 name holds and " + (cutNames_.size() == 1 ? "was" : "were") + " cut to fit:";
    for (size_t i = 0; i < cutNames_.size() && i < kCutNamesListed; ++i) {
        text += "\n" + cutNames_[i];
    }
    if (cutNames_.size() > kCutNamesListed) {
        text += "\nand " + std::to_string(cutNames_.size() - kCutNamesListed) + " more.";
    }
    warn(text.c_str(), kCutNamesCaption);
}
