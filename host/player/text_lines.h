// Line-by-line reading shared by the player folder's text files: lines ended by LF, CRLF or CR,
// each numbered from 1, with its // comment cut off and surrounding white space trimmed.
#ifndef HOST_PLAYER_TEXT_LINES_H
#define HOST_PLAYER_TEXT_LINES_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace host::player {

struct TextLine {
    size_t number = 0;      // 1-based
    std::string_view text;  // without its comment, trimmed; may be empty
};

// Every line of `text` (views into it).
std::vector<TextLine> splitLines(std::string_view text);

// Splits a line at runs of spaces and tabs.
std::vector<std::string_view> splitWords(std::string_view line);

// The first byte of `text` that a text file of this kind never holds (a control character other
// than tab), or npos.
size_t findControlCharacter(std::string_view text);

// False, with "line N: a control character ..." in error, when the line holds such a byte.
bool checkTextLine(const TextLine& line, std::string& error);

// "line N: message"
std::string atLine(size_t number, const std::string& message);

// A word shown in a message: quoted, cut to 40 characters, bytes outside printable ASCII as \xNN.
std::string quoted(std::string_view word);

}  // namespace host::player

#endif
