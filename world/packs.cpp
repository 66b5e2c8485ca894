#include "world/packs.h"

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "world/objects.h"

bool GamePacks::addDir(const std::string& dir, std::string* error, const Note& note) {
    DIR* d = opendir(dir.c_str());
    if (!d) return *error = "cannot read " + dir + ": " + strerror(errno), false;
    std::vector<std::string> names;
    while (dirent* e = readdir(d)) {
        const std::string n = e->d_name;
        if (n.compare(0, 3, "gfx") == 0 && n.size() >= 7 && n.compare(n.size() - 4, 4, ".pkf") == 0) names.push_back(n);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) {
        auto pack = std::make_unique<PackSheets>();
        std::string why;
        const std::string path = dir + "/" + n;
        if (!pack->load(path, &why)) {
            if (note) note(path, "", why);
            continue;
        }
        const std::string digest = rulesDigest(pack->all());
        if (note) note(path, digest, "");
        const auto [at, added] = packs_.emplace(digest, std::move(pack));
        if (added && !first_) first_ = at->second.get();
    }
    return true;
}

const PackSheets* GamePacks::find(const std::string& digest) const {
    const auto it = packs_.find(digest);
    return it == packs_.end() ? nullptr : it->second.get();
}
