// The importer's readers: a model file read once and imported by its magic, the MD3 and MD2
// readers into nodes of the host scene, and the node-adding step they share.
#ifndef CORVINALE_MODEL_READERS_H
#define CORVINALE_MODEL_READERS_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

#include <max.h>
#include <modelformat/md3_reader.h>

// Reads an open model file once, from its start, and imports it by its first four bytes, whatever
// its name: "IDP3" as MD3, "IDP2" as MD2 (its frame kMd2ImportFrame). Answers 1 on success; 0 for
// any other start, a file that cannot be read or is refused, or memory running out, which is
// never thrown to the caller. Nodes added before a failure stay in the scene.
int readModelFile(ImpInterface* importer, std::FILE* file);

// Imports the bytes of an MD3 file, magic included: one marker node per tag, placed by the first
// frame, then one mesh node per surface with its first frame. Answers 1 on success and 0 on
// failure; nodes added before a failure stay in the scene.
int readMd3Model(ImpInterface* importer, const uint8_t* file, size_t size);

// Fills a mesh with one surface's first frame: positions in scene units, texture coordinates
// with t flipped back, the stored winding reversed back.
int readMd3Surface(Mesh& mesh, const modelformat::Md3Surface& surface);

// Imports the bytes of an MD2 file into one node named "Quake MD2", from the frame at frameIndex
// (lowered to the last frame when the model has fewer).
int readMd2Model(ImpInterface* importer, const uint8_t* file, size_t size, int frameIndex);

// Hands a finished object to a new node: object, transform at time 0, into the scene, then the
// name, in this order. Answers 1, or 0 when the host makes no node (the object is destroyed).
int addImportedNode(ImpInterface* importer, std::unique_ptr<TriObject> object, const Matrix3& transform,
                    const char* name);

// The name of the node being built, shared by the MD3 reader's steps and kept between imports.
extern char nodeNameBuffer[68];

#endif
