// libFuzzer target for the importer's readers: bytes opened as a file and imported into a scene,
// MD3 or MD2 by their magic, as the import operation does. Every node made must hold a mesh
// whose faces stay inside it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <model_readers.h>
#include <modelformat/md2_reader.h>
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
    char magic[4] = {};
    const bool complete = std::fread(magic, 1, sizeof magic, file) == sizeof magic;
    host::Scene scene;
    host::ImportInterface importer(scene);
    if (complete && std::memcmp(magic, "IDP3", 4) == 0) {
        readMd3Model(&importer, file);
    } else if (complete && std::memcmp(magic, "IDP2", 4) == 0) {
        std::fseek(file, 0, SEEK_SET);
        readMd2Model(&importer, file, modelformat::kMd2ImportFrame);
    }
    std::fclose(file);
    checkNodes(importer);
    return 0;
}
