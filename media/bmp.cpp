// A direct decoder for the plain BMPs of the graphics pack.
#include "media/bmp.h"

#include <cstdint>

namespace {

uint32_t le32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The video surface SDL_DisplayFormatAlpha would convert for: software, 32
// bits, red-green-blue from the top, so the sprites come out 0xAARRGGBB.
bool plainDisplay() {
    const SDL_Surface* v = SDL_GetVideoSurface();
    if (!v || (v->flags & SDL_HWSURFACE)) return false;
    const SDL_PixelFormat* f = v->format;
    return f->BytesPerPixel == 4 && f->Rmask == 0xff0000 && f->Gmask == 0xff00 && f->Bmask == 0xff;
}

}  // namespace

SDL_Surface* decodeBmp24(const unsigned char* p, size_t size) {
    constexpr size_t kHeaders = 14 + 40;  // file header, then the info header SDL reads
    if (!p || size < kHeaders || p[0] != 'B' || p[1] != 'M' || !plainDisplay()) return nullptr;
    const uint32_t offset = le32(p + 10);
    const uint32_t infoSize = le32(p + 14);
    const int32_t w = static_cast<int32_t>(le32(p + 18));
    const int32_t h = static_cast<int32_t>(le32(p + 22));
    const uint32_t bits = uint32_t(p[28]) | uint32_t(p[29]) << 8;
    const uint32_t compression = le32(p + 30);
    // The 12-byte core header, compression, other depths: SDL's business.
    if (infoSize == 12 || bits != 24 || compression != 0) return nullptr;
    // Sizes whose 16-bit pitch or signed height SDL would wrap: SDL's business too.
    if (w <= 0 || w > 16383 || h == 0 || h < -32767 || h > 32767) return nullptr;
    const bool topDown = h < 0;
    const int32_t rows = topDown ? -h : h;
    const uint64_t pitch = (uint64_t(w) * 3 + 3) & ~uint64_t(3);  // SDL reads whole padded rows
    if (offset >= size || pitch * uint64_t(rows) > size - offset) return nullptr;

    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, w, rows, 32, 0xff0000, 0xff00, 0xff, 0xff000000);
    if (!s) return nullptr;
    for (int32_t y = 0; y < rows; ++y) {
        const unsigned char* in = p + offset + pitch * uint64_t(topDown ? y : rows - 1 - y);
        uint32_t* out = reinterpret_cast<uint32_t*>(static_cast<Uint8*>(s->pixels) + y * s->pitch);
        for (int32_t x = 0; x < w; ++x, in += 3)
            out[x] = 0xff000000u | uint32_t(in[2]) << 16 | uint32_t(in[1]) << 8 | in[0];
    }
    return s;
}

bool bmpFitsItsBytes(const unsigned char* p, size_t size) {
    if (!p || size < 26) return false;
    const bool core = le32(p + 14) == 12;  // the old header: unsigned 16-bit sizes
    if (!core && size < 30) return false;
    const auto side = [](int32_t v) { return v < 0 ? -int64_t(v) : int64_t(v); };
    const uint64_t w = core ? uint32_t(p[18] | p[19] << 8) : side(int32_t(le32(p + 18)));
    const uint64_t h = core ? uint32_t(p[20] | p[21] << 8) : side(int32_t(le32(p + 22)));
    const uint32_t bits = core ? uint32_t(p[24] | p[25] << 8) : uint32_t(p[28] | p[29] << 8);
    // SDL makes a picture of any other depth but has no palette for it.
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    return w * h <= uint64_t(size) * 8 && w * h * bits <= uint64_t(size) * 8;
}
