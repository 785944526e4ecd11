// Line-by-line reading shared by the player folder's text files.
#include "text_lines.h"

#include <cstdio>

namespace host::player {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

std::vector<TextLine> splitLines(std::string_view text) {
    std::vector<TextLine> lines;
    size_t number = 1;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = start;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r') {
            ++end;
        }
        std::string_view line = text.substr(start, end - start);
        const size_t comment = line.find("//");
        if (comment != std::string_view::npos) {
            line = line.substr(0, comment);
        }
        lines.push_back({number, trimmed(line)});
        ++number;
        // CRLF ends one line, as LF or CR alone do.
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') {
            ++end;
        }
        start = end + 1;
    }
    return lines;
}

std::vector<std::string_view> splitWords(std::string_view line) {
    std::vector<std::string_view> words;
    size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && isBlank(line[at])) {
            ++at;
        }
        const size_t start = at;
        while (at < line.size() && !isBlank(line[at])) {
            ++at;
        }
        if (at > start) {
            words.push_back(line.substr(start, at - start));
        }
    }
    return words;
}

size_t findControlCharacter(std::string_view text) {
    for (size_t at = 0; at < text.size(); ++at) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if ((byte < 0x20 && byte != '\t') || byte == 0x7f) {
            return at;
        }
    }
    return std::string_view::npos;
}

bool checkTextLine(const TextLine& line, std::string& error) {
    const size_t control = findControlCharacter(line.text);
    if (control == std::string_view::npos) {
        return true;
    }
    error = atLine(line.number, "a control character (byte " +
                                    std::to_string(static_cast<unsigned char>(line.text[control])) +
                                    "); the file is not text");
    return false;
}

std::string atLine(size_t number, const std::string& message) {
    return "line " + std::to_string(number) + ": " + message;
}

std::string quoted(std::string_view word) {
    constexpr size_t kShown = 40;
    std::string text = "'";
    for (size_t at = 0; at < word.size() && at < kShown; ++at) {
        const auto byte = static_cast<unsigned char>(word[at]);
        if (byte < 0x20 || byte >= 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            text += escaped;
        } else {
            text += static_cast<char>(byte);
        }
    }
    if (word.size() > kShown) {
        text += "...";
    }
    return text + "'";
}

}  // namespace host::player
