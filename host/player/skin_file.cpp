// The .skin files of a player part, read and written as the stock files lay them out.
#include "skin_file.h"

#include "text_lines.h"

namespace host::player {

namespace {

std::string_view trimmedField(std::string_view field) {
    while (!field.empty() && (field.front() == ' ' || field.front() == '\t')) {
        field.remove_prefix(1);
    }
    while (!field.empty() && (field.back() == ' ' || field.back() == '\t')) {
        field.remove_suffix(1);
    }
    return field;
}

}  // namespace

std::string writeSkin(const std::vector<SkinEntry>& entries) {
    std::string text;
    for (const SkinEntry& entry : entries) {
        text += entry.surface + "," + entry.texture + "\n";
    }
    return text;
}

bool parseSkin(std::string_view text, std::vector<SkinEntry>& out, std::string& error) {
    std::vector<SkinEntry> entries;
    for (const TextLine& line : splitLines(text)) {
        if (line.text.empty()) {
            continue;
        }
        if (!checkTextLine(line, error)) {
            return false;
        }
        const size_t comma = line.text.find(',');
        const std::string_view surface = trimmedField(line.text.substr(0, comma));
        const std::string_view texture =
            comma == std::string_view::npos ? std::string_view() : trimmedField(line.text.substr(comma + 1));
        if (surface.empty()) {
            error = atLine(line.number, "no surface name before the comma");
            return false;
        }
        if (texture.find(',') != std::string_view::npos) {
            error = atLine(line.number, "more than one comma; a line is \"surface,texture\"");
            return false;
        }
        entries.push_back({std::string(surface), std::string(texture)});
    }
    out = std::move(entries);
    return true;
}

std::vector<std::string> iconNames(const std::string& skin) {
    return {"icon_" + skin + ".tga", "icon_" + skin + ".png", "icon_" + skin + ".jpg"};
}

}  // namespace host::player
