// One model file into the scene: read once, recognised by its magic, handed to its reader; and
// the step that turns a finished object into a node, shared by both readers.
#include <algorithm>
#include <new>

#include <modelformat/byte_reader.h>
#include <modelformat/md2_format.h>
#include <modelformat/md2_reader.h>

#include "model_readers.h"

namespace {

bool startsWith(const modelformat::FileBytes& bytes, const char (&magic)[4]) {
    return bytes.size() >= sizeof magic && std::equal(magic, magic + sizeof magic, bytes.begin());
}

}  // namespace

int readModelFile(ImpInterface* importer, std::FILE* file) {
    if (importer == nullptr || file == nullptr) {
        return 0;
    }
    // The readers answer memory running out as a refusal, but building the meshes and nodes
    // allocates too, and nothing may be thrown across the plug-in boundary.
    try {
        modelformat::FileBytes bytes;
        if (modelformat::readFileBytes(file, modelformat::FileReadStart::FileStart, bytes) !=
            modelformat::ReadError::None) {
            return 0;
        }
        if (startsWith(bytes, modelformat::kMd3Magic)) {
            return readMd3Model(importer, bytes.data(), bytes.size());
        }
        if (startsWith(bytes, modelformat::kMd2Magic)) {
            return readMd2Model(importer, bytes.data(), bytes.size(), modelformat::kMd2ImportFrame);
        }
        return 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int addImportedNode(ImpInterface* importer, std::unique_ptr<TriObject> object, const Matrix3& transform,
                    const char* name) {
    ImpNode* node = importer->CreateNode();
    if (node == nullptr) {
        return 0;
    }
    node->Reference(object.release());
    node->SetTransform(0, transform);
    importer->AddNodeToScene(node);
    node->SetName(name);
    return 1;
}
