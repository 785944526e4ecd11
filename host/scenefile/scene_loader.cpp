// Reading scene files through assimp into the host's scene model, converted to the host's Z-up frame.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <map>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include <assimp/Importer.hpp>
#include <assimp/config.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include "animation_keys.h"
#include "assimp_scene_loader.h"
#include "embedded_images.h"
#include "file_animation.h"
#include "gltf_interpolation.h"
#include "mesh_welding.h"
#include "object_takes.h"
#include "scene_file.h"
#include "scene_folder_io.h"

#include <mesh_builders.h>

namespace host {

namespace {

using scenefile::DeformingMeshData;
using scenefile::FileAnimation;
using scenefile::KeyInterpolation;
using scenefile::WeldedVertices;

// Triangles only: polygons are split, points and lines dropped, vertices that agree in every
// attribute shared (OBJ gives one per corner); texture seams stay split because their
// coordinates differ, until the loader welds them into geometric vertices (mesh_welding.h).
constexpr unsigned kImportSteps =
    aiProcess_Triangulate | aiProcess_JoinIdenticalVertices | aiProcess_SortByPType | aiProcess_ValidateDataStructure;
// What assimp's own viewer assumes when an animation gives no rate.
constexpr double kUnstatedTicksPerSecond = 25.0;
// Scenes are read in metres, as glTF defines them and COLLADA's <unit> gives them (assimp puts that
// unit's scale on the COLLADA root). FBX states its unit as a number of centimetres, its
// GlobalSettings' UnitScaleFactor, which assimp passes on in the scene's metadata.
constexpr double kMetresPerCentimetre = 0.01;
// Blender's FBX writer expresses the file's unit on its top nodes: each top object is scaled from
// Blender's unit (the metre) to the unit the file states (100 with its default "All Local" scaling,
// which states centimetres); its other scaling options share the same factor between those scales
// and the stated unit. Recognised by the creator it writes into the file's header.
constexpr char kBlenderFbxWriter[] = "Blender (stable FBX IO)";
// A "*N" texture reference past the file's embedded images.
constexpr int kMissingEmbeddedTexture = -2;

// The rotation from the file's axes to the host's: the file's right, up and front directions
// become the host's +X, +Z and -Y. As rows of a column-vector matrix.
aiMatrix4x4 axesToHost(const aiVector3D& right, const aiVector3D& up, const aiVector3D& front) {
    return aiMatrix4x4(right.x, right.y, right.z, 0.0f,     //
                       -front.x, -front.y, -front.z, 0.0f,  //
                       up.x, up.y, up.z, 0.0f,              //
                       0.0f, 0.0f, 0.0f, 1.0f);
}

aiVector3D signedAxis(int axis, int sign) {
    aiVector3D v(0.0f, 0.0f, 0.0f);
    v[static_cast<unsigned>(axis)] = sign < 0 ? -1.0f : 1.0f;
    return v;
}

// Up alone: the front is the host's usual companion of that up (+Z beside a Y up, -Y beside a
// Z up), and right completes a right-handed frame.
aiMatrix4x4 upToHost(const aiVector3D& up) {
    const aiVector3D front = std::fabs(up.z) > 0.5f ? aiVector3D(0.0f, -1.0f, 0.0f) : aiVector3D(0.0f, 0.0f, 1.0f);
    return axesToHost(up ^ front, up, front);
}

// A number from the metadata, whichever numeric type the reader stored it as.
bool metadataNumber(const aiMetadata* metadata, const char* key, double& value) {
    const aiMetadataEntry* entry = nullptr;
    for (unsigned i = 0; metadata != nullptr && i < metadata->mNumProperties && entry == nullptr; ++i) {
        if (metadata->mKeys[i] == aiString(key)) {
            entry = &metadata->mValues[i];
        }
    }
    if (entry == nullptr || entry->mData == nullptr) {
        return false;
    }
    switch (entry->mType) {
    case AI_FLOAT:
        value = *static_cast<const float*>(entry->mData);
        return true;
    case AI_DOUBLE:
        value = *static_cast<const double*>(entry->mData);
        return true;
    case AI_INT32:
        value = *static_cast<const int32_t*>(entry->mData);
        return true;
    default:
        return false;
    }
}

bool writtenByBlenderFbx(const aiMetadata* metadata) {
    aiString generator;
    return metadata != nullptr && metadata->Get("SourceAsset_Generator", generator) &&
           std::string(generator.C_Str()).rfind(kBlenderFbxWriter, 0) == 0;
}

bool metadataAxis(const aiMetadata* metadata, const char* axisKey, const char* signKey, aiVector3D& axis) {
    int32_t index = -1;
    int32_t sign = 1;
    if (metadata == nullptr || !metadata->Get(axisKey, index) || index < 0 || index > 2) {
        return false;
    }
    metadata->Get(signKey, sign);
    axis = signedAxis(index, sign);
    return true;
}

// A uniform scale about the origin scales every translation and position alike, so rotations
// stay pure and tags keep unit axes.
void scaleTranslation(aiMatrix4x4& m, float scale) {
    m.a4 *= scale;
    m.b4 *= scale;
    m.c4 *= scale;
}

// The texture name a material keeps. The exporter writes a shader name from its first "models"
// on, so a name holding "models" stays as written; otherwise a relative name is resolved against
// the scene file's folder when that puts it inside a "models" folder (a scene saved in a mod's
// models tree), and else stays as written too: a game path or a bare shader name ("skin_red",
// "models\weapons2\bfg\bfgtube") then comes back to the game as the file gave it, not as a
// path of this machine. Windows absolute names are kept; "*N" names the N-th embedded image.
std::string texturePathFor(const std::filesystem::path& folder, const std::string& name) {
    const char kModels[] = "models";
    if (name.empty() || name[0] == '*' || name.find(kModels) != std::string::npos) {
        return name;
    }
    const bool windowsAbsolute =
        (name.size() > 2 && name[1] == ':' && (name[2] == '\\' || name[2] == '/')) || name.rfind("\\\\", 0) == 0;
    if (windowsAbsolute) {
        return name;
    }
    std::string slashed = name;
    for (char& c : slashed) {
        if (c == '\\') {
            c = '/';
        }
    }
    const std::filesystem::path texture(slashed);
    if (texture.is_absolute()) {
        return name;
    }
    const std::string resolved = (folder / texture).lexically_normal().string();
    return resolved.find(kModels) != std::string::npos ? resolved : name;
}

class FileLoader {
public:
    FileLoader(const aiScene& file, const std::string& path, const SceneLoadOptions& options, Scene& scene,
               SceneLoadResult& result)
        : file_(file),
          path_(path),
          options_(options),
          scene_(scene),
          result_(result),
          animation_(std::make_shared<FileAnimation>()),
          embeddedNames_(options.embeddedTextureFolder) {}

    // The interpolations a glTF document states, by animation (assimp drops them).
    void useGltfInterpolations(std::vector<scenefile::GltfInterpolations> interpolations) {
        gltfInterpolations_ = std::move(interpolations);
    }

    bool load() {
        flatten();
        if (!chooseAnimation() || !chooseFrameRate() || !chooseUnits()) {
            return false;
        }
        chooseAxes();
        readNodes();
        readAnimation();
        animation_->prepare();
        for (const auto& node : scene_.nodes()) {
            takenNames_.insert(node->name());
        }
        const aiNode* root = file_.mRootNode;
        // The root stands for the file's scene itself (FBX's "RootNode", the COLLADA visual
        // scene, an OBJ file's name) when it only holds the top nodes: they become the host's top
        // nodes and carry its transform, which for COLLADA and 3DS is assimp's turn to Y-up.
        const bool container = isContainer(root);
        aiMatrix4x4 rootTransform = container ? root->mTransformation : aiMatrix4x4();
        scaleTranslation(rootTransform, sizeScale_);
        const aiMatrix4x4 toHostWorld = toHost_ * rootTransform;
        if (framesInFileAxes_) {
            frame_ = toHostWorld;
            frameInverse_ = toHostWorld;
            frameInverse_.Inverse();
        }
        // A unit its writer put on the top nodes is taken off them there, with their axes.
        const aiMatrix4x4 toTopNodes = toHostWorld * unitOnTopNodes_;
        if (container) {
            addHostNodes(std::vector<const aiNode*>(root->mChildren, root->mChildren + root->mNumChildren), toTopNodes);
        } else {
            addHostNodes({root}, toTopNodes);
        }
        for (std::string& warning : droppedKeys_.warnings()) {
            result_.warnings.push_back(std::move(warning));
        }
        result_.embeddedImages = embeddedNames_.take();
        SetFrameRate(result_.frameRate);
        return true;
    }

private:
    bool chooseAnimation() {
        for (unsigned i = 0; i < file_.mNumAnimations; ++i) {
            result_.animationNames.emplace_back(file_.mAnimations[i]->mName.C_Str());
        }
        const int count = static_cast<int>(file_.mNumAnimations);
        std::vector<int>& played = result_.animationsPlayed;
        const scenefile::ObjectTakes objectTakes = scenefile::readObjectTakes(file_, {nodeByName_, parents_, flat_});
        if (objectTakes.recognised()) {
            result_.actionNames = objectTakes.actions;
        }
        if (!options_.animationName.empty()) {
            for (int i = 0; i < count; ++i) {
                if (result_.animationNames[static_cast<size_t>(i)] == options_.animationName) {
                    played.push_back(i);
                    return true;
                }
            }
            // Of Blender's per-object takes, an action's name plays that action's takes together.
            played = objectTakes.takesOfAction(options_.animationName);
            if (!played.empty()) {
                heldTakes_ = objectTakes.ownTakesBesides(played);
                result_.notes.push_back("the action \"" + options_.animationName + "\" plays its takes" +
                                        listAnimations(played, true) +
                                        "; the other objects hold the first key of their own take, else stay as the "
                                        "file places them");
                return true;
            }
            result_.error =
                "no animation named \"" + options_.animationName + "\" in " + path_ + listAnimations() + listActions();
            return false;
        }
        if (options_.animationIndex >= 0) {
            if (options_.animationIndex >= count) {
                result_.error = "no animation number " + std::to_string(options_.animationIndex) + " in " + path_ +
                                listAnimations();
                return false;
            }
            played.push_back(options_.animationIndex);
            return true;
        }
        for (int i = 0; i < count; ++i) {
            played.push_back(i);
        }
        if (count < 2 || options_.allAnimations) {
            return true;
        }
        if (animationsMoveDifferentNodes()) {
            result_.notes.push_back("its " + std::to_string(count) +
                                    " animations move different nodes and play together (choose one with --animation)");
            return true;
        }
        if (objectTakes.recognised()) {
            played = objectTakes.own;
            result_.notes.push_back("its " + std::to_string(count) +
                                    " takes are one per object and action, as Blender writes them; each object's own "
                                    "plays, together:" +
                                    listAnimations(played, true) + "; not played:" + listAnimations(played, false) +
                                    " (choose one with --animation NAME|N, or all)");
            return true;
        }
        played.resize(1);
        result_.notes.push_back("the first of its animations is sampled" + listAnimations() +
                                "; choose with --animation NAME|N, or all to play them together");
        return true;
    }

    // Exporters write one animation per animated object (an armature's, a prop's) where the scene
    // had one timeline; alternative takes of one figure move the same nodes.
    bool animationsMoveDifferentNodes() const {
        std::unordered_set<std::string> moved;
        for (unsigned a = 0; a < file_.mNumAnimations; ++a) {
            const aiAnimation* animation = file_.mAnimations[a];
            std::unordered_set<std::string> own;
            for (unsigned c = 0; c < animation->mNumChannels; ++c) {
                own.insert(animation->mChannels[c]->mNodeName.C_Str());
            }
            for (unsigned c = 0; c < animation->mNumMorphMeshChannels; ++c) {
                own.insert(std::string("morph:") + animation->mMorphMeshChannels[c]->mName.C_Str());
            }
            for (const std::string& name : own) {
                if (!moved.insert(name).second) {
                    return false;
                }
            }
        }
        return true;
    }

    // The animations listed in indices (or, with listed false, those not in it): N "name", ...
    std::string listAnimations(const std::vector<int>& indices, bool listed) const {
        std::vector<bool> inIndices(result_.animationNames.size(), false);
        for (const int index : indices) {
            inIndices[static_cast<size_t>(index)] = true;
        }
        std::string list;
        for (size_t i = 0; i < result_.animationNames.size(); ++i) {
            if (inIndices[i] == listed) {
                list += (list.empty() ? " " : ", ") + std::to_string(i) + " \"" + result_.animationNames[i] + "\"";
            }
        }
        return list.empty() ? " none" : list;
    }

    // The actions of Blender's per-object takes, which --animation also takes by name.
    std::string listActions() const {
        std::string list;
        for (const std::string& action : result_.actionNames) {
            list += (list.empty() ? " (its actions: \"" : ", \"") + action + "\"";
        }
        return list.empty() ? list : list + ")";
    }

    std::string listAnimations() const {
        if (result_.animationNames.empty()) {
            return " (it has none)";
        }
        std::string list = " (it has";
        for (size_t i = 0; i < result_.animationNames.size(); ++i) {
            list += (i == 0 ? " " : ", ") + std::to_string(i) + " \"" + result_.animationNames[i] + "\"";
        }
        return list + ")";
    }

    // The first animation played: its key rate is the one all played keys are counted in.
    const aiAnimation* chosen() const {
        return result_.animationsPlayed.empty() ? nullptr : file_.mAnimations[result_.animationsPlayed.front()];
    }

    // A rate that is not a positive finite number is taken as unstated.
    static double ticksPerSecondOf(const aiAnimation& animation) {
        const double rate = animation.mTicksPerSecond;
        return rate > 0.0 && std::isfinite(rate) ? rate : kUnstatedTicksPerSecond;
    }

    bool chooseFrameRate() {
        const aiAnimation* animation = chosen();
        const double stated =
            animation != nullptr && std::isfinite(animation->mTicksPerSecond) ? animation->mTicksPerSecond : 0.0;
        animation_->ticksPerSecond = animation != nullptr ? ticksPerSecondOf(*animation) : kUnstatedTicksPerSecond;
        if (options_.frameRate < 0 || options_.frameRate > TIME_TICKSPERSEC) {
            result_.error = "frame rate " + std::to_string(options_.frameRate) + " is outside 1 to " +
                            std::to_string(TIME_TICKSPERSEC) + " frames per second";
            return false;
        }
        result_.frameRate = options_.frameRate;
        if (result_.frameRate == 0) {
            const double rate = animation_->ticksPerSecond;
            const bool frameBased = rate >= kMinFileFrameRate && rate <= kMaxFileFrameRate && rate == std::floor(rate);
            result_.frameRate = stated > 0.0 && frameBased ? static_cast<int>(rate) : kDefaultFrameRate;
        }
        return true;
    }

    // The size of the scene: the file's unit in metres times the asked scale. It scales every
    // translation, vertex, bone offset and morph offset, never a node's axes, so that a tag keeps
    // its modelled rotation and scale. Where the writer expressed the unit as a scale of the top
    // nodes (Blender's FBX), the unit goes on the top nodes instead, where it cancels that scale.
    bool chooseUnits() {
        const aiMetadata* metadata = file_.mMetaData;
        double metresPerUnit = 1.0;
        double centimetres = 0.0;
        if (metadataNumber(metadata, "UnitScaleFactor", centimetres)) {
            if (std::isfinite(centimetres) && centimetres > 0.0) {
                metresPerUnit = centimetres * kMetresPerCentimetre;
            } else {
                result_.warnings.push_back("the file's unit (UnitScaleFactor " + numberText(centimetres) +
                                           ") is not a positive number; it is taken as the centimetre");
                metresPerUnit = kMetresPerCentimetre;
            }
        }
        const bool onTopNodes = writtenByBlenderFbx(metadata);
        if (metresPerUnit != 1.0) {
            result_.notes.push_back(
                "its unit is " + numberText(metresPerUnit) + " m (UnitScaleFactor " +
                numberText(metresPerUnit / kMetresPerCentimetre) + "); it is read in metres" +
                (onTopNodes ? ", and the scale its writer put on the top nodes for it is taken off" : ""));
        }
        const double size = onTopNodes ? options_.scale : metresPerUnit * options_.scale;
        const auto unitOnTop = static_cast<float>(onTopNodes ? metresPerUnit : 1.0);
        sizeScale_ = static_cast<float>(size);
        if (!std::isfinite(sizeScale_) || !(sizeScale_ > 0.0f) || !std::isfinite(unitOnTop) || !(unitOnTop > 0.0f)) {
            result_.error = "the file's unit (" + numberText(metresPerUnit) + " m) and the scale " +
                            numberText(options_.scale) + " give a size beyond the numbers a scene holds";
            return false;
        }
        unitOnTopNodes_ = aiMatrix4x4();
        unitOnTopNodes_.a1 = unitOnTopNodes_.b2 = unitOnTopNodes_.c3 = unitOnTop;
        return true;
    }

    void chooseAxes() {
        const aiVector3D yUp(0.0f, 1.0f, 0.0f);
        if (options_.upAxis == SceneUpAxis::Z) {
            toHost_ = aiMatrix4x4();
            return;
        }
        toHost_ = upToHost(yUp);
        if (options_.upAxis == SceneUpAxis::Y) {
            return;
        }
        const aiMetadata* metadata = file_.mMetaData;
        aiVector3D up;
        if (!metadataAxis(metadata, "UpAxis", "UpAxisSign", up)) {
            return;
        }
        // FBX writers (Blender's, the FBX SDK's axis conversion) turn a scene into the axes they
        // state by turning its top nodes alone: the nodes' own frames are the modeller's.
        framesInFileAxes_ = false;
        aiVector3D front;
        aiVector3D right;
        if (metadataAxis(metadata, "FrontAxis", "FrontAxisSign", front) &&
            metadataAxis(metadata, "CoordAxis", "CoordAxisSign", right)) {
            if (((right ^ up) - front).SquareLength() < 1e-6f) {
                toHost_ = axesToHost(right, up, front);
                return;
            }
            result_.warnings.push_back("the file's axes are left-handed: only its up axis is converted");
        }
        toHost_ = upToHost(up);
    }

    // Numbers the file's nodes depth first, parents before children, without recursion: files
    // nest nodes thousands deep.
    void flatten() {
        std::vector<std::pair<const aiNode*, int>> pending{{file_.mRootNode, -1}};
        while (!pending.empty()) {
            const auto [node, parent] = pending.back();
            pending.pop_back();
            const int index = static_cast<int>(flat_.size());
            flat_.push_back(node);
            parents_.push_back(parent);
            indexOf_[node] = index;
            nodeByName_.emplace(node->mName.C_Str(), index);  // the first of equal names wins
            for (unsigned i = node->mNumChildren; i > 0; --i) {
                pending.emplace_back(node->mChildren[i - 1], index);
            }
        }
    }

    void readNodes() {
        const float scale = sizeScale_;
        animation_->nodes.resize(flat_.size());
        for (size_t i = 0; i < flat_.size(); ++i) {
            scenefile::FileNode& node = animation_->nodes[i];
            node.parent = parents_[i];
            node.rest = flat_[i]->mTransformation;
            scaleTranslation(node.rest, scale);
            node.rest.Decompose(node.restScaling, node.restRotation, node.restPosition);
        }
        for (unsigned m = 0; m < file_.mNumMeshes; ++m) {
            const aiMesh* mesh = file_.mMeshes[m];
            for (unsigned b = 0; b < mesh->mNumBones; ++b) {
                boneNames_.insert(mesh->mBones[b]->mName.C_Str());
            }
        }
    }

    void readAnimation() {
        double lastKey = 0.0;
        for (const int index : result_.animationsPlayed) {
            readAnimation(index, lastKey);
        }
        for (const int index : heldTakes_) {
            readAnimation(index, lastKey, true);
        }
        result_.durationSeconds = lastKey / animation_->ticksPerSecond;
        // A hair below a whole frame counts as that frame: key times are stored in floating point.
        const double frames = std::ceil(result_.durationSeconds * result_.frameRate - 1e-6);
        // The host clock counts ticks in 32 bits: later frames cannot be sampled.
        const int lastFrame = std::numeric_limits<TimeValue>::max() / (TIME_TICKSPERSEC / result_.frameRate);
        if (!(frames <= lastFrame)) {
            result_.warnings.push_back("the animation's keys run to " + secondsText(result_.durationSeconds) +
                                       ", past the end of the host's clock: its length is cut to frame " +
                                       std::to_string(lastFrame));
            result_.lengthFrames = lastFrame;
            return;
        }
        result_.lengthFrames = std::max(0, static_cast<int>(frames));
    }

    static std::string secondsText(double seconds) { return numberText(seconds) + " s"; }

    static std::string numberText(double value) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", value);
        return text;
    }

    // Adds one animation's channels, its key times counted at the first played animation's rate.
    // A node or morph target that an earlier animation already moves keeps that animation's keys.
    // held: only each node channel's first key is kept, which holds the node still there (morph
    // weights are left alone), and the length is left as it is.
    void readAnimation(int index, double& lastKey, bool held = false) {
        const aiAnimation* animation = file_.mAnimations[index];
        const double toCommonTicks = animation_->ticksPerSecond / ticksPerSecondOf(*animation);
        const scenefile::GltfInterpolations noInterpolations;
        const scenefile::GltfInterpolations& interpolations = static_cast<size_t>(index) < gltfInterpolations_.size()
                                                                  ? gltfInterpolations_[static_cast<size_t>(index)]
                                                                  : noInterpolations;
        if (interpolations.cubicSpline && !cubicSplineWarned_) {
            cubicSplineWarned_ = true;
            result_.warnings.push_back("cubic-spline keys are interpolated linearly between their values");
        }
        // What this animation gives the scene: a channel of a node or morph target that no earlier
        // animation moves. Only then does its length count.
        bool contributes = animation == chosen();
        const float scale = sizeScale_;
        // assimp names a channel after its node alone: nodes of one name (MD3 surfaces and tags
        // may share one) cannot be told apart, and the first node of the name takes the first.
        // Morph weights are found by name too; a saved MD3's surfaces all play the same ones.
        std::unordered_set<std::string> named;
        for (unsigned c = 0; c < animation->mNumChannels; ++c) {
            const aiNodeAnim* source = animation->mChannels[c];
            if (!named.insert(source->mNodeName.C_Str()).second) {
                result_.warnings.push_back(std::string("several nodes named \"") + source->mNodeName.C_Str() +
                                           "\" are animated; keys name their node alone, so only the first moves");
                continue;
            }
            const auto found = nodeByName_.find(source->mNodeName.C_Str());
            if (found == nodeByName_.end()) {
                result_.warnings.push_back(std::string("animation channel for missing node \"") +
                                           source->mNodeName.C_Str() + "\" ignored");
                continue;
            }
            scenefile::FileNode& node = animation_->nodes[static_cast<size_t>(found->second)];
            if (node.channel >= 0) {
                continue;
            }
            scenefile::NodeChannel channel;
            channel.positions.assign(source->mPositionKeys, source->mPositionKeys + source->mNumPositionKeys);
            channel.rotations.assign(source->mRotationKeys, source->mRotationKeys + source->mNumRotationKeys);
            channel.scalings.assign(source->mScalingKeys, source->mScalingKeys + source->mNumScalingKeys);
            for (aiVectorKey& key : channel.positions) {
                key.mValue *= scale;
            }
            const std::string name = source->mNodeName.C_Str();
            double heldLastKey = 0.0;
            double& counted = held ? heldLastKey : lastKey;
            readKeys(channel.positions, toCommonTicks, "translation of node \"" + name + "\"", counted);
            readKeys(channel.rotations, toCommonTicks, "rotation of node \"" + name + "\"", counted);
            readKeys(channel.scalings, toCommonTicks, "scale of node \"" + name + "\"", counted);
            if (held) {
                channel.positions.resize(std::min<size_t>(channel.positions.size(), 1));
                channel.rotations.resize(std::min<size_t>(channel.rotations.size(), 1));
                channel.scalings.resize(std::min<size_t>(channel.scalings.size(), 1));
            }
            channel.before = source->mPreState;
            channel.after = source->mPostState;
            channel.positionInterpolation = interpolations.of(name, scenefile::GltfPath::Translation);
            channel.rotationInterpolation = interpolations.of(name, scenefile::GltfPath::Rotation);
            channel.scalingInterpolation = interpolations.of(name, scenefile::GltfPath::Scale);
            node.channel = static_cast<int>(animation_->channels.size());
            animation_->channels.push_back(std::move(channel));
            contributes = true;
        }
        for (unsigned c = 0; c < animation->mNumMorphMeshChannels && !held; ++c) {
            const aiMeshMorphAnim* source = animation->mMorphMeshChannels[c];
            MorphSource morph{source, toCommonTicks, KeyInterpolation::Linear};
            morph.interpolation = interpolations.of(source->mName.C_Str(), scenefile::GltfPath::Weights);
            if (!morphSources_.emplace(source->mName.C_Str(), morph).second) {
                continue;
            }
            contributes = true;
            // The keys themselves are checked when their mesh is read.
            for (unsigned k = 0; k < source->mNumKeys; ++k) {
                countKeyTime(source->mKeys[k].mTime * toCommonTicks, lastKey);
            }
        }
        if (contributes && !held) {
            countKeyTime(animation->mDuration > 0.0 ? animation->mDuration * toCommonTicks : 0.0, lastKey);
        }
    }

    // Counts the keys in the first played animation's ticks, drops those sampling cannot use and
    // extends the animation to the last.
    template <typename Key>
    void readKeys(std::vector<Key>& keys, double toCommonTicks, const std::string& where, double& lastKey) {
        for (Key& key : keys) {
            key.mTime = animation_->onHostTick(key.mTime * toCommonTicks);
        }
        scenefile::dropUnusableKeys(keys, where, droppedKeys_);
        for (const Key& key : keys) {
            countKeyTime(key.mTime, lastKey);
        }
    }

    // A time that is not a finite number never ends an animation (such keys are dropped).
    static void countKeyTime(double time, double& lastKey) {
        if (std::isfinite(time)) {
            lastKey = std::max(lastKey, time);
        }
    }

    // An empty root that only holds the file's top nodes.
    bool isContainer(const aiNode* root) const {
        return root->mNumMeshes == 0 && root->mNumChildren > 0 && animation_->nodes[0].channel < 0 &&
               boneNames_.count(root->mName.C_Str()) == 0 && morphSources_.count(root->mName.C_Str()) == 0;
    }

    // The name, or the first of name_2, name_3, ... not yet taken. Names are only ever added, so a
    // suffix found taken stays taken: each name's search resumes where it last stopped, and
    // thousands of nodes of one name cost no more than as many different names.
    std::string uniqueName(const std::string& name) {
        if (takenNames_.insert(name).second) {
            return name;
        }
        long long& suffix = nextSuffix_.try_emplace(name, 2).first->second;
        std::string candidate;
        do {
            candidate = name + "_" + std::to_string(suffix++);
        } while (!takenNames_.insert(candidate).second);
        return candidate;
    }

    // Adds the file's nodes below the given top nodes depth first, parents before children, as
    // the file orders them, without recursion. toHostWorld, for the top nodes, takes the file's
    // world to the host's.
    void addHostNodes(const std::vector<const aiNode*>& topNodes, const aiMatrix4x4& toHostWorld) {
        struct Pending {
            const aiNode* source;
            SceneNode* parent;
        };
        std::vector<Pending> pending;
        for (auto top = topNodes.rbegin(); top != topNodes.rend(); ++top) {
            pending.push_back({*top, nullptr});
        }
        while (!pending.empty()) {
            const Pending next = pending.back();
            pending.pop_back();
            SceneNode* node = addHostNode(next.source, next.parent, next.parent == nullptr ? &toHostWorld : nullptr);
            for (unsigned i = next.source->mNumChildren; i > 0; --i) {
                pending.push_back({next.source->mChildren[i - 1], node});
            }
        }
    }

    // One node with its meshes; prefix, for a top node, takes the file's frame to the host's. A node
    // keeps the file's name exactly, also when another node has it (MD3 surfaces may share one; the
    // host allows it, and keys and bones are found by the file's own names). Only names the loader
    // makes up are kept apart from every other.
    SceneNode* addHostNode(const aiNode* source, SceneNode* parent, const aiMatrix4x4* prefix) {
        const int index = indexOf_.at(source);
        std::string name = source->mName.C_Str();
        if (name.empty()) {
            name = uniqueName("node_" + std::to_string(index));
        } else {
            takenNames_.insert(name);
        }
        SceneNode* node = scene_.addNode(name, parent);
        ++result_.nodeCount;
        setTransform(*node, index, prefix);
        for (unsigned k = 0; k < source->mNumMeshes; ++k) {
            const aiMesh* mesh = file_.mMeshes[source->mMeshes[k]];
            SceneNode* meshNode = node;
            if (k > 0) {
                const std::string meshName = mesh->mName.length > 0 ? mesh->mName.C_Str() : std::to_string(k);
                meshNode = scene_.addNode(uniqueName(node->name() + "_" + meshName), node);
                ++result_.nodeCount;
            }
            attachMesh(*meshNode, *mesh, index, source->mName.C_Str());
        }
        // Scene files mark attachment points with empty nodes; in the host a tag is a node
        // whose object is a small triangle in the tag's own frame, so give it one.
        if (source->mNumMeshes == 0 && node->name().compare(0, 4, "tag_") == 0) {
            node->setMesh(makeTagMarker());
        }
        return node;
    }

    // prefix, for a top node, takes the file's world to the host's. Where the nodes' frames are
    // in the file's axes (glTF, COLLADA, 3DS, OBJ), every node's transform is the file's seen in
    // the host's axes, F · local · F⁻¹ with F that change, so that a node keeps the frame the
    // modeller saw (an unrotated node of a Y-up file is unrotated in the host, and a tag points
    // where it pointed) and the meshes, turned by F, stay where they were.
    void setTransform(SceneNode& node, int index, const aiMatrix4x4* prefix) {
        const scenefile::FileNode& fileNode = animation_->nodes[static_cast<size_t>(index)];
        const aiMatrix4x4 before = prefix != nullptr ? *prefix : frame_;
        const aiMatrix4x4 after = frameInverse_;
        if (fileNode.channel < 0) {
            node.setTransform(scenefile::toHostMatrix(before * fileNode.rest * after));
            return;
        }
        std::shared_ptr<FileAnimation> animation = animation_;
        node.setTransformTrack([animation, index, before, after](TimeValue time) {
            return scenefile::toHostMatrix(before * animation->localAt(index, time) * after);
        });
    }

    static bool isTriangle(const aiMesh& mesh, const aiFace& face) {
        return face.mNumIndices == 3 && face.mIndices[0] < mesh.mNumVertices && face.mIndices[1] < mesh.mNumVertices &&
               face.mIndices[2] < mesh.mNumVertices;
    }

    static int countTriangles(const aiMesh& mesh) {
        int triangles = 0;
        for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
            triangles += isTriangle(mesh, mesh.mFaces[f]) ? 1 : 0;
        }
        return triangles;
    }

    // The host mesh of a file's mesh: one vertex per geometric vertex (turned into the host's
    // axes), one texture vertex per file vertex so that every corner keeps its coordinate, and the
    // file's normals, when it has them and specified is set, as the mesh's specified normals.
    Mesh buildTopology(const aiMesh& mesh, const WeldedVertices& welded, bool specified) const {
        Mesh result;
        const int triangles = countTriangles(mesh);
        if (triangles == 0) {
            return result;
        }
        const auto vertexCount = static_cast<int>(welded.sourceOf.size());
        result.setNumVerts(vertexCount);
        for (int v = 0; v < vertexCount; ++v) {
            const aiVector3D p = frame_ * (mesh.mVertices[welded.sourceOf[static_cast<size_t>(v)]] * sizeScale_);
            result.verts[v] = Point3(p.x, p.y, p.z);
        }
        result.setNumFaces(triangles);
        const bool mapped = mesh.HasTextureCoords(0);
        if (mapped) {
            const auto textureCount = static_cast<int>(mesh.mNumVertices);
            result.setNumTVerts(textureCount);
            result.setNumTVFaces(triangles);
            for (int v = 0; v < textureCount; ++v) {
                const aiVector3D& uv = mesh.mTextureCoords[0][v];
                result.tVerts[v] = UVVert(uv.x, uv.y, 0.0f);
            }
        }
        int out = 0;
        for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
            const aiFace& face = mesh.mFaces[f];
            if (!isTriangle(mesh, face)) {
                continue;
            }
            const unsigned* corners = face.mIndices;
            result.faces[out].setVerts(static_cast<int>(welded.geometricOf[corners[0]]),
                                       static_cast<int>(welded.geometricOf[corners[1]]),
                                       static_cast<int>(welded.geometricOf[corners[2]]));
            result.faces[out].setEdgeVisFlags(1, 1, 1);
            if (mapped) {
                result.tvFace[out].setTVerts(static_cast<int>(corners[0]), static_cast<int>(corners[1]),
                                             static_cast<int>(corners[2]));
            }
            ++out;
        }
        if (specified && mesh.HasNormals()) {
            const aiMatrix3x3 turn = scenefile::normalTransform(frame_);
            std::vector<Point3> normals(static_cast<size_t>(vertexCount));
            for (int v = 0; v < vertexCount; ++v) {
                const aiVector3D n = turn * mesh.mNormals[welded.sourceOf[static_cast<size_t>(v)]];
                normals[static_cast<size_t>(v)] = Point3(n.x, n.y, n.z);
            }
            scenefile::specifyNormals(result, std::move(normals));
        }
        return result;
    }

    void attachMesh(SceneNode& node, const aiMesh& mesh, int placingNode, const std::string& placingName) {
        if (countTriangles(mesh) == 0) {
            return;
        }
        const bool deforming = mesh.mNumBones > 0 || mesh.mNumAnimMeshes > 0;
        std::vector<std::vector<scenefile::SkinInfluence>> influences;
        std::vector<scenefile::SkinBone> bones = readSkin(mesh, influences);
        const WeldedVertices welded = scenefile::weldVertices(mesh, influences);
        Mesh topology = buildTopology(mesh, welded, !deforming);
        node.setMaterial(materialFor(mesh.mMaterialIndex, node.name()));
        if (!deforming) {
            node.setMesh(topology);
            return;
        }
        // A deforming mesh gets its normals with its positions, frame by frame.
        auto data = std::make_shared<DeformingMeshData>();
        data->topology = topology;  // the SDK's Mesh copies: it has no move
        data->placingNode = placingNode;
        data->toHost = frame_;
        data->restPositions.reserve(welded.sourceOf.size());
        for (const std::uint32_t source : welded.sourceOf) {
            data->restPositions.push_back(mesh.mVertices[source] * sizeScale_);
            if (mesh.HasNormals()) {
                data->restNormals.push_back(mesh.mNormals[source]);
            }
        }
        readMorphTargets(mesh, welded, placingName, *data);
        if (!bones.empty()) {
            data->bones = std::move(bones);
            data->influenceStart.reserve(welded.sourceOf.size() + 1);
            data->influenceStart.push_back(0);
            for (const std::uint32_t source : welded.sourceOf) {
                const std::vector<scenefile::SkinInfluence>& own = influences[source];
                data->influences.insert(data->influences.end(), own.begin(), own.end());
                data->influenceStart.push_back(static_cast<std::uint32_t>(data->influences.size()));
            }
        }
        std::shared_ptr<FileAnimation> animation = animation_;
        node.setDeformingMesh([animation, data](TimeValue time, Mesh& out) { animation->deform(*data, time, out); });
    }

    void readMorphTargets(const aiMesh& mesh, const WeldedVertices& welded, const std::string& placingName,
                          DeformingMeshData& data) {
        if (mesh.mNumAnimMeshes == 0) {
            return;
        }
        const unsigned targets = mesh.mNumAnimMeshes;
        data.normalizedWeights = mesh.mMethod == aiMorphingMethod_MORPH_NORMALIZED;
        const size_t vertexCount = welded.sourceOf.size();
        for (unsigned t = 0; t < targets; ++t) {
            const aiAnimMesh* target = mesh.mAnimMeshes[t];
            std::vector<aiVector3D> offsets(vertexCount, aiVector3D(0.0f, 0.0f, 0.0f));
            std::vector<aiVector3D> normalOffsets;
            // assimp keeps a target's positions and normals whole (glTF's differences added to the
            // mesh's); the host adds weighted differences.
            if (target->HasPositions() && target->mNumVertices == mesh.mNumVertices) {
                for (size_t v = 0; v < vertexCount; ++v) {
                    const std::uint32_t source = welded.sourceOf[v];
                    offsets[v] = (target->mVertices[source] - mesh.mVertices[source]) * sizeScale_;
                }
                if (target->HasNormals() && mesh.HasNormals()) {
                    normalOffsets.resize(vertexCount);
                    for (size_t v = 0; v < vertexCount; ++v) {
                        const std::uint32_t source = welded.sourceOf[v];
                        normalOffsets[v] = target->mNormals[source] - mesh.mNormals[source];
                    }
                }
            } else {
                result_.warnings.push_back(std::string("a morph target of mesh \"") + mesh.mName.C_Str() +
                                           "\" has no positions matching its mesh and is ignored");
            }
            data.targetOffsets.push_back(std::move(offsets));
            data.targetNormalOffsets.push_back(std::move(normalOffsets));
            data.defaultWeights.push_back(target->mWeight);
        }
        // A morph channel names its mesh, or (glTF, whose weights belong to the node) the node, or
        // (FBX) the node and the number of its geometry, "NODE*0" for a node's one geometry.
        auto found = morphSources_.find(mesh.mName.C_Str());
        if (found == morphSources_.end()) {
            found = morphSources_.find(placingName);
        }
        if (found == morphSources_.end()) {
            found = morphSources_.find(placingName + "*0");
        }
        if (found == morphSources_.end()) {
            return;
        }
        const aiMeshMorphAnim* source = found->second.channel;
        scenefile::MorphChannel channel;
        channel.interpolation = found->second.interpolation;
        for (unsigned k = 0; k < source->mNumKeys; ++k) {
            const aiMeshMorphKey& key = source->mKeys[k];
            scenefile::MorphChannel::Key weights;
            weights.time = animation_->onHostTick(key.mTime * found->second.toCommonTicks);
            weights.weights.assign(targets, 0.0f);
            for (unsigned i = 0; i < key.mNumValuesAndWeights; ++i) {
                if (key.mValues[i] < targets) {
                    weights.weights[key.mValues[i]] = static_cast<float>(key.mWeights[i]);
                }
            }
            channel.keys.push_back(std::move(weights));
        }
        scenefile::dropUnusableKeys(channel.keys, "morph weights of mesh \"" + std::string(mesh.mName.C_Str()) + "\"",
                                    droppedKeys_);
        data.morphChannel = static_cast<int>(animation_->morphChannels.size());
        animation_->morphChannels.push_back(std::move(channel));
    }

    // The mesh's bones that have nodes, and each file vertex's influences on them.
    std::vector<scenefile::SkinBone> readSkin(const aiMesh& mesh,
                                              std::vector<std::vector<scenefile::SkinInfluence>>& perVertex) {
        std::vector<scenefile::SkinBone> bones;
        if (mesh.mNumBones == 0) {
            return bones;
        }
        const float scale = sizeScale_;
        perVertex.assign(mesh.mNumVertices, {});
        for (unsigned b = 0; b < mesh.mNumBones; ++b) {
            const aiBone* bone = mesh.mBones[b];
            const auto found = nodeByName_.find(bone->mName.C_Str());
            if (found == nodeByName_.end()) {
                result_.warnings.push_back(std::string("bone \"") + bone->mName.C_Str() + "\" of mesh \"" +
                                           mesh.mName.C_Str() + "\" has no node; its weights are ignored");
                continue;
            }
            scenefile::SkinBone skinBone;
            skinBone.node = found->second;
            // The offset maps scaled mesh space to scaled bone space: S^-1 * offset * S keeps its
            // rotation and scales its translation.
            skinBone.offset = bone->mOffsetMatrix;
            scaleTranslation(skinBone.offset, scale);
            const auto boneIndex = static_cast<std::uint32_t>(bones.size());
            bones.push_back(skinBone);
            for (unsigned w = 0; w < bone->mNumWeights; ++w) {
                const aiVertexWeight& weight = bone->mWeights[w];
                if (weight.mVertexId < mesh.mNumVertices && weight.mWeight > 0.0f) {
                    perVertex[weight.mVertexId].push_back({boneIndex, weight.mWeight});
                }
            }
        }
        return bones;
    }

    // The file's texture that a material names, when the file holds its image: "*N" names the
    // N-th (glTF, assimp's FBX writer), a file name one whose own name ends alike (an FBX's
    // embedded media keep the name of the file they came from). -1 for an outside file.
    int embeddedTextureOf(const std::string& name) {
        if (name.empty()) {
            return -1;
        }
        if (name[0] == '*') {
            const std::string digits = name.substr(1);
            const bool number =
                !digits.empty() && digits.size() < 10 && digits.find_first_not_of("0123456789") == std::string::npos;
            const long long index = number ? std::stoll(digits) : -1;
            return index >= 0 && index < static_cast<long long>(file_.mNumTextures) ? static_cast<int>(index)
                                                                                    : kMissingEmbeddedTexture;
        }
        // The first image whose file name ends alike, as assimp's GetEmbeddedTexture finds it, from
        // a table made once: files hold thousands of materials and images.
        if (!embeddedTableMade_) {
            embeddedTableMade_ = true;
            for (unsigned i = file_.mNumTextures; i > 0; --i) {
                const std::string fileName = aiScene::GetShortFilename(file_.mTextures[i - 1]->mFilename.C_Str());
                if (!fileName.empty()) {
                    embeddedByFileName_[fileName] = static_cast<int>(i - 1);
                }
            }
        }
        const auto found = embeddedByFileName_.find(aiScene::GetShortFilename(name.c_str()));
        return found != embeddedByFileName_.end() ? found->second : -1;
    }

    // The bitmap of an embedded image, FOLDER/NAME.EXT; "" (with a warning) when it cannot be
    // named or is not there.
    std::string embeddedBitmapName(int texture, const std::string& reference, const std::string& materialName,
                                   const std::string& nodeName) {
        const std::string material =
            materialName.empty() ? "the material of node \"" + nodeName + "\"" : "material \"" + materialName + "\"";
        if (texture == kMissingEmbeddedTexture) {
            result_.warnings.push_back(material + " names the embedded image \"" + reference +
                                       "\", which the file does not hold; it has no texture");
            return "";
        }
        const aiTexture& image = *file_.mTextures[texture];
        std::string problem;
        std::string name = embeddedNames_.nameOf(static_cast<unsigned>(texture), image,
                                                 {image.mFilename.C_Str(), materialName, nodeName}, problem);
        if (!problem.empty()) {
            result_.warnings.push_back("the embedded image of " + material + " " + problem);
        }
        return name;
    }

    Material* materialFor(unsigned index, const std::string& nodeName) {
        if (index >= file_.mNumMaterials) {
            return nullptr;
        }
        const auto found = materials_.find(index);
        if (found != materials_.end()) {
            return found->second;
        }
        const aiMaterial* source = file_.mMaterials[index];
        aiString name;
        source->Get(AI_MATKEY_NAME, name);
        Material* material =
            scene_.addMaterial(name.length > 0 ? std::string(name.C_Str()) : "material_" + std::to_string(index));
        aiString texture;
        const bool textured = source->GetTexture(aiTextureType_DIFFUSE, 0, &texture) == AI_SUCCESS ||
                              source->GetTexture(aiTextureType_BASE_COLOR, 0, &texture) == AI_SUCCESS;
        const int embedded = textured ? embeddedTextureOf(texture.C_Str()) : -1;
        if (embedded != -1) {
            const std::string mapName = embeddedBitmapName(embedded, texture.C_Str(), name.C_Str(), nodeName);
            if (!mapName.empty()) {
                material->setDiffuseMap(std::make_unique<BitmapTexture>(mapName));
            }
        } else if (textured) {
            const std::string mapName = texturePathFor(std::filesystem::path(path_).parent_path(), texture.C_Str());
            if (!mapName.empty()) {
                material->setDiffuseMap(std::make_unique<BitmapTexture>(mapName));
            }
        }
        materials_[index] = material;
        return material;
    }

    const aiScene& file_;
    const std::string& path_;
    const SceneLoadOptions& options_;
    Scene& scene_;
    SceneLoadResult& result_;
    std::shared_ptr<FileAnimation> animation_;
    aiMatrix4x4 toHost_;
    // Scales every translation, vertex, bone offset and morph offset: the asked scale, times the
    // file's unit unless that goes on the top nodes (unitOnTopNodes_, else the identity).
    float sizeScale_ = 1.0f;
    aiMatrix4x4 unitOnTopNodes_;
    scenefile::EmbeddedImageNames embeddedNames_;
    std::unordered_map<std::string, int> embeddedByFileName_;
    bool embeddedTableMade_ = false;
    // Whether the nodes' own frames are in the file's axes, and then the change from the file's
    // world to the host's that every node and mesh is seen through (else both are the identity).
    bool framesInFileAxes_ = true;
    aiMatrix4x4 frame_;
    aiMatrix4x4 frameInverse_;
    // Own takes of objects an action played as a clip does not move: each holds its first key.
    std::vector<int> heldTakes_;
    std::vector<const aiNode*> flat_;
    std::vector<int> parents_;
    std::unordered_map<const aiNode*, int> indexOf_;
    std::unordered_map<std::string, int> nodeByName_;
    std::unordered_set<std::string> boneNames_;
    // Morph weight channels by the name they give (a mesh's, or in glTF its node's); the first
    // played animation holding a name keeps it.
    struct MorphSource {
        const aiMeshMorphAnim* channel = nullptr;
        double toCommonTicks = 1.0;
        KeyInterpolation interpolation = KeyInterpolation::Linear;
    };
    std::unordered_map<std::string, MorphSource> morphSources_;
    std::vector<scenefile::GltfInterpolations> gltfInterpolations_;
    bool cubicSplineWarned_ = false;
    scenefile::DroppedKeys droppedKeys_;
    std::unordered_set<std::string> takenNames_;
    std::unordered_map<std::string, long long> nextSuffix_;
    std::map<unsigned, Material*> materials_;
};

}  // namespace

SceneLoadResult loadSceneFile(const std::string& path, const SceneLoadOptions& options, Scene& scene) {
    SceneLoadResult result;
    if (!std::isfinite(options.scale) || options.scale <= 0.0f) {
        result.error = "scale must be a positive number";
        return result;
    }
    // A glTF document is read once for what assimp drops or cannot take.
    scenefile::GltfDocumentSummary gltf;
    const bool isGltf = scenefile::readGltfSummary(path, gltf);
    if (isGltf && gltf.firstSkinWithoutInverseBinds >= 0) {
        result.error = "its skin " + std::to_string(gltf.firstSkinWithoutInverseBinds) +
                       " leaves out inverseBindMatrices, which the scene reader (assimp 5.2) cannot take; "
                       "give the skin its matrices (identity ones where the bind pose is the rest pose)";
        return result;
    }
    Assimp::Importer importer;
    importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE, aiPrimitiveType_POINT | aiPrimitiveType_LINE);
    // Pivots folded into their nodes where possible, so that nodes keep the file's names instead
    // of gaining "$AssimpFbx$" helpers.
    importer.SetPropertyBool(AI_CONFIG_IMPORT_FBX_PRESERVE_PIVOTS, false);
    // COLLADA nodes by their names rather than their ids, which are restricted to XML names.
    importer.SetPropertyBool(AI_CONFIG_IMPORT_COLLADA_USE_COLLADA_NAMES, true);
    auto* files = new scenefile::SceneFolderIOSystem(path, options.allowOutsideFiles);
    importer.SetIOHandler(files);  // the importer owns it
    const aiScene* file = importer.ReadFile(path, kImportSteps);
    // A file the scene refers to outside its folder fails the load, even where the format can do
    // without it (an OBJ's material library): what is read must not depend on where it was put.
    if (!files->refused().empty()) {
        result.error = "the scene refers to '" + files->refused() +
                       "', outside its folder; only files in the scene file's folder and below are read "
                       "(--allow-outside-files lifts this)";
        return result;
    }
    if (file == nullptr || file->mRootNode == nullptr) {
        result.error = "cannot read " + path + ": " + importer.GetErrorString();
        return result;
    }
    return scenefile::loadAssimpScene(*file, path, options, std::move(gltf.animations), scene);
}

SceneLoadResult scenefile::loadAssimpScene(const aiScene& file, const std::string& path,
                                           const SceneLoadOptions& options,
                                           std::vector<GltfInterpolations> interpolations, Scene& scene) {
    SceneLoadResult result;
    if (file.mRootNode == nullptr) {
        result.error = path + " holds no nodes";
        return result;
    }
    FileLoader loader(file, path, options, scene, result);
    loader.useGltfInterpolations(std::move(interpolations));
    result.ok = loader.load();
    return result;
}

}  // namespace host
