// Small MD3 and MD2 files for the whole-model tests, laid out by the test builders, and a scratch
// folder for what they write.
#ifndef TESTS_MODELFILE_MODEL_FILES_H
#define TESTS_MODELFILE_MODEL_FILES_H

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <animated_model.h>

#include "model_builders.h"

#include "scratch_folder.h"

namespace modeltest {

using testsupport::ScratchFolder;

// An MD3 surface of one triangle whose vertices move `frame` units along x in each frame, starting
// at `offset` along z; its normals turn a step per frame.
modelformat::Md3Surface triangleSurface(const std::string& name, const std::string& shader, int frames,
                                        int16_t offset = 0);
// A model of `frames` frames holding these surfaces and tags (tags: frames x count, frame-major).
modelformat::Md3Model md3With(int frames, const std::vector<modelformat::Md3Surface>& surfaces,
                              const std::vector<modelformat::Md3TagRecord>& tags = {}, int tagCount = 0);
std::vector<uint8_t> bytesOf(const modelformat::Md3Model& model);
// An MD2 of 4 vertices whose frames have these names.
std::vector<uint8_t> md2Named(const std::vector<std::string>& names);
// A tag whose axes are a turn of `degrees` about z, each scaled, the first mirrored when asked.
modelformat::Md3TagRecord tagRecord(const std::string& name, float degrees, modelformat::Md3Vec3 scale, bool mirrored,
                                    modelformat::Md3Vec3 origin);

host::modelfile::AnimatedModel modelOf(const std::vector<uint8_t>& bytes);
// Writes the model as .glb or .gltf, by the path's extension; answers the warnings.
std::vector<std::string> writeGltf(const host::modelfile::AnimatedModel& model, const std::string& path,
                                   int framesPerSecond = 30);
bool mentions(const std::vector<std::string>& lines, const std::string& text);

}  // namespace modeltest

#endif
