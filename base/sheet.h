// What the rules know of a sprite: its animations (frame size, hot spot,
// timing), read from the graphics pack's animation texts. No pixels: a round
// runs on these alone, with or without a screen; drawing them is media's.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

// One animation: `frames` frames of w x h side by side from (x, y) in the bitmap.
struct Anim {
    int32_t frames;
    int32_t x, y;
    int32_t w, h;
    int32_t hotX, hotY;  // frame is drawn hotX/hotY left of/above the given point
    int32_t speed;       // hundredths of a frame per draw; 100 when omitted
    int32_t loopFrame;   // where an object continues after the last frame; 0 when omitted
};

// A sprite's animations, in the order of their lines; the position is the index.
struct Sheet {
    std::vector<Anim> anims;
};

// Number of animations; 0 for a null sheet.
int32_t animCount(const Sheet* sheet);

// Appends the animations an animation-info text defines to `out`: one per line
// of 7 or more fields whose first is not "#"; fields 8 and 9 (speed, loop
// frame) default to 100 and 0. A line of fewer fields is skipped, with
// "FAIL: Sprite.loadAnim: Brak wszystkich wymaganych informacji o animacji
// (NAME)" when `log`.
void parseAnims(const std::string& text, const char* animName, bool log, std::vector<Anim>& out);

// The sheets of every sprite, by entry name, as the rules read them.
using SheetMap = std::map<std::string, const Sheet*>;

// A digest of sheets: every name with its animations, in name order (an
// absent sheet as none). Packs that differ only in their pixels share it.
std::string sheetDigest(const SheetMap& sheets);

// The sheets of a graphics pack read without decoding a pixel, as the game's
// sprite library would leave them: a bitmap entry whose header it would
// refuse, or whose alpha plane has the wrong size, keeps no animations.
class PackSheets {
public:
    // Reads every "*bmp" entry of the pack at `path`. False, with the reason in
    // `error`, when the pack cannot be read or holds no entries.
    bool load(const std::string& path, std::string* error);
    // The sheet of that name, or null.
    Sheet* find(const std::string& name) const;
    const SheetMap& all() const { return view_; }

private:
    std::map<std::string, std::unique_ptr<Sheet>> sheets_;
    SheetMap view_;
};

// The pixel size a BMP's header gives, when the header is one the game's
// decoder takes (a depth it knows, no more pixels than its bytes can hold).
bool bmpSize(const unsigned char* bytes, size_t size, int32_t* w, int32_t* h);
