// The four object lists the world pass walks every frame. New elements are
// appended at the end; an element appended during a walk is reached in the
// same walk (std::list iterators stay valid). Only the world pass, resetRound
// and shutdown remove elements.
#pragma once
#include <list>
#include <memory>

#include "world/mucha.h"
#include "world/particle.h"

class Weapon;

// ---- Object lists -------------------------------------------------------------
// Never destroyed: an object's destructor marks its box dirty and reads its
// animation, which must not happen while the process ends and the rectangles
// and sprites go. Shutdown empties them first.
extern std::list<Particle>& particles;               // by value; removed when life runs out or below the screen
extern std::list<WeaponDrop>& drops;                 // by value; removed when picked up or below the screen
extern std::list<std::unique_ptr<Mucha>>& flies;     // owned; removed 64 px below the screen
extern std::list<std::unique_ptr<Weapon>>& weapons;  // owned; removed once finished

// Appending is the one place a broken object (missing sprite) is refused:
// each returns false and drops the object when !ok().
bool addParticle(const Particle& p);
bool addDrop(const WeaponDrop& d);
bool addFly(std::unique_ptr<Mucha> fly);
bool addWeapon(std::unique_ptr<Weapon> weapon);
// Empties all four lists, destroying their objects.
void clearObjects();
