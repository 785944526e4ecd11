// libFuzzer target for the glTF animation reading: the bytes as a glTF document (JSON or GLB)
// through the project's own reading of its samplers' interpolation, then as a .gltf file through
// the whole scene loader, every node sampled across and beyond the animation and every mesh
// built. Every node loaded must be in the scene under a name of its own.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <unordered_set>
#include <vector>

#include <gltf_interpolation.h>
#include <scene.h>
#include <scene_file.h>

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The input is written to a folder of its own, so that the references it makes (buffers) find
// nothing but itself: the loader reads only from a scene file's folder and below.
class ScratchFolder {
public:
    ScratchFolder() {
        char pattern[] = "/tmp/qmp-fuzz-gltf-XXXXXX";
        if (mkdtemp(pattern) != nullptr) {
            folder_ = pattern;
        }
    }
    ~ScratchFolder() {
        if (!folder_.empty()) {
            rmdir(folder_.c_str());
        }
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    // Empty when the folder could not be made.
    std::string file(bool binary) const { return folder_.empty() ? "" : folder_ + (binary ? "/in.glb" : "/in.gltf"); }

private:
    std::string folder_;
};

bool writeScratch(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

void sampleScene(host::Scene& scene, const host::SceneLoadResult& loaded) {
    require(loaded.lengthFrames >= 0);
    require(static_cast<size_t>(loaded.nodeCount) == scene.size());
    // The first and last frames, one past the end, and the ends of the host's clock.
    const int ticksPerFrame = GetTicksPerFrame();
    const std::vector<TimeValue> times = {0,
                                          ticksPerFrame / 2,
                                          static_cast<TimeValue>(loaded.lengthFrames) * ticksPerFrame,
                                          std::numeric_limits<TimeValue>::max(),
                                          std::numeric_limits<TimeValue>::min()};
    std::unordered_set<std::string> names;
    for (host::SceneNode* node : scene.nodes()) {
        require(names.insert(node->name()).second);
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::vector<host::scenefile::GltfInterpolations> animations;
    if (!host::scenefile::readGltfInterpolationsFromDocument(bytes, animations)) {
        require(animations.empty());
    }

    static const ScratchFolder scratch;
    const bool binary = size >= 4 && bytes.compare(0, 4, "glTF") == 0;
    const std::string path = scratch.file(binary);
    if (path.empty() || !writeScratch(path, data, size)) {
        return 0;
    }
    host::Scene scene;
    const host::SceneLoadResult loaded = host::loadSceneFile(path, {}, scene);
    if (loaded.ok) {
        sampleScene(scene, loaded);
    } else {
        require(scene.size() == 0);
    }
    std::remove(path.c_str());
    return 0;
}
