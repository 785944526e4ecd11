// A surface's frames as MD3 vertex records: one frame's mesh, under the frame's transform, turned
// into stored positions and normal bytes with the frame's bounds, without writing anything.
#ifndef BRINDLARK_SURFACE_FRAMES_H
#define BRINDLARK_SURFACE_FRAMES_H

#include <cstdint>
#include <vector>

#include <max.h>
#include <modelformat/byte_block.h>
#include <modelformat/md3_encoding.h>
#include <modelformat/md3_format.h>

// One frame of a surface as stored.
struct SurfaceFrame {
    std::vector<modelformat::Md3Vertex> vertices;  // one record per surface vertex
    modelformat::FrameBounds bounds;               // of the stored positions
    bool clamped = false;                          // a coordinate lay outside the format's range

    // The records as the file holds them: x, y, z as little-endian int16, then the polar and
    // azimuth bytes, 8 bytes a vertex.
    void appendTo(modelformat::ByteBlock& block) const;
    // The same bytes at out, which has room for them.
    void storeRecords(uint8_t* out) const;
};

// One frame of a surface as taken from the scene, ready to be encoded on any thread: each surface
// vertex's position and normal in the frame's object space, and the transform into the stored
// space.
struct GatheredFrame {
    std::vector<Point3> positions;
    std::vector<Point3> normals;  // empty when the frame's normals are stored as zero
    Matrix3 transform;
};

class SurfaceFrameEncoder {
public:
    // source gives the mesh vertex of each surface vertex; a vertex a frame's mesh lacks is taken
    // from startMesh. Both must outlive the encoder.
    SurfaceFrameEncoder(Mesh& startMesh, const std::vector<int>& source);

    // Encodes a frame's mesh under the transform of its object space into the stored space:
    // gather() then encode().
    void encode(Mesh& frameMesh, const Matrix3& transform, SurfaceFrame& frame);
    // Takes what a frame's records are made of from its mesh, frames in order, on the thread that
    // may call the host. Normals are built on the meshes when missing. From the first frame whose
    // mesh has none, the normals of that frame and every later one are stored as zero.
    void gather(Mesh& frameMesh, const Matrix3& transform, GatheredFrame& gathered);
    // A gathered frame's records. It reads nothing but the gathered frame: frames may be encoded
    // on several threads at once, and in any order.
    static void encode(const GatheredFrame& gathered, SurfaceFrame& frame);
    bool normalsMissing() const { return normalsMissing_; }

private:
    Mesh& startMesh_;
    const std::vector<int>& source_;
    size_t ownPrefix_ = 0;  // how many leading surface vertices are mesh vertices 0, 1, ...
    bool normalsMissing_ = false;
};

// Frames first .. first+count-1 of a surface, as taken from the scene and as encoded, and their
// records as the file holds them, one frame after the other. Kept from surface to surface, so
// that their memory is taken once per export.
struct FrameBatch {
    int first = 0;
    int count = 0;
    std::vector<GatheredFrame> gathered;
    std::vector<SurfaceFrame> encoded;
    std::vector<uint8_t> records;
};

#endif
