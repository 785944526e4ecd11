// plughost check DIR: a Quake III player folder judged as the game joins, animates and skins it.
#ifndef HOST_PLUGHOST_PLAYER_CHECK_H
#define HOST_PLUGHOST_PLAYER_CHECK_H

#include <string>
#include <vector>

namespace host {

struct PlayerFolderReport {
    std::vector<std::string> summary;   // what the folder holds, one line each
    std::vector<std::string> problems;  // each makes the folder fail, in plain words
    std::vector<std::string> warnings;  // worth knowing; the folder still passes
};

// The three parts (lower.md3, upper.md3, head.md3) and their levels of detail (_1, _2) read and
// judged as `check FILE` judges a file; the tags the game joins the parts by; the reference tags
// each part is expressed relative to; animation.cfg's rows against the parts' frame counts; every
// lower_*.skin, upper_*.skin and head_*.skin against its part's surfaces.
PlayerFolderReport checkPlayerFolder(const std::string& folder);

// The name the game looks a surface up by in a .skin: lower-case, a final '_' and the one
// character after it dropped ("Body_1" -> "body").
std::string gameSurfaceName(const std::string& surfaceName);

}  // namespace host

#endif
