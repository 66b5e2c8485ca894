// Sprites: bitmaps with per-pixel alpha cut into animations, loaded once from
// the graphics pack into the registry `sprites`, drawn frame by frame.
#pragma once
#include <SDL/SDL.h>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/sheet.h"

struct Sprite;
// Registry by entry name; it owns its sprites, everyone else borrows them.
// Looking up a missing name with [] inserts it with a null sprite, which stays
// until the registry is cleared.
using SpriteMap = std::map<std::string, std::unique_ptr<Sprite>>;

// A sheet (its animations, which the rules read) with the bitmap to draw them from.
struct Sprite : Sheet {
    Sprite() = default;
    ~Sprite();  // frees the bitmap
    Sprite(const Sprite&) = delete;
    Sprite& operator=(const Sprite&) = delete;

    SDL_Surface* bitmap = nullptr;  // screen layout with 8-bit alpha; owned
    std::vector<uint8_t> mask;      // w*h bytes, all 0
    // inkBox of each frame drawn so far, by animation and frame; w = 0xffff
    // where not yet known. Made on the first drawing (the bitmap never changes).
    std::vector<std::vector<SDL_Rect>> ink;

    // Fills the registry from every "*bmp" entry of the pack (clearing it first).
    static void load(const char* packName, SpriteMap& registry);
    // Releases every sprite and empties the registry.
    static void clear(SpriteMap& registry);
    // Loading steps of one sprite, each true on success (used by load).
    static bool loadGfx(const char* name, Sprite* sprite);
    static bool loadAlpha(const char* alphaName, Sprite* sprite);
    static bool loadMask(Sprite* sprite);
    static bool loadAnim(const char* animName, Sprite* sprite);

    // Animation at index, or null with a log line.
    static Anim* getAnim(Sprite* sprite, int32_t index);
    // Draws frame `frame` of animation animIndex with its hot spot at (x, y) on `screen`.
    static void print(Sprite* sprite, uint32_t animIndex, int32_t frame, int32_t x, int32_t y);
};

// Mask byte of pixel (x, y) of the bitmap, or 0.
uint8_t maskAt(const Sprite* sprite, int32_t x, int32_t y);

// ---- Sprite registry of the game ----------------------------------------
extern SpriteMap sprites;  // all sprites of "data/gfx.pkf", by entry name
// When set, every frame drawn on `screen` is drawn here too with SDL's own blit:
// the scene runner's --verify compares that with what the game's way shows.
extern SDL_Surface* referenceScreen;

// The registry's sprite of that name, or null (a missing name is then kept in
// the registry without a sprite, as every lookup of the game does).
Sprite* findSprite(const std::string& name);
// The registry's sprites as the sheets they are (names looked up but not
// present left out).
SheetMap spriteSheets(const SpriteMap& registry);
