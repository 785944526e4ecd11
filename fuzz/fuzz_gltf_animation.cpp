// libFuzzer target for the project's own reading of scene-file animation, in two modes chosen by
// the input's first byte:
// - a glTF document (JSON text, or a GLB container): the loader's one parse of it, which finds
//   every animation's sampler interpolation and the skins assimp cannot take;
// - anything else: an assimp scene built in memory from the bytes (nodes of colliding names in
//   chains and crowds, animations of any rate and duration, keys of any time and value, a mesh
//   with morph targets and bones) through the loader, then every node sampled across and past its
//   animation and at the ends of the host's clock, and every mesh built.
// assimp's own readers are left out: they are the system's library, and crash or allocate
// hundreds of megabytes on mutated files long before the project's code is reached.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <assimp/scene.h>
#include <fuzzer/FuzzedDataProvider.h>

#include <assimp_scene_loader.h>
#include <gltf_interpolation.h>
#include <scene.h>
#include <scene_file.h>

namespace {

constexpr size_t kMaxNodes = 48;
constexpr size_t kMaxAnimations = 3;
constexpr size_t kMaxChannels = 8;
constexpr size_t kMaxKeys = 8;
constexpr unsigned kMeshVertices = 3;
constexpr unsigned kMaxTargets = 2;
constexpr unsigned kMaxBones = 3;

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

bool isDocument(const uint8_t* data, size_t size) {
    if (size == 0) {
        return false;
    }
    const char first = static_cast<char>(data[0]);
    return first == '{' || first == ' ' || first == '\n' || first == '\t' || first == '\r' || first == 'g';
}

void readDocument(const uint8_t* data, size_t size) {
    host::scenefile::GltfDocumentSummary summary;
    if (!host::scenefile::readGltfSummaryFromDocument(std::string(reinterpret_cast<const char*>(data), size),
                                                      summary)) {
        require(summary.animations.empty() && summary.firstSkinWithoutInverseBinds < 0);
    }
}

// Numbers as a broken file has them: often the awkward ones, else anything finite.
double number(FuzzedDataProvider& in) {
    static const double kAwkward[] = {0.0,
                                      1.0,
                                      -1.0,
                                      0.5,
                                      1000.0,
                                      1e30,
                                      -1e30,
                                      1e-30,
                                      std::numeric_limits<double>::max(),
                                      std::numeric_limits<double>::denorm_min(),
                                      std::numeric_limits<double>::quiet_NaN(),
                                      std::numeric_limits<double>::infinity(),
                                      -std::numeric_limits<double>::infinity()};
    if (in.ConsumeBool()) {
        return in.PickValueInArray(kAwkward);
    }
    return in.ConsumeFloatingPoint<double>();
}

float floatNumber(FuzzedDataProvider& in) { return static_cast<float>(number(in)); }

aiVector3D vector(FuzzedDataProvider& in) { return aiVector3D(floatNumber(in), floatNumber(in), floatNumber(in)); }

// Names that collide with each other and with the names the loader makes.
std::string name(FuzzedDataProvider& in) {
    static const char* const kNames[] = {"", "n", "n_2", "node_1", "tag_torso", "tag_weapon", "Bip01", "mesh", "root"};
    if (in.ConsumeBool()) {
        return in.PickValueInArray(kNames);
    }
    return in.ConsumeRandomLengthString(12);
}

template <typename T>
T* filled(size_t count, const std::function<T()>& make) {
    if (count == 0) {
        return nullptr;
    }
    T* items = new T[count];
    for (size_t i = 0; i < count; ++i) {
        items[i] = make();
    }
    return items;
}

void buildNodes(FuzzedDataProvider& in, aiScene& scene, std::vector<aiNode*>& nodes) {
    nodes.push_back(new aiNode(name(in)));
    scene.mRootNode = nodes.front();
    std::vector<std::vector<aiNode*>> children(1);
    const size_t count = in.ConsumeIntegralInRange<size_t>(0, kMaxNodes);
    for (size_t i = 0; i < count; ++i) {
        // The latest node as parent makes chains; an early one, crowds.
        const size_t parent =
            in.ConsumeBool() ? nodes.size() - 1 : in.ConsumeIntegralInRange<size_t>(0, nodes.size() - 1);
        auto* node = new aiNode(name(in));
        node->mParent = nodes[parent];
        aiMatrix4x4::Translation(vector(in), node->mTransformation);
        if (in.ConsumeBool()) {
            node->mTransformation.a1 = floatNumber(in);
        }
        children[parent].push_back(node);
        children.emplace_back();
        nodes.push_back(node);
    }
    for (size_t n = 0; n < nodes.size(); ++n) {
        nodes[n]->mNumChildren = static_cast<unsigned>(children[n].size());
        nodes[n]->mChildren =
            filled<aiNode*>(children[n].size(), [&, next = size_t{0}]() mutable { return children[n][next++]; });
    }
}

// One triangle on a node, with morph targets and bones naming nodes.
void buildMesh(FuzzedDataProvider& in, aiScene& scene, const std::vector<aiNode*>& nodes) {
    auto* mesh = new aiMesh();
    mesh->mName = name(in);
    mesh->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
    mesh->mNumVertices = kMeshVertices;
    mesh->mVertices = filled<aiVector3D>(kMeshVertices, [&] { return vector(in); });
    mesh->mNumFaces = 1;
    mesh->mFaces = new aiFace[1];
    mesh->mFaces[0].mNumIndices = 3;
    mesh->mFaces[0].mIndices = new unsigned[3]{0, 1, 2};
    mesh->mNumAnimMeshes = in.ConsumeIntegralInRange<unsigned>(0, kMaxTargets);
    mesh->mAnimMeshes = filled<aiAnimMesh*>(mesh->mNumAnimMeshes, [&] {
        auto* target = new aiAnimMesh();
        target->mNumVertices = in.ConsumeBool() ? kMeshVertices : 1;
        target->mVertices = filled<aiVector3D>(target->mNumVertices, [&] { return vector(in); });
        target->mWeight = floatNumber(in);
        return target;
    });
    mesh->mMethod = in.ConsumeBool() ? aiMorphingMethod_MORPH_NORMALIZED : aiMorphingMethod_MORPH_RELATIVE;
    mesh->mNumBones = in.ConsumeIntegralInRange<unsigned>(0, kMaxBones);
    mesh->mBones = filled<aiBone*>(mesh->mNumBones, [&] {
        auto* bone = new aiBone();
        bone->mName = nodes[in.ConsumeIntegralInRange<size_t>(0, nodes.size() - 1)]->mName;
        bone->mNumWeights = in.ConsumeIntegralInRange<unsigned>(0, 4);
        bone->mWeights = filled<aiVertexWeight>(bone->mNumWeights, [&] {
            return aiVertexWeight(in.ConsumeIntegralInRange<unsigned>(0, kMeshVertices), floatNumber(in));
        });
        return bone;
    });
    scene.mNumMeshes = 1;
    scene.mMeshes = new aiMesh* [1] { mesh };
    aiNode* holder = nodes[in.ConsumeIntegralInRange<size_t>(0, nodes.size() - 1)];
    holder->mNumMeshes = 1;
    holder->mMeshes = new unsigned[1]{0};
}

template <typename Key, typename Value>
Key* keys(FuzzedDataProvider& in, unsigned& count, const std::function<Value()>& value) {
    count = in.ConsumeIntegralInRange<unsigned>(0, kMaxKeys);
    return filled<Key>(count, [&] { return Key(number(in), value()); });
}

aiAnimBehaviour behaviour(FuzzedDataProvider& in) {
    static const aiAnimBehaviour kBehaviours[] = {aiAnimBehaviour_DEFAULT, aiAnimBehaviour_CONSTANT,
                                                  aiAnimBehaviour_LINEAR, aiAnimBehaviour_REPEAT};
    return in.PickValueInArray(kBehaviours);
}

void buildAnimations(FuzzedDataProvider& in, aiScene& scene, const std::vector<aiNode*>& nodes) {
    const auto nodeName = [&] { return nodes[in.ConsumeIntegralInRange<size_t>(0, nodes.size() - 1)]->mName; };
    scene.mNumAnimations = in.ConsumeIntegralInRange<unsigned>(0, kMaxAnimations);
    scene.mAnimations = filled<aiAnimation*>(scene.mNumAnimations, [&] {
        auto* animation = new aiAnimation();
        animation->mName = name(in);
        animation->mTicksPerSecond = number(in);
        animation->mDuration = number(in);
        animation->mNumChannels = in.ConsumeIntegralInRange<unsigned>(0, kMaxChannels);
        animation->mChannels = filled<aiNodeAnim*>(animation->mNumChannels, [&] {
            auto* channel = new aiNodeAnim();
            channel->mNodeName = in.ConsumeBool() ? nodeName() : aiString(name(in));
            channel->mPositionKeys =
                keys<aiVectorKey, aiVector3D>(in, channel->mNumPositionKeys, [&] { return vector(in); });
            channel->mRotationKeys = keys<aiQuatKey, aiQuaternion>(in, channel->mNumRotationKeys, [&] {
                return aiQuaternion(floatNumber(in), floatNumber(in), floatNumber(in), floatNumber(in));
            });
            channel->mScalingKeys =
                keys<aiVectorKey, aiVector3D>(in, channel->mNumScalingKeys, [&] { return vector(in); });
            channel->mPreState = behaviour(in);
            channel->mPostState = behaviour(in);
            return channel;
        });
        animation->mNumMorphMeshChannels = in.ConsumeBool() ? 1 : 0;
        animation->mMorphMeshChannels = filled<aiMeshMorphAnim*>(animation->mNumMorphMeshChannels, [&] {
            auto* morph = new aiMeshMorphAnim();
            morph->mName = in.ConsumeBool() ? scene.mMeshes[0]->mName : nodeName();
            morph->mNumKeys = in.ConsumeIntegralInRange<unsigned>(0, kMaxKeys);
            morph->mKeys = filled<aiMeshMorphKey>(morph->mNumKeys, [] { return aiMeshMorphKey(); });
            for (unsigned k = 0; k < morph->mNumKeys; ++k) {
                aiMeshMorphKey& key = morph->mKeys[k];
                key.mTime = number(in);
                key.mNumValuesAndWeights = in.ConsumeIntegralInRange<unsigned>(0, kMaxTargets + 1);
                key.mValues = filled<unsigned>(key.mNumValuesAndWeights,
                                               [&] { return in.ConsumeIntegralInRange<unsigned>(0, kMaxTargets); });
                key.mWeights = filled<double>(key.mNumValuesAndWeights, [&] { return number(in); });
            }
            return morph;
        });
        return animation;
    });
}

void sampleScene(host::Scene& scene, const host::SceneLoadResult& loaded) {
    require(loaded.lengthFrames >= 0);
    require(static_cast<size_t>(loaded.nodeCount) == scene.size());
    const int ticksPerFrame = GetTicksPerFrame();
    require(loaded.lengthFrames <= std::numeric_limits<TimeValue>::max() / ticksPerFrame);
    const std::vector<TimeValue> times = {0, ticksPerFrame / 2,
                                          static_cast<TimeValue>(loaded.lengthFrames) * ticksPerFrame,
                                          std::numeric_limits<TimeValue>::max(), std::numeric_limits<TimeValue>::min()};
    for (host::SceneNode* node : scene.nodes()) {
        // Names may repeat as the file repeats them, but a node without one gets one.
        require(!node->name().empty());
        for (TimeValue time : times) {
            node->GetNodeTM(time);
            Object* object = node->EvalWorldState(time).obj;
            if (object == nullptr || !object->CanConvertToType(triObjectClassID)) {
                continue;
            }
            Object* converted = object->ConvertToType(time, triObjectClassID);
            if (converted != nullptr && converted != object) {
                converted->DeleteThis();
            }
        }
    }
}

void loadBuiltScene(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    host::SceneLoadOptions options;
    options.frameRate = in.ConsumeIntegralInRange<int>(0, TIME_TICKSPERSEC);
    options.allAnimations = in.ConsumeBool();
    options.animationIndex = in.ConsumeIntegralInRange<int>(-1, static_cast<int>(kMaxAnimations));
    auto file = std::make_unique<aiScene>();
    std::vector<aiNode*> nodes;
    buildNodes(in, *file, nodes);
    buildMesh(in, *file, nodes);
    buildAnimations(in, *file, nodes);

    host::Scene scene;
    const host::SceneLoadResult loaded = host::scenefile::loadAssimpScene(*file, "fuzz.gltf", options, {}, scene);
    if (loaded.ok) {
        sampleScene(scene, loaded);
    } else {
        require(scene.size() == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (isDocument(data, size)) {
        readDocument(data, size);
    } else {
        loadBuiltScene(data, size);
    }
    return 0;
}
