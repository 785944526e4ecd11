// The importer's readers: MD3 and MD2 files from an open stream into nodes of the host scene.
#ifndef CORVINALE_MODEL_READERS_H
#define CORVINALE_MODEL_READERS_H

#include <cstdio>

#include <max.h>
#include <modelformat/md3_reader.h>

// Reads an MD3 file whose 4-byte magic has just been read: one marker node per tag, placed by
// the first frame, then one mesh node per surface with its first frame. Answers 1 on success
// and 0 on failure; nodes added before a failure stay in the scene.
int readMd3Model(ImpInterface* importer, std::FILE* file);

// Fills a mesh with one surface's first frame: positions in scene units, texture coordinates
// with t flipped back, the stored winding reversed back.
int readMd3Surface(Mesh& mesh, const modelformat::Md3Surface& surface);

// Reads an MD2 file from its start into one node named "Quake MD2", from the frame at
// frameIndex (lowered to the last frame when the model has fewer).
int readMd2Model(ImpInterface* importer, std::FILE* file, int frameIndex);

// The name of the node being built, shared by the MD3 reader's steps and kept between imports.
extern char nodeNameBuffer[68];

#endif
