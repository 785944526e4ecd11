// animation.cfg of a Quake III player: the frame ranges of the game's 25 player animations, with
// the sex, head offset and footsteps lines, read and written in the layout of the stock files.
#ifndef HOST_PLAYER_ANIMATION_CONFIG_H
#define HOST_PLAYER_ANIMATION_CONFIG_H

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace host::player {

// The game's order, as the rows of the stock files stand.
enum class Animation {
    BothDeath1,
    BothDead1,
    BothDeath2,
    BothDead2,
    BothDeath3,
    BothDead3,
    TorsoGesture,
    TorsoAttack,
    TorsoAttack2,
    TorsoDrop,
    TorsoRaise,
    TorsoStand,
    TorsoStand2,
    LegsWalkCrouched,
    LegsWalk,
    LegsRun,
    LegsBack,
    LegsSwim,
    LegsJump,
    LegsLand,
    LegsJumpBack,
    LegsLandBack,
    LegsIdle,
    LegsIdleCrouched,
    LegsTurn
};
constexpr size_t kAnimationCount = 25;

// The largest frame number or count a row may hold: far past any model (the format's tools stop
// at 1024 frames), small enough that sums and differences of rows cannot overflow.
constexpr int kMaxRowValue = 1 << 20;

const char* animationName(Animation a);                           // "BOTH_DEATH1" .. "LEGS_TURN"
std::optional<Animation> animationByName(std::string_view name);  // case-insensitive
bool gameLoops(Animation a);  // LEGS_WALKCR, WALK, RUN, BACK, SWIM, IDLE, IDLECR, TURN
bool isLegs(Animation a);     // LEGS_*
bool isTorso(Animation a);    // TORSO_* (BOTH_* are neither)
inline Animation animationAt(size_t index) { return static_cast<Animation>(index); }

struct AnimationRow {
    int first = 0;
    int count = 0;
    int looping = 0;
    double fps = 0;
    bool operator==(const AnimationRow& other) const {
        return first == other.first && count == other.count && looping == other.looping && fps == other.fps;
    }
};

struct AnimationConfig {
    std::string sex = "m";                            // written as "sex\tm"
    std::optional<std::array<double, 3>> headOffset;  // "headoffset x y z" when set
    std::string footsteps;                            // "footsteps NAME" when not empty
    bool fixedLegs = false;                           // "fixedlegs": the legs do not turn with the torso
    bool fixedTorso = false;                          // "fixedtorso": the torso does not pitch
    std::array<AnimationRow, kAnimationCount> rows;   // as written: legs rows numbered after torso rows
    bool operator==(const AnimationConfig& other) const {
        return sex == other.sex && headOffset == other.headOffset && footsteps == other.footsteps &&
               fixedLegs == other.fixedLegs && fixedTorso == other.fixedTorso && rows == other.rows;
    }
};

// The text in the stock layout: comment header, the sex line (then headoffset, footsteps,
// fixedlegs, fixedtorso when set), the column comment, then the 25 rows
// "first<TAB>count<TAB>looping<TAB>fps<TAB><TAB>// NAME" in groups; fps without trailing zeros.
std::string writeAnimationConfig(const AnimationConfig& config);

// Reads a file in that layout: // comments and blank lines anywhere, the keyword lines before the
// rows in any order, then exactly 25 rows of four numbers. False with a plain-words reason
// ("line 12: ...") on a bad file; `out` is then left as it was.
bool parseAnimationConfig(std::string_view text, AnimationConfig& out, std::string& error);

// The frames the game subtracts from legs rows to index lower.md3:
// LEGS_WALKCR.first - TORSO_GESTURE.first.
int legsOffset(const AnimationConfig& config);

}  // namespace host::player

#endif
