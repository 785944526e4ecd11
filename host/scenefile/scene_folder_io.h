// assimp's file access while one scene file is read: the scene file itself, and the files it
// refers to (glTF buffers, an OBJ's material library, ...) only from the scene file's folder and
// below, unless reading from anywhere is allowed.
#ifndef HOST_SCENEFILE_SCENE_FOLDER_IO_H
#define HOST_SCENEFILE_SCENE_FOLDER_IO_H

#include <filesystem>
#include <string>

#include <assimp/DefaultIOSystem.h>

namespace host::scenefile {

class SceneFolderIOSystem : public Assimp::DefaultIOSystem {
public:
    SceneFolderIOSystem(std::string scenePath, bool allowOutside);

    using Assimp::DefaultIOSystem::Exists;
    using Assimp::DefaultIOSystem::Open;
    bool Exists(const char* file) const override;
    Assimp::IOStream* Open(const char* file, const char* mode = "rb") override;

    // The first existing file refused, as the scene file names it; empty when none was.
    const std::string& refused() const { return refused_; }

private:
    bool allowed(const char* file) const;
    // Remembers a refused file that exists (one that does not is simply not found).
    void refuse(const char* file) const;

    std::string scenePath_;
    std::filesystem::path folder_;  // the scene file's folder, links resolved
    bool allowOutside_;
    mutable std::string refused_;
};

}  // namespace host::scenefile

#endif
