// The four object lists the world pass walks every frame, the playfield they
// live on and where their sprites' animations come from. New elements are
// appended at the end; an element appended during a walk is reached in the
// same walk (std::list iterators stay valid). Only the world pass, a new round
// and shutdown remove elements.
#pragma once
#include <list>
#include <memory>
#include <string>

#include "world/mucha.h"
#include "world/particle.h"

class Weapon;

// ---- Object lists -------------------------------------------------------------
// Never destroyed: an object's destructor marks its box, which must not happen
// while the process ends and the sink goes. Shutdown empties them first.
extern std::list<Particle>& particles;               // by value; removed when life runs out or below the screen
extern std::list<WeaponDrop>& drops;                 // by value; removed when picked up or below the screen
extern std::list<std::unique_ptr<Mucha>>& flies;     // owned; removed 64 px below the screen
extern std::list<std::unique_ptr<Weapon>>& weapons;  // owned; removed once finished

// ---- Playfield ----------------------------------------------------------------
// The screen's size in pixels: where flies enter and leave, where weapons
// spread. Set by whoever runs the rules (the game from its window).
extern int32_t fieldW, fieldH;

// ---- Sprites' animations ---------------------------------------------------------
// Where the world finds a sprite's animations by name: the game's sprite
// registry, or the graphics pack read without pixels.
using SheetSource = Sheet* (*)(const std::string& name);
extern SheetSource sheetSource;
// The sheet of that name, or null (also when no source is set).
Sheet* findSheet(const std::string& name);
// Every sheet the rules look up: the fly, the cursor, the weapons and the
// particles. Their animations are what a recording's rules depend on.
inline constexpr const char* kRuleSheets[] = {
    "mucha01.bmp", "kursor.bmp",  "wybuch01.bmp", "bzykolot.bmp", "granat.bmp", "airstrike.bmp", "kurczak.bmp",
    "meteor.bmp",  "particle.bmp", "drop.bmp",    "iskra.bmp",    "energia.bmp", "krew.bmp"};
// sheetDigest of the rules' sheets among `sheets` (an absent one counts as
// such): what names a pack in a recording, so that its menu, fonts or icons
// may change and recordings still play.
std::string rulesDigest(const SheetMap& sheets);

// Appending is the one place a broken object (missing sprite) is refused:
// each returns false and drops the object when !ok().
bool addParticle(const Particle& p);
bool addDrop(const WeaponDrop& d);
bool addFly(std::unique_ptr<Mucha> fly);
bool addWeapon(std::unique_ptr<Weapon> weapon);
// Empties all four lists, destroying their objects.
void clearObjects();
