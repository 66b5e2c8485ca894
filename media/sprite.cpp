// Sprites: loading from the graphics pack, the registry, drawing frames.
#include "media/sprite.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "base/resfile.h"
#include "media/blit.h"
#include "media/bmp.h"
#include "media/dirty.h"
#include "media/video.h"

SpriteMap sprites;
SDL_Surface* referenceScreen = nullptr;

Sprite* findSprite(const std::string& name) { return sprites[name].get(); }

// Reused for every sprite of the pack.
static Resfile gfxPack;
static std::vector<char> packBytes;  // the entry being decoded; grows to the largest

Sprite::~Sprite() {
    if (bitmap) SDL_FreeSurface(bitmap);
}

static bool endsWithBmp(const std::string& name) {
    return name.size() >= 3 && name.compare(name.size() - 3, 3, "bmp") == 0;
}

void Sprite::load(const char* packName, SpriteMap& registry) {
    if (!registry.empty()) clear(registry);

    const int32_t n = gfxPack.count(packName);
    if (n < 1) {
        printf("FAIL: Sprite.load: Nie udalo sie wczytac grafik\n");
        return;
    }
    for (int32_t i = 0; i < n; ++i) {
        const char* entry = gfxPack.entryName(i);
        if (!entry) {
            printf("FAIL: Sprite.load: Nie znaleziono pliku %d\n", i);
            continue;
        }
        std::string name, alphaName, animName;
        try {
            name = entry;
            if (!endsWithBmp(name)) continue;  // companions are reached through their bitmap
            alphaName = name.substr(0, name.size() - 3) + "smt";
            animName = name.substr(0, name.size() - 3) + "txt";
        } catch (const std::bad_alloc&) {
            printf("FAIL: Sprite.load: Nie udalo sie zajac miejsca na nazwy plikow\n");
            continue;
        }
        Sprite* sprite = nullptr;
        try {
            auto made = std::make_unique<Sprite>();
            sprite = made.get();
            registry[name] = std::move(made);  // a later entry of the same name wins
        } catch (const std::bad_alloc&) {
            printf("FAIL: Sprite.load: Nie udalo sie dodac sprite do mapy (%s)\n", name.c_str());
            continue;
        }
        if (!loadGfx(name.c_str(), sprite)) {
            printf("FAIL: Sprite.load: Nie wczytano grafiki\n");
        } else if (!loadAlpha(alphaName.c_str(), sprite)) {
            printf("FAIL: Sprite.load: Nie wczytano alfy\n");
        } else if (!loadMask(sprite)) {
            printf("FAIL: Sprite.load: Nie wygenerowano maski\n");
        } else if (!loadAnim(animName.c_str(), sprite)) {
            printf("FAIL: Sprite.load: Nie wczytano animacji\n");
        }
    }
    printf("OK  : Sprite.load: Grafiki wczytane\n");
}

void Sprite::clear(SpriteMap& registry) {
    printf("INFO: Sprite.load: Czyszczenie mapy\n");
    for (auto& entry : registry) {
        if (!entry.second) {
            printf("FAIL: Sprite.clear: NULL (%s)\n", entry.first.c_str());
            continue;
        }
        entry.second.reset();
    }
    registry.clear();
    printf("OK  : Sprite.load: Skasowano grafiki\n");
}

bool Sprite::loadGfx(const char* name, Sprite* sprite) {
    const int32_t pos = gfxPack.find("", name, -1);
    const int64_t size = pos < 0 ? -1 : gfxPack.read(pos, name, packBytes);
    SDL_Surface* decoded = nullptr;
    // The plain 24-bit bitmaps go straight into their final form; SDL takes the rest.
    if (size >= 0) sprite->bitmap = decodeBmp24(reinterpret_cast<const unsigned char*>(packBytes.data()), size);
    if (size >= 0 && !sprite->bitmap && bmpFitsItsBytes(reinterpret_cast<const unsigned char*>(packBytes.data()), size))
        decoded = SDL_LoadBMP_RW(SDL_RWFromMem(packBytes.data(), static_cast<int>(size)), 1);
    if (decoded) {
        sprite->bitmap = SDL_DisplayFormatAlpha(decoded);
        SDL_FreeSurface(decoded);
    }
    if (!sprite->bitmap) {
        printf("FAIL: Sprite.loadGfx: Nie udalo sie wczytac grafiki (%s)\n", name);
        return false;
    }
    return true;
}

// Byte offset of alpha inside a 4-byte pixel, from where the format keeps it.
static int alphaByte(const SDL_PixelFormat* f) {
#if SDL_BYTEORDER == SDL_LIL_ENDIAN
    return f->Ashift / 8;
#else
    return 3 - f->Ashift / 8;
#endif
}

// Writes alpha per pixel through the surface's own pitch, so rows padded by SDL
// (or a layout with alpha elsewhere than the top byte) are never overrun.
// alpha: w*h bytes, row by row; null applies the magenta colour key instead.
static void writeAlpha(SDL_Surface* s, const uint8_t* alpha) {
    const SDL_PixelFormat* f = s->format;
    if (f->BytesPerPixel != 4 || f->Amask == 0) return;  // nowhere to put alpha
    const int a = alphaByte(f);
    SDL_LockSurface(s);
    for (int y = 0; y < s->h; ++y) {
        Uint8* row = static_cast<Uint8*>(s->pixels) + static_cast<size_t>(y) * s->pitch;
        for (int x = 0; x < s->w; ++x) {
            Uint8* px = row + 4 * x;
            if (alpha) {
                px[a] = alpha[static_cast<size_t>(y) * s->w + x];
                continue;
            }
            const Uint32 v = *reinterpret_cast<Uint32*>(px);
            const Uint32 r = (v & f->Rmask) >> f->Rshift;
            const Uint32 g = (v & f->Gmask) >> f->Gshift;
            const Uint32 b = (v & f->Bmask) >> f->Bshift;
            if (r == 255 && b == 255 && g != 255) px[a] = 0;
        }
    }
    SDL_UnlockSurface(s);
}

bool Sprite::loadAlpha(const char* alphaName, Sprite* sprite) {
    SDL_Surface* bitmap = sprite->bitmap;
    const int32_t pos = gfxPack.find("", alphaName, -1);
    const int64_t size = pos < 0 ? -1 : gfxPack.read(pos, alphaName, packBytes);
    if (size < 0) {
        writeAlpha(bitmap, nullptr);
        return true;
    }
    const uint64_t pixels = static_cast<uint64_t>(bitmap->w) * static_cast<uint64_t>(bitmap->h);
    if (static_cast<uint64_t>(size) != pixels) {
        printf("FAIL: Sprite.loadAlpha: Niezgodne wielkosci obrazow (%s)\n", alphaName);
        return false;
    }
    writeAlpha(bitmap, reinterpret_cast<const uint8_t*>(packBytes.data()));
    return true;
}

bool Sprite::loadMask(Sprite* sprite) {
    const size_t size = static_cast<size_t>(sprite->bitmap->w) * static_cast<size_t>(sprite->bitmap->h);
    try {
        sprite->mask.assign(size, 0);
    } catch (const std::bad_alloc&) {
        printf("FAIL: Sprite.loadMask: Nie udalo sie zajac miejsca na maske\n");
        return false;
    }
    return true;
}

bool Sprite::loadAnim(const char* animName, Sprite* sprite) {
    const auto bytes = gfxPack.load("", animName, -1);
    if (!bytes) {
        printf("FAIL: Sprite.loadAnim: Nie udalo sie wczytac informacji o animacjach (%s)\n", animName);
        return false;
    }
    parseAnims(std::string(bytes->begin(), std::find(bytes->begin(), bytes->end(), '\0')), animName, true,
               sprite->anims);
    return true;
}

SheetMap spriteSheets(const SpriteMap& registry) {
    SheetMap sheets;
    for (const auto& [name, sprite] : registry)
        if (sprite) sheets[name] = sprite.get();
    return sheets;
}

Anim* Sprite::getAnim(Sprite* sprite, int32_t index) {
    if (index < 0 || index >= animCount(sprite)) {
        printf("FAIL: Sprite.getAnim: Nie ma takiej animacji (%d)\n", index);
        return nullptr;
    }
    return &sprite->anims[static_cast<size_t>(index)];
}

// The frame's inkBox, found on its first drawing.
static SDL_Rect frameInk(Sprite* sprite, uint32_t animIndex, int32_t frame, const SDL_Rect& src) {
    if (sprite->ink.size() != sprite->anims.size()) sprite->ink.assign(sprite->anims.size(), {});
    std::vector<SDL_Rect>& frames = sprite->ink[animIndex];
    if (frames.size() <= static_cast<size_t>(frame)) frames.resize(static_cast<size_t>(frame) + 1, SDL_Rect{0, 0, 0xffff, 0});
    if (frames[frame].w == 0xffff) frames[frame] = inkBox(sprite->bitmap, src);
    return frames[frame];
}

void Sprite::print(Sprite* sprite, uint32_t animIndex, int32_t frame, int32_t x, int32_t y) {
    if (animIndex >= static_cast<uint32_t>(animCount(sprite))) {
        printf("FAIL: Sprite.print: Brak animacji %d\n", static_cast<int32_t>(animIndex));
        return;
    }
    const Anim& a = sprite->anims[animIndex];
    // SDL rectangles: 16-bit positions and sizes; the sums keep their low 16 bits.
    SDL_Rect dst;
    dst.x = static_cast<Sint16>(static_cast<uint32_t>(x) - static_cast<uint32_t>(a.hotX));
    dst.y = static_cast<Sint16>(static_cast<uint32_t>(y) - static_cast<uint32_t>(a.hotY));
    dst.w = static_cast<Uint16>(a.w);
    dst.h = static_cast<Uint16>(a.h);
    SDL_Rect src;
    src.x = static_cast<Sint16>(static_cast<uint32_t>(a.x) + static_cast<uint32_t>(frame) * static_cast<uint32_t>(a.w));
    src.y = static_cast<Sint16>(a.y);
    src.w = static_cast<Uint16>(a.w);
    src.h = static_cast<Uint16>(a.h);
    if (!sprite->bitmap || !screen) return;
    if (referenceScreen) {
        SDL_Rect s = src, d = dst;  // SDL writes the clipped box back
        SDL_UpperBlit(sprite->bitmap, &s, referenceScreen, &d);
    }
    // Only where the frame is not transparent can the screen change: that,
    // within the box the blit clipped to, is what the next frame clears.
    SDL_Rect ink = src;
    const bool trim = src.x >= 0 && src.y >= 0 && frame >= 0 && frame < 256;
    if (trim) ink = frameInk(sprite, animIndex, frame, src);
    const SDL_Rect at = dst;
    blitAlpha(sprite->bitmap, &src, screen, &dst);
    if (!trim) {
        markDrawn(dst.x, dst.y, dst.w, dst.h);
        return;
    }
    // A pixel of the bitmap at column c lands at at.x + c - src.x (src.x is not negative).
    const int32_t x0 = std::max<int32_t>(dst.x, at.x + ink.x - src.x);
    const int32_t x1 = std::min<int32_t>(dst.x + dst.w, at.x + ink.x - src.x + ink.w);
    const int32_t y0 = std::max<int32_t>(dst.y, at.y + ink.y - src.y);
    const int32_t y1 = std::min<int32_t>(dst.y + dst.h, at.y + ink.y - src.y + ink.h);
    if (x0 < x1 && y0 < y1) markDrawn(x0, y0, x1 - x0, y1 - y0);
}

uint8_t maskAt(const Sprite* sprite, int32_t x, int32_t y) {
    if (!sprite || sprite->mask.empty() || !sprite->bitmap) return 0;
    if (x < 0 || y < 0 || x >= sprite->bitmap->w || y >= sprite->bitmap->h) return 0;
    return sprite->mask[static_cast<size_t>(y) * sprite->bitmap->w + x];
}
