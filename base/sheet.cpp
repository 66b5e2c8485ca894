#include "base/sheet.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/md5.h"
#include "base/parser.h"
#include "base/resfile.h"

int32_t animCount(const Sheet* sheet) { return sheet ? static_cast<int32_t>(sheet->anims.size()) : 0; }

void parseAnims(const std::string& text, const char* animName, bool log, std::vector<Anim>& out) {
    const Parser lines(text, "\n\r");
    Parser fields("", " \t");
    for (int32_t line = 0; line < lines.count(); ++line) {
        fields.setText(lines.show(line));
        const int32_t n = fields.count();
        if (n < 7) {
            if (log) printf("FAIL: Sprite.loadAnim: Brak wszystkich wymaganych informacji o animacji (%s)\n", animName);
            continue;
        }
        if (fields.show(0) == "#") continue;
        Anim a;
        a.frames = fields.val(0);
        a.x = fields.val(1);
        a.y = fields.val(2);
        a.w = fields.val(3);
        a.h = fields.val(4);
        a.hotX = fields.val(5);
        a.hotY = fields.val(6);
        a.speed = n >= 8 ? fields.val(7) : 100;
        a.loopFrame = n >= 9 ? fields.val(8) : 0;
        out.push_back(a);
    }
}

std::string sheetDigest(const SheetMap& sheets) {
    Md5Context md5;
    md5Init(&md5);
    auto add = [&](const void* p, size_t n) { md5Append(&md5, static_cast<const uint8_t*>(p), static_cast<int>(n)); };
    auto addU32 = [&](uint32_t v) {
        const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
        add(b, 4);
    };
    for (const auto& [name, sheet] : sheets) {
        addU32(static_cast<uint32_t>(name.size()));
        add(name.data(), name.size());
        addU32(static_cast<uint32_t>(animCount(sheet)));
        if (!sheet) continue;
        for (const Anim& a : sheet->anims)
            for (int32_t v : {a.frames, a.x, a.y, a.w, a.h, a.hotX, a.hotY, a.speed, a.loopFrame})
                addU32(static_cast<uint32_t>(v));
    }
    uint8_t digest[16];
    md5Finish(&md5, digest);
    char hex[33];
    for (int i = 0; i < 16; ++i) snprintf(hex + 2 * i, 3, "%02x", digest[i]);
    return hex;
}

static uint32_t le32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool bmpSize(const unsigned char* p, size_t size, int32_t* w, int32_t* h) {
    if (!p || size < 26 || p[0] != 'B' || p[1] != 'M') return false;
    const uint32_t offset = le32(p + 10);
    const bool core = le32(p + 14) == 12;  // the old header: unsigned 16-bit sizes, no compression
    if (!core && size < 34) return false;
    const int64_t width = core ? int64_t(p[18] | p[19] << 8) : int64_t(int32_t(le32(p + 18)));
    int64_t height = core ? int64_t(p[20] | p[21] << 8) : int64_t(int32_t(le32(p + 22)));
    const uint32_t bits = core ? uint32_t(p[24] | p[25] << 8) : uint32_t(p[28] | p[29] << 8);
    const uint32_t compression = core ? 0 : le32(p + 30);
    if (height < 0) height = -height;  // rows stored top down
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    if ((compression != 0 && compression != 3) || width <= 0 || height == 0) return false;
    // Every padded row must be there, as the decoders read whole rows.
    const uint64_t pitch = (uint64_t(width) * bits + 31) / 32 * 4;
    if (offset >= size || pitch * uint64_t(height) > size - offset) return false;
    *w = static_cast<int32_t>(width);
    *h = static_cast<int32_t>(height);
    return true;
}

// The companion of a bitmap entry: its name with the last three letters replaced.
static std::string companion(const std::string& name, const char* ext) { return name.substr(0, name.size() - 3) + ext; }

bool PackSheets::load(const std::string& path, std::string* error) {
    sheets_.clear();
    view_.clear();
    Resfile pack;
    pack.logs = false;
    const int32_t n = pack.count(path.c_str());
    if (n < 1) {
        if (error) *error = "no graphics pack at " + path;
        return false;
    }
    std::vector<char> bytes;
    for (int32_t i = 0; i < n; ++i) {
        const char* entry = pack.entryName(i);
        if (!entry) continue;
        const std::string name = entry;
        if (name.size() < 3 || name.compare(name.size() - 3, 3, "bmp") != 0) continue;
        auto sheet = std::make_unique<Sheet>();
        Sheet* s = sheet.get();
        sheets_[name] = std::move(sheet);  // a later entry of the same name wins, as in the game
        int32_t w = 0, h = 0;
        const int32_t at = pack.find("", name.c_str(), -1);
        const int64_t size = at < 0 ? -1 : pack.read(at, name.c_str(), bytes);
        if (size < 0 || !bmpSize(reinterpret_cast<const unsigned char*>(bytes.data()), size_t(size), &w, &h)) continue;
        const std::string alpha = companion(name, "smt");
        const int32_t alphaAt = pack.find("", alpha.c_str(), -1);
        // An alpha plane that cannot be read counts as none: the colour key then serves.
        const int64_t alphaSize = alphaAt < 0 ? -1 : pack.read(alphaAt, alpha.c_str(), bytes);
        if (alphaSize >= 0 && alphaSize != int64_t(w) * h) continue;
        const std::string animName = companion(name, "txt");
        const auto text = pack.load("", animName.c_str(), -1);
        if (!text) continue;
        parseAnims(std::string(text->begin(), std::find(text->begin(), text->end(), '\0')), animName.c_str(), false,
                   s->anims);
    }
    for (const auto& [name, sheet] : sheets_) view_[name] = sheet.get();
    return true;
}

Sheet* PackSheets::find(const std::string& name) const {
    const auto it = sheets_.find(name);
    return it == sheets_.end() ? nullptr : it->second.get();
}
