// The .skin files of a player part: one line per surface naming its texture ("surface,texture"),
// and the part's tags on lines of their own ("tag_torso,"), as the stock files have them.
#ifndef HOST_PLAYER_SKIN_FILE_H
#define HOST_PLAYER_SKIN_FILE_H

#include <string>
#include <string_view>
#include <vector>

namespace host::player {

struct SkinEntry {
    std::string surface;
    std::string texture;  // empty: a tag line
    bool operator==(const SkinEntry& other) const { return surface == other.surface && texture == other.texture; }
};

// "surface,texture\n" per entry; an entry without texture (a tag) as "name,\n".
std::string writeSkin(const std::vector<SkinEntry>& entries);

// Lines "surface,texture" or "name" / "name," (a tag line, or a surface given no texture); blank
// lines and // comments skipped, spaces around the fields ignored. False with a plain-words reason
// ("line 3: ...") on a bad file; `out` is then left as it was.
bool parseSkin(std::string_view text, std::vector<SkinEntry>& out, std::string& error);

// The files the game may find a player's icon for a skin in (icon_SKIN with the image extensions
// it reads); without one it refuses the player and draws its default one.
std::vector<std::string> iconNames(const std::string& skin);

}  // namespace host::player

#endif
