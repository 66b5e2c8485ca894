// The game data a server checks recordings against: every graphics pack of
// its data folders, each a version of the game, side by side.
#pragma once
#include <map>
#include <memory>
#include <string>

#include "base/sheet.h"

// The graphics packs a server checks against, by the digest a recording names.
class GamePacks {
public:
    // Reads every gfx*.pkf in `dir`, each a version of the game's data, and logs
    // its digest. False with the reason when the folder cannot be read.
    bool addDir(const std::string& dir, std::string* error);
    // The pack of that digest, or null.
    const PackSheets* find(const std::string& digest) const;
    size_t size() const { return packs_.size(); }

private:
    std::map<std::string, std::unique_ptr<PackSheets>> packs_;
};
