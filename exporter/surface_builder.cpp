// The surface builder: one mesh node written as a complete MD3 surface record, with its shader,
// triangles, texture coordinates and the positions and normals of every exported frame, each
// frame encoded apart and written with one write.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <utility>

#include <modelformat/byte_block.h>
#include <modelformat/md3_format.h>

#include "md3_export_run.h"
#include "surface_frames.h"

using modelformat::PatchSite;

namespace {

constexpr size_t kMapNameCopyLength = 127;

const char kNoMappingWarning[] =
    "No UV mapping was found on this object.\nWriting out the texture coordinates of a\n"
    "spherical mapping for each vertex.";
// "contructed" and "Enviroment" are misspelt on purpose: the text is the original message, word for word.
const char kNoNormalsWarning[] = "Object does not have normals contructed.\nEnviroment maps will be wrong.";
const char kClampedWarning[] =
    "Some vertices lie outside the +/-512 unit range of the MD3 format\nand were clamped to it.";
const char kVertexCountWarning[] =
    "The mesh changes its vertex count during the animation.\nSome frames were filled from the first frame.";

// The node's bitmap texture (the diffuse map of its material), or null.
BitmapTex* shaderMap(INode* node) {
    Mtl* material = node->GetMtl();
    if (material == nullptr) {
        return nullptr;
    }
    Texmap* map = material->GetSubTexmap(ID_DI);
    if (map == nullptr || map->ClassID() != Class_ID(BMTEX_CLASS_ID, 0)) {
        return nullptr;
    }
    return static_cast<BitmapTex*>(map);
}

// The surface's vertex list: every mesh vertex keeps its index and the texture coordinate of
// the first face corner that uses it; each further distinct coordinate a vertex is used with
// becomes a new vertex after them, so that texture seams survive.
struct SurfaceVertices {
    std::vector<int> source;                                  // mesh vertex of each surface vertex
    std::vector<modelformat::TextureCoordinate> coordinates;  // (u, v) of each surface vertex
    std::vector<std::array<int, 3>> triangles;                // surface vertices of each face's corners
};

int validIndex(DWORD index, int count) { return index < static_cast<DWORD>(count) ? static_cast<int>(index) : 0; }

SurfaceVertices buildVertices(const Mesh& mesh) {
    SurfaceVertices result;
    const int vertexCount = mesh.numVerts;
    result.source.resize(static_cast<size_t>(vertexCount));
    result.coordinates.resize(static_cast<size_t>(vertexCount));
    for (int i = 0; i < vertexCount; ++i) {
        result.source[static_cast<size_t>(i)] = i;
    }
    result.triangles.resize(static_cast<size_t>(mesh.numFaces));
    const bool mapped = mesh.numTVerts > 0 && mesh.tvFace != nullptr;

    if (!mapped) {
        for (int i = 0; i < vertexCount; ++i) {
            const Point3& p = mesh.verts[i];
            result.coordinates[static_cast<size_t>(i)] = modelformat::sphericalMapping(p.x, p.y, p.z);
        }
        for (int f = 0; f < mesh.numFaces; ++f) {
            for (int corner = 0; corner < 3; ++corner) {
                result.triangles[static_cast<size_t>(f)][static_cast<size_t>(corner)] =
                    validIndex(mesh.faces[f].v[corner], vertexCount);
            }
        }
        return result;
    }

    std::vector<bool> assigned(static_cast<size_t>(vertexCount), false);
    // Further coordinates of a vertex, keyed by (vertex, u, v), give the appended vertex.
    std::map<std::pair<int, std::pair<float, float>>, int> split;
    for (int f = 0; f < mesh.numFaces; ++f) {
        for (int corner = 0; corner < 3; ++corner) {
            const int vertex = validIndex(mesh.faces[f].v[corner], vertexCount);
            const DWORD textureIndex = mesh.tvFace[f].t[corner];
            modelformat::TextureCoordinate coordinate;
            if (textureIndex < static_cast<DWORD>(mesh.numTVerts)) {
                coordinate.u = mesh.tVerts[textureIndex].x;
                coordinate.v = mesh.tVerts[textureIndex].y;
            }
            int surfaceVertex = vertex;
            const auto slot = static_cast<size_t>(vertex);
            if (vertexCount == 0) {
                surfaceVertex = 0;
            } else if (!assigned[slot]) {
                assigned[slot] = true;
                result.coordinates[slot] = coordinate;
            } else if (result.coordinates[slot].u != coordinate.u || result.coordinates[slot].v != coordinate.v) {
                const auto key = std::make_pair(vertex, std::make_pair(coordinate.u, coordinate.v));
                const auto found = split.find(key);
                if (found != split.end()) {
                    surfaceVertex = found->second;
                } else {
                    surfaceVertex = static_cast<int>(result.source.size());
                    result.source.push_back(vertex);
                    result.coordinates.push_back(coordinate);
                    split.emplace(key, surfaceVertex);
                }
            }
            result.triangles[static_cast<size_t>(f)][static_cast<size_t>(corner)] = surfaceVertex;
        }
    }
    return result;
}

// Frames are taken from the scene and encoded this many vertices at a time: enough that handing a
// batch to the helper thread costs little beside encoding it, few enough that the three batches in
// memory (one written, one encoded, one taken from the scene) stay small whatever the length of
// the animation.
constexpr int64_t kBatchVertices = 16384;
// A batch smaller than this is encoded by this thread alone: waking the helper would cost more.
constexpr int64_t kSharedBatchVertices = 4096;

int framesPerBatch(int32_t vertexCount, int frameCount) {
    const int64_t frames = kBatchVertices / std::max<int64_t>(vertexCount, 1);
    return static_cast<int>(std::max<int64_t>(1, std::min<int64_t>(frames, std::max(frameCount, 1))));
}

// A batch handed to the helper thread for encoding, taken back by finish(), or, should this thread
// throw before that, when it goes: the helper never works on a batch that is gone.
class SharedEncoding {
public:
    // Encodes the batch's frames into its records; previous, when given, is a batch encoded before
    // whose records are written first, by whichever thread takes that task. The owner does not
    // touch the writer until finish().
    SharedEncoding(HelperThread& helper, FrameBatch& batch, size_t frameBytes, const FrameBatch* previous,
                   modelformat::BinaryWriter& writer, bool shared)
        : helper_(helper) {
        const size_t writes = previous != nullptr ? 1 : 0;
        helper_.start(
            static_cast<size_t>(batch.count) + writes,
            [&batch, frameBytes, previous, &writer, writes](size_t task) {
                if (task < writes) {
                    writer.writeBytes(previous->records.data(), previous->records.size());
                    return;
                }
                const size_t k = task - writes;
                SurfaceFrameEncoder::encode(batch.gathered[k], batch.encoded[k]);
                batch.encoded[k].storeRecords(batch.records.data() + k * frameBytes);
            },
            shared);
    }
    ~SharedEncoding() {
        if (pending_) {
            try {
                helper_.finish();
            } catch (...) {
                // The exception already on its way is the one reported.
            }
        }
    }
    SharedEncoding(const SharedEncoding&) = delete;
    SharedEncoding& operator=(const SharedEncoding&) = delete;

    void finish() {
        pending_ = false;
        helper_.finish();
    }

private:
    HelperThread& helper_;
    bool pending_ = true;
};

}  // namespace

void Md3ExportRun::writeSurface(int surfacePosition) {
    INode* startNode = startCollection_->nodeAt(surfacePosition);
    const std::string nodeName = startNode->GetName() != nullptr ? startNode->GetName() : "";
    EvaluatedMesh start(startNode, startTime_);
    Mesh emptyMesh;
    Mesh& startMesh = start.mesh() != nullptr ? *start.mesh() : emptyMesh;
    BitmapTex* map = shaderMap(startNode);

    const SurfaceVertices vertices = buildVertices(startMesh);
    const auto vertexCount = static_cast<int32_t>(vertices.source.size());

    const int64_t surfaceStart = writer_->position();
    writer_->writeBytes(modelformat::kMd3Magic, sizeof modelformat::kMd3Magic);
    writer_->writeTextField(nameField("surface", nodeName), modelformat::kMd3SurfaceNameLength);
    progress_.setText("Writing %s Info\n", nodeName.c_str());
    writer_->writeInt32(frameCount_);
    writer_->writeInt32(map != nullptr ? 1 : 0);
    writer_->writeInt32(vertexCount);
    writer_->writeInt32(startMesh.numFaces);
    const PatchSite trianglesOffset = writer_->reserveOffset(0, surfaceStart);
    writer_->writeInt32(modelformat::kMd3SurfaceHeaderSize);  // shaders follow the header
    const PatchSite texCoordsOffset = writer_->reserveOffset(0, surfaceStart);
    const PatchSite verticesOffset = writer_->reserveOffset(0, surfaceStart);
    const PatchSite endOffset = writer_->reserveOffset(0, surfaceStart);

    if (map != nullptr) {
        const char* mapName = map->GetMapName() != nullptr ? map->GetMapName() : "";
        const std::string copy = std::string(mapName).substr(0, kMapNameCopyLength);
        writer_->writeTextField(nameField(("shader of surface '" + nodeName + "':").c_str(),
                                          options_.smartPaths ? modelformat::smartPath(copy) : copy),
                                modelformat::kMd3ShaderNameLength);
    }

    modelformat::ByteBlock block;
    writer_->patchWithCurrentPosition(trianglesOffset);
    for (const std::array<int, 3>& triangle : vertices.triangles) {
        // Corners 0, 2, 1: the game's winding is the reverse of the host's.
        block.addInt32(triangle[0]);
        block.addInt32(triangle[2]);
        block.addInt32(triangle[1]);
    }
    writer_->writeBytes(block.data(), block.size());

    writer_->patchWithCurrentPosition(texCoordsOffset);
    if (startMesh.numTVerts == 0 || startMesh.tvFace == nullptr) {
        warn(kNoMappingWarning, nodeName.c_str());
    }
    block.clear();
    for (const modelformat::TextureCoordinate& coordinate : vertices.coordinates) {
        block.addFloat32(coordinate.u);
        block.addFloat32(1.0f - coordinate.v);
    }
    writer_->writeBytes(block.data(), block.size());

    writer_->patchWithCurrentPosition(verticesOffset);
    // Frames go in batches, three at a time: while this thread takes a batch from the scene, the
    // helper thread writes the batch before the one being encoded and encodes with it; this thread
    // then joins in the encoding.
    SurfaceFrameEncoder encoder(startMesh, vertices.source);
    const int batchFrames = framesPerBatch(vertexCount, frameCount_);
    const bool shared = static_cast<int64_t>(vertexCount) * batchFrames >= kSharedBatchVertices;
    const size_t frameBytes = static_cast<size_t>(vertexCount) * static_cast<size_t>(modelformat::kMd3VertexSize);
    std::array<FrameBatch, 3>& batches = frameBatches_;
    bool clamped = false;
    bool vertexCountChanged = false;
    const auto gatherBatch = [&](FrameBatch& batch, int first) {
        batch.first = first;
        batch.count = std::min(batchFrames, frameCount_ - first);
        batch.gathered.resize(static_cast<size_t>(batch.count));
        batch.encoded.resize(static_cast<size_t>(batch.count));
        for (int k = 0; k < batch.count; ++k) {
            const int frame = first + k;
            INode* node = nodeAtFrame(frame, surfacePosition);
            // Evaluated before its name is shown: the name is the node's at the frame's time.
            EvaluatedMesh evaluated(node, frameTime(frame));
            progress_.setText("Writing Frame %d of %s\n", frame, node->GetName() != nullptr ? node->GetName() : "");
            Mesh* frameMesh = evaluated.mesh();
            if (frameMesh == nullptr) {
                frameMesh = &startMesh;
                vertexCountChanged = true;
            } else if (frameMesh->numVerts != startMesh.numVerts) {
                vertexCountChanged = true;
            }
            encoder.gather(*frameMesh, frameTransform(node, frame), batch.gathered[static_cast<size_t>(k)]);
            // Sized here, where running out of memory is reported as everywhere else.
            batch.encoded[static_cast<size_t>(k)].vertices.resize(static_cast<size_t>(vertexCount));
        }
        batch.records.resize(static_cast<size_t>(batch.count) * frameBytes);
    };
    const FrameBatch* previous = nullptr;  // encoded, its records not yet written
    for (FrameBatch& batch : batches) {
        batch.count = 0;
    }
    if (frameCount_ > 0) {
        gatherBatch(batches[0], 0);
    }
    for (size_t current = 0; batches[current].count > 0; current = (current + 1) % batches.size()) {
        FrameBatch& batch = batches[current];
        FrameBatch& following = batches[(current + 1) % batches.size()];  // written two rounds ago
        following.count = 0;
        {
            SharedEncoding encoding(helper_, batch, frameBytes, previous, *writer_, shared);
            const int next = batch.first + batch.count;
            if (next < frameCount_) {
                gatherBatch(following, next);
            }
            encoding.finish();
        }
        for (int k = 0; k < batch.count; ++k) {
            const SurfaceFrame& frameRecords = batch.encoded[static_cast<size_t>(k)];
            clamped = clamped || frameRecords.clamped;
            modelformat::FrameBounds& bounds = frameBounds_[static_cast<size_t>(batch.first) + static_cast<size_t>(k)];
            if (!frameRecords.bounds.empty()) {
                bounds.add(frameRecords.bounds.minCorner());
                bounds.add(frameRecords.bounds.maxCorner());
            }
        }
        previous = &batch;
    }
    if (previous != nullptr) {
        writer_->writeBytes(previous->records.data(), previous->records.size());
    }

    if (encoder.normalsMissing()) {
        warn(kNoNormalsWarning, nodeName.c_str());
    }
    if (clamped) {
        warn(kClampedWarning, nodeName.c_str());
    }
    if (vertexCountChanged) {
        warn(kVertexCountWarning, nodeName.c_str());
    }
    writer_->patchWithCurrentPosition(endOffset);
}
