// libFuzzer target for the importer's readers: bytes opened as a file and imported into a scene
// through readModelFile, the step the import operation takes. Every node made must hold a mesh
// whose faces stay inside it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <model_readers.h>
#include <scene.h>

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void checkNodes(const host::ImportInterface& importer) {
    for (host::SceneNode* node : importer.addedNodes()) {
        auto* object = dynamic_cast<TriObject*>(node->object());
        require(object != nullptr);
        const Mesh& mesh = object->GetMesh();
        for (int f = 0; f < mesh.numFaces; ++f) {
            for (DWORD v : mesh.faces[f].v) {
                require(v < static_cast<DWORD>(mesh.numVerts));
            }
            if (mesh.numTVerts > 0) {
                for (DWORD t : mesh.tvFace[f].t) {
                    require(t < static_cast<DWORD>(mesh.numTVerts));
                }
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (file == nullptr) {
        return 0;
    }
    host::Scene scene;
    host::ImportInterface importer(scene);
    readModelFile(&importer, file);
    std::fclose(file);
    checkNodes(importer);
    return 0;
}
