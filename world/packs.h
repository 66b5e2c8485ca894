// The graphics packs of data folders, each a version of the game, side by
// side and found by the digest a recording names (the sprites the rules read):
// the checker and the score server play recordings with them.
#pragma once
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "base/sheet.h"

class GamePacks {
public:
    // Hears of each pack file read: its digest, or why it was skipped.
    using Note = std::function<void(const std::string& path, const std::string& digest, const std::string& why)>;

    // Reads every gfx*.pkf in `dir`, in name order; a digest already held
    // keeps its first pack. False with the reason when the folder cannot be read.
    bool addDir(const std::string& dir, std::string* error, const Note& note = {});
    // The pack of that digest, or null.
    const PackSheets* find(const std::string& digest) const;
    // The first pack read, or null.
    const PackSheets* first() const { return first_; }
    size_t size() const { return packs_.size(); }

private:
    std::map<std::string, std::unique_ptr<PackSheets>> packs_;
    const PackSheets* first_ = nullptr;
};
