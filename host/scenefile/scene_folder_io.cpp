// assimp's file access bounded to the scene file's folder.
#include "scene_folder_io.h"

#include <system_error>

namespace host::scenefile {

namespace fs = std::filesystem;

namespace {

// The path with every link and "." or ".." resolved, as far as it exists; empty when even that
// fails.
fs::path resolved(const fs::path& path) {
    std::error_code error;
    fs::path absolute = fs::absolute(path, error);
    if (error) {
        return {};
    }
    fs::path result = fs::weakly_canonical(absolute, error);
    return error ? fs::path() : result;
}

bool within(const fs::path& file, const fs::path& folder) {
    if (file.empty() || folder.empty()) {
        return false;
    }
    const fs::path relative = file.lexically_relative(folder);
    return !relative.empty() && *relative.begin() != ".." && relative != ".";
}

}  // namespace

SceneFolderIOSystem::SceneFolderIOSystem(std::string scenePath, bool allowOutside)
    : scenePath_(std::move(scenePath)), allowOutside_(allowOutside) {
    const fs::path scene(scenePath_);
    folder_ = resolved(scene.has_parent_path() ? scene.parent_path() : fs::path("."));
}

bool SceneFolderIOSystem::allowed(const char* file) const {
    // The scene file itself, by the name it was given (it may be a link to anywhere).
    if (allowOutside_ || file == nullptr || scenePath_ == file) {
        return true;
    }
    return within(resolved(file), folder_);
}

void SceneFolderIOSystem::refuse(const char* file) const {
    if (!refused_.empty() || file == nullptr || !DefaultIOSystem::Exists(file)) {
        return;
    }
    // assimp names a referenced file by the scene file's folder and the reference: show the
    // reference as the scene file has it.
    std::string shown = file;
    const size_t slash = scenePath_.find_last_of('/');
    const std::string prefix = slash == std::string::npos ? std::string() : scenePath_.substr(0, slash + 1);
    if (!prefix.empty() && shown.compare(0, prefix.size(), prefix) == 0) {
        shown.erase(0, prefix.size());
    }
    refused_ = shown.empty() ? std::string(file) : shown;
}

bool SceneFolderIOSystem::Exists(const char* file) const {
    if (!allowed(file)) {
        refuse(file);
        return false;
    }
    return DefaultIOSystem::Exists(file);
}

Assimp::IOStream* SceneFolderIOSystem::Open(const char* file, const char* mode) {
    if (!allowed(file)) {
        refuse(file);
        return nullptr;
    }
    return DefaultIOSystem::Open(file, mode);
}

}  // namespace host::scenefile
