// The four object lists, and the one gate that keeps broken objects out.
#include "world/objects.h"

#include "world/fx.h"
#include "world/weapon.h"

std::list<Particle>& particles = *new std::list<Particle>;
std::list<WeaponDrop>& drops = *new std::list<WeaponDrop>;
std::list<std::unique_ptr<Mucha>>& flies = *new std::list<std::unique_ptr<Mucha>>;
std::list<std::unique_ptr<Weapon>>& weapons = *new std::list<std::unique_ptr<Weapon>>;
int32_t fieldW = 0, fieldH = 0;
SheetSource sheetSource = nullptr;
WorldFx* worldFx = nullptr;

Sheet* findSheet(const std::string& name) { return sheetSource ? sheetSource(name) : nullptr; }

std::string rulesDigest(const SheetMap& sheets) {
    SheetMap rules;
    for (const char* name : kRuleSheets) {
        const auto it = sheets.find(name);
        rules[name] = it == sheets.end() ? nullptr : it->second;
    }
    return sheetDigest(rules);
}

// An object whose sprite was missing has already logged its FAIL line in its
// constructor; refusing it here means no creator has to check.
bool addParticle(const Particle& p) {
    if (!p.ok()) return false;
    particles.push_back(p);
    return true;
}

bool addDrop(const WeaponDrop& d) {
    if (!d.ok()) return false;
    drops.push_back(d);
    return true;
}

bool addFly(std::unique_ptr<Mucha> fly) {
    if (!fly || !fly->ok()) return false;
    flies.push_back(std::move(fly));
    return true;
}

bool addWeapon(std::unique_ptr<Weapon> weapon) {
    if (!weapon || !weapon->ok()) return false;
    weapons.push_back(std::move(weapon));
    return true;
}

void clearObjects() {
    weapons.clear();
    flies.clear();
    particles.clear();
    drops.clear();
}
