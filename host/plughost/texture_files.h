// Where the images a scene file embeds go beside an exported model, and writing them there.
#ifndef HOST_PLUGHOST_TEXTURE_FILES_H
#define HOST_PLUGHOST_TEXTURE_FILES_H

#include <filesystem>
#include <string>
#include <vector>

#include <scene_file.h>

namespace host {

// The game finds a model's textures by shader names that start at its "models" folder, from the
// folder that holds it (baseq3/ and the like). Of an output path: that folder, and the output's
// own folder from the last folder named "models" on ("models/players/x"), or "" when its path has
// no folder of that name.
struct TextureFolders {
    std::filesystem::path outputFolder;
    std::filesystem::path gameFolder;  // the folder that holds "models"; empty when there is none
    std::string modelsFolder;          // with '/' between the parts
};
TextureFolders textureFoldersOf(const std::string& outputPath);

// One embedded image's file.
struct TextureFile {
    const EmbeddedImage* image = nullptr;
    std::filesystem::path path;
    bool alreadyThere = false;  // a file with the same bytes is there
};

// Where each image goes: below the game folder by its bitmap name (FOLDER/NAME.EXT) when the
// output's path holds "models", else beside the output by its file name. Answers false with the
// reason when something stands at such a place that is not a regular file, or a file that differs
// from the image and force is not given.
bool planTextureFiles(const std::vector<EmbeddedImage>& images, const TextureFolders& folders, bool force,
                      std::vector<TextureFile>& files, std::string& error);

// Writes the images not already there, making their folders. Each is written beside its place
// and moved there only once complete, so that a failure leaves no partial image and the file
// that was there before; a file that appeared meanwhile is checked again as planned.
bool writeTextureFiles(const std::vector<TextureFile>& files, bool force, std::string& error);

}  // namespace host

#endif
