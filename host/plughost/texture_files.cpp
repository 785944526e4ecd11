// Embedded images written beside an exported model, where the game looks for them.
#include "texture_files.h"

#include <fstream>
#include <iterator>
#include <system_error>

#include <modelformat/output_stream.h>

namespace host {

namespace {

const char kModelsFolder[] = "models";

enum class Standing { Nothing, SameImage, OtherFile, NotAFile };

// What stands at a path, compared with an image's bytes (symbolic links followed).
Standing standingAt(const std::filesystem::path& path, const std::vector<unsigned char>& bytes) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        return Standing::Nothing;
    }
    if (error || status.type() != std::filesystem::file_type::regular) {
        return Standing::NotAFile;
    }
    if (std::filesystem::file_size(path, error) != bytes.size() || error) {
        return Standing::OtherFile;
    }
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> there((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return in.bad() || there != bytes ? Standing::OtherFile : Standing::SameImage;
}

std::string refusal(const std::filesystem::path& path, Standing standing, const EmbeddedImage& image) {
    if (standing == Standing::NotAFile) {
        return "'" + path.string() + "', where the embedded image " + image.fileName + " goes, is not a regular file";
    }
    return "'" + path.string() + "' is there and is not the embedded image " + image.fileName + "; --force replaces it";
}

}  // namespace

TextureFolders textureFoldersOf(const std::string& outputPath) {
    TextureFolders folders;
    std::error_code error;
    std::filesystem::path output = std::filesystem::absolute(outputPath, error);
    if (error) {
        output = outputPath;
    }
    folders.outputFolder = output.lexically_normal().parent_path();
    std::vector<std::filesystem::path> parts(folders.outputFolder.begin(), folders.outputFolder.end());
    size_t models = parts.size();
    for (size_t i = parts.size(); i > 0; --i) {
        if (parts[i - 1] == kModelsFolder) {
            models = i - 1;
            break;
        }
    }
    if (models == parts.size()) {
        return folders;
    }
    for (size_t i = 0; i < models; ++i) {
        folders.gameFolder /= parts[i];
    }
    for (size_t i = models; i < parts.size(); ++i) {
        if (!parts[i].empty()) {
            folders.modelsFolder += (folders.modelsFolder.empty() ? "" : "/") + parts[i].string();
        }
    }
    return folders;
}

bool planTextureFiles(const std::vector<EmbeddedImage>& images, const TextureFolders& folders, bool force,
                      std::vector<TextureFile>& files, std::string& error) {
    files.clear();
    for (const EmbeddedImage& image : images) {
        TextureFile file;
        file.image = &image;
        file.path = folders.modelsFolder.empty() ? folders.outputFolder / image.fileName
                                                 : folders.gameFolder / image.bitmapName;
        const Standing standing = standingAt(file.path, image.bytes);
        if (standing == Standing::NotAFile || (standing == Standing::OtherFile && !force)) {
            error = refusal(file.path, standing, image);
            return false;
        }
        file.alreadyThere = standing == Standing::SameImage;
        files.push_back(std::move(file));
    }
    return true;
}

bool writeTextureFiles(const std::vector<TextureFile>& files, bool force, std::string& error) {
    for (const TextureFile& file : files) {
        if (file.alreadyThere) {
            continue;
        }
        const EmbeddedImage& image = *file.image;
        const Standing standing = standingAt(file.path, image.bytes);
        if (standing == Standing::SameImage) {
            continue;
        }
        if (standing == Standing::NotAFile || (standing == Standing::OtherFile && !force)) {
            error = refusal(file.path, standing, image);
            return false;
        }
        std::error_code made;
        std::filesystem::create_directories(file.path.parent_path(), made);
        modelformat::FileOutputStream out;
        if (made || !out.open(file.path.string()) || !out.write(image.bytes.data(), image.bytes.size()) ||
            !out.commit()) {
            out.abandon();
            error = "cannot write '" + file.path.string() + "'" + (made ? ": " + made.message() : "");
            return false;
        }
    }
    return true;
}

}  // namespace host
