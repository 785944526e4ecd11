// animation.cfg of a Quake III player, read and written in the layout of the stock files.
#include "animation_config.h"

#include <charconv>
#include <cmath>
#include <vector>

#include "text_lines.h"

namespace host::player {

namespace {

const char* const kAnimationNames[kAnimationCount] = {
    "BOTH_DEATH1",  "BOTH_DEAD1",    "BOTH_DEATH2", "BOTH_DEAD2",  "BOTH_DEATH3", "BOTH_DEAD3",   "TORSO_GESTURE",
    "TORSO_ATTACK", "TORSO_ATTACK2", "TORSO_DROP",  "TORSO_RAISE", "TORSO_STAND", "TORSO_STAND2", "LEGS_WALKCR",
    "LEGS_WALK",    "LEGS_RUN",      "LEGS_BACK",   "LEGS_SWIM",   "LEGS_JUMP",   "LEGS_LAND",    "LEGS_JUMPB",
    "LEGS_LANDB",   "LEGS_IDLE",     "LEGS_IDLECR", "LEGS_TURN"};

// The stock files set the rows in groups with a blank line before each of these.
bool startsGroup(Animation a) {
    switch (a) {
    case Animation::TorsoGesture:
    case Animation::TorsoAttack:
    case Animation::TorsoDrop:
    case Animation::TorsoStand:
    case Animation::LegsWalkCrouched:
    case Animation::LegsJump:
    case Animation::LegsJumpBack:
    case Animation::LegsIdle:
    case Animation::LegsTurn:
        return true;
    default:
        return false;
    }
}

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

// The shortest text that reads back as the same number, without exponent or trailing zeros.
std::string numberText(double value) {
    char buffer[400];
    const std::to_chars_result result =
        std::to_chars(buffer, buffer + sizeof buffer, value == 0.0 ? 0.0 : value, std::chars_format::fixed);
    return result.ec == std::errc() ? std::string(buffer, result.ptr) : std::string("0");
}

bool readWhole(std::string_view word, int& value) {
    const std::from_chars_result result = std::from_chars(word.data(), word.data() + word.size(), value);
    return result.ec == std::errc() && result.ptr == word.data() + word.size();
}

bool readWhole(std::string_view word, double& value) {
    const std::from_chars_result result =
        std::from_chars(word.data(), word.data() + word.size(), value, std::chars_format::general);
    return result.ec == std::errc() && result.ptr == word.data() + word.size() && std::isfinite(value);
}

bool startsNumber(std::string_view word) {
    const char c = word.front();
    return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.';
}

// One row's four numbers; an empty string when they are sound, else why not.
std::string readRow(const std::vector<std::string_view>& words, AnimationRow& row) {
    static const char* const kColumns[3] = {"first frame", "frame count", "looping frames"};
    int* const integers[3] = {&row.first, &row.count, &row.looping};
    for (size_t column = 0; column < 3; ++column) {
        if (!readWhole(words[column], *integers[column])) {
            return std::string("the ") + kColumns[column] + " " + quoted(words[column]) + " is not a whole number";
        }
    }
    // A negative count asks the game to play the frames backwards; its size is the count.
    if (row.first < 0 || row.looping < 0) {
        return std::string("the ") + (row.first < 0 ? "first frame" : "looping frames") + " is negative";
    }
    if (row.first > kMaxRowValue || row.count > kMaxRowValue || row.count < -kMaxRowValue ||
        row.looping > kMaxRowValue) {
        return "a frame number or count past " + std::to_string(kMaxRowValue);
    }
    if (!readWhole(words[3], row.fps)) {
        return "the frames per second " + quoted(words[3]) + " is not a number";
    }
    if (row.fps < 0) {
        return "the frames per second is negative";
    }
    return {};
}

}  // namespace

const char* animationName(Animation a) {
    const auto index = static_cast<size_t>(a);
    return index < kAnimationCount ? kAnimationNames[index] : "";
}

std::optional<Animation> animationByName(std::string_view name) {
    for (size_t i = 0; i < kAnimationCount; ++i) {
        if (equalsIgnoringCase(name, kAnimationNames[i])) {
            return animationAt(i);
        }
    }
    return std::nullopt;
}

bool gameLoops(Animation a) {
    switch (a) {
    case Animation::LegsWalkCrouched:
    case Animation::LegsWalk:
    case Animation::LegsRun:
    case Animation::LegsBack:
    case Animation::LegsSwim:
    case Animation::LegsIdle:
    case Animation::LegsIdleCrouched:
    case Animation::LegsTurn:
        return true;
    default:
        return false;
    }
}

bool isLegs(Animation a) { return a >= Animation::LegsWalkCrouched && a <= Animation::LegsTurn; }

bool isTorso(Animation a) { return a >= Animation::TorsoGesture && a <= Animation::TorsoStand2; }

std::string writeAnimationConfig(const AnimationConfig& config) {
    std::string text = "// animation config file\n\nsex\t" + config.sex + "\n";
    if (config.headOffset) {
        const std::array<double, 3>& offset = *config.headOffset;
        text +=
            "headoffset " + numberText(offset[0]) + " " + numberText(offset[1]) + " " + numberText(offset[2]) + "\n";
    }
    if (!config.footsteps.empty()) {
        text += "footsteps " + config.footsteps + "\n";
    }
    if (config.fixedLegs) {
        text += "fixedlegs\n";
    }
    if (config.fixedTorso) {
        text += "fixedtorso\n";
    }
    text += "\n// first frame, num frames, looping frames, frames per second\n\n";
    for (size_t i = 0; i < kAnimationCount; ++i) {
        const AnimationRow& row = config.rows[i];
        if (startsGroup(animationAt(i))) {
            text += "\n";
        }
        text += std::to_string(row.first) + "\t" + std::to_string(row.count) + "\t" + std::to_string(row.looping) +
                "\t" + numberText(row.fps) + "\t\t// " + kAnimationNames[i] + "\n";
    }
    return text;
}

bool parseAnimationConfig(std::string_view text, AnimationConfig& out, std::string& error) {
    AnimationConfig config;
    size_t rowCount = 0;
    size_t lastLine = 1;
    for (const TextLine& line : splitLines(text)) {
        lastLine = line.number;
        if (line.text.empty()) {
            continue;
        }
        if (!checkTextLine(line, error)) {
            return false;
        }
        const std::vector<std::string_view> words = splitWords(line.text);
        const std::string_view keyword = words.front();
        if (!startsNumber(keyword)) {
            if (rowCount > 0) {
                error = atLine(line.number, quoted(keyword) + " after the animation rows; keyword lines come first");
                return false;
            }
            const size_t arguments = words.size() - 1;
            const auto wrongArguments = [&](const char* wanted) {
                error = atLine(line.number, quoted(keyword) + " takes " + wanted + ", not " +
                                                std::to_string(arguments) + (arguments == 1 ? " word" : " words"));
                return false;
            };
            if (equalsIgnoringCase(keyword, "sex")) {
                if (arguments != 1) {
                    return wrongArguments("one word (m, f or n)");
                }
                config.sex = std::string(words[1]);
            } else if (equalsIgnoringCase(keyword, "footsteps")) {
                if (arguments != 1) {
                    return wrongArguments("one word");
                }
                config.footsteps = std::string(words[1]);
            } else if (equalsIgnoringCase(keyword, "headoffset")) {
                if (arguments != 3) {
                    return wrongArguments("three numbers");
                }
                std::array<double, 3> offset{};
                for (size_t k = 0; k < 3; ++k) {
                    if (!readWhole(words[k + 1], offset[k])) {
                        error = atLine(line.number, "the head offset " + quoted(words[k + 1]) + " is not a number");
                        return false;
                    }
                }
                config.headOffset = offset;
            } else if (equalsIgnoringCase(keyword, "fixedlegs") || equalsIgnoringCase(keyword, "fixedtorso")) {
                if (arguments != 0) {
                    return wrongArguments("nothing");
                }
                (equalsIgnoringCase(keyword, "fixedlegs") ? config.fixedLegs : config.fixedTorso) = true;
            } else {
                error = atLine(line.number, quoted(keyword) +
                                                " is neither a keyword (sex, headoffset, footsteps, fixedlegs, "
                                                "fixedtorso) nor the start of a row of four numbers");
                return false;
            }
            continue;
        }
        if (rowCount == kAnimationCount) {
            error = atLine(line.number, "a 26th animation row; the file holds the 25 rows BOTH_DEATH1 to LEGS_TURN");
            return false;
        }
        if (words.size() != 4) {
            error = atLine(line.number, std::string(kAnimationNames[rowCount]) +
                                            ": a row holds four numbers (first frame, frame count, looping frames, "
                                            "frames per second), this one " +
                                            std::to_string(words.size()));
            return false;
        }
        const std::string wrong = readRow(words, config.rows[rowCount]);
        if (!wrong.empty()) {
            error = atLine(line.number, std::string(kAnimationNames[rowCount]) + ": " + wrong);
            return false;
        }
        ++rowCount;
    }
    if (rowCount < kAnimationCount) {
        error = atLine(lastLine, "the file ends after " + std::to_string(rowCount) + " animation rows; it needs 25 (" +
                                     kAnimationNames[rowCount] + " is missing)");
        return false;
    }
    out = config;
    return true;
}

int legsOffset(const AnimationConfig& config) {
    return config.rows[static_cast<size_t>(Animation::LegsWalkCrouched)].first -
           config.rows[static_cast<size_t>(Animation::TorsoGesture)].first;
}

}  // namespace host::player
