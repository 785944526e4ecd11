// Images a scene file holds itself (a GLB's binary chunk, a data: URI, an FBX's embedded media):
// the file names they get, FOLDER/NAME.EXT, and the bytes to write there.
#ifndef HOST_SCENEFILE_EMBEDDED_IMAGES_H
#define HOST_SCENEFILE_EMBEDDED_IMAGES_H

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <assimp/texture.h>

#include "scene_file.h"

namespace host::scenefile {

// The extension of an image file from its first bytes: "png", "jpg", "bmp", "tga" (TGA has no
// magic: its footer, or the reader's hint with a header that fits), else the reader's hint when
// it is a plain short word (lower-cased), else "".
std::string imageExtension(const unsigned char* data, size_t size, const char* formatHint);

// A name to build a file name on: the last part of a path, without an image file's extension,
// every character but letters, digits, '_', '-' and '.' replaced by '_' (shader names go into
// scripts and archives). "" when nothing is left.
std::string imageFileStem(const std::string& name);

// Names the embedded images a scene's materials use, once per image, and keeps their bytes.
class EmbeddedImageNames {
public:
    // folder: where the names are put ("models/players/x"; "" for none).
    explicit EmbeddedImageNames(std::string folder);

    // The bitmap name of the file's texture number index, read from image: NAME from the first
    // of the candidates that gives one (the image's own name, the material's, the node's; else
    // "image_N"), made unique (a case-insensitive "_2", "_3" suffix, as archives and Windows
    // compare names), EXT from its bytes. What the caller should warn of goes into problem: an
    // image kept as raw pixels, which is not written (the answer is then ""), or one whose format
    // is not told.
    std::string nameOf(unsigned index, const aiTexture& image, const std::vector<std::string>& candidates,
                       std::string& problem);

    // The images named, in the order they were first asked for.
    std::vector<EmbeddedImage> take() { return std::move(images_); }

private:
    std::string folder_;
    std::map<unsigned, std::string> byIndex_;
    std::set<std::string> takenLowerCase_;
    std::map<std::string, long long> nextSuffix_;
    std::vector<EmbeddedImage> images_;
};

}  // namespace host::scenefile

#endif
