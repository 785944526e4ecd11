// assimp's file access while a scene is saved: every file an exporter writes (the scene file and
// its buffers, material libraries or images) goes into one set of files put in place together.
#ifndef HOST_SCENEFILE_FILE_SET_IO_H
#define HOST_SCENEFILE_FILE_SET_IO_H

#include <assimp/DefaultIOSystem.h>

#include <modelformat/output_stream.h>

namespace host::scenefile {

class FileSetIOSystem : public Assimp::DefaultIOSystem {
public:
    // The set outlives the IO system.
    explicit FileSetIOSystem(modelformat::FileSetOutput& files) : files_(files) {}

    using Assimp::DefaultIOSystem::Open;
    // A file opened for writing is a file of the set (null when it cannot be written there: the
    // set says why); reading goes to the disk as usual.
    Assimp::IOStream* Open(const char* file, const char* mode = "rb") override;
    void Close(Assimp::IOStream* file) override;

private:
    modelformat::FileSetOutput& files_;
};

}  // namespace host::scenefile

#endif
