// Sprite blending and black clears matching SDL's results exactly.
#include "media/blit.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define BLIT_AVX2 1
#endif

namespace {

// The layout SDL's per-pixel alpha blit handles as plain bytes: alpha in the
// top byte, the colours in the other three, the same on both sides. (With
// alpha per pixel SDL ignores the surface's own alpha value.)
bool blendable(const SDL_Surface* src, const SDL_Surface* dst) {
    const SDL_PixelFormat* s = src->format;
    const SDL_PixelFormat* d = dst->format;
    return s->BytesPerPixel == 4 && d->BytesPerPixel == 4 && s->Amask == 0xff000000u &&
           (s->Rmask | s->Gmask | s->Bmask) == 0x00ffffffu && s->Rmask == d->Rmask && s->Gmask == d->Gmask &&
           s->Bmask == d->Bmask && (src->flags & (SDL_SRCALPHA | SDL_SRCCOLORKEY | SDL_RLEACCEL)) == SDL_SRCALPHA &&
           !SDL_MUSTLOCK(src) && !SDL_MUSTLOCK(dst) && src->offset == 0 &&
           dst->offset == 0;
}

inline uint32_t blendPixel(uint32_t s, uint32_t d) {
    const uint32_t a = s >> 24;
    if (a == 0) return d;
    if (a == 255) return (s & 0x00ffffffu) | (d & 0xff000000u);
    uint32_t out = d & 0xff000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t sc = s >> shift & 0xff, dc = d >> shift & 0xff;
        out |= ((sc * a + dc * (256 - a)) >> 8) << shift;
    }
    return out;
}

#ifdef __SSE2__
// Two pixels widened to words: d + (s - d) * a' / 256 with SDL's 16-bit
// wrap-around, where a' is 256 for an opaque pixel (which then copies) and 0
// for the alpha channel (which then keeps the destination's).
inline __m128i blendWords(__m128i s, __m128i d) {
    __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s, 0xff), 0xff);
    a = _mm_add_epi16(a, _mm_srli_epi16(_mm_add_epi16(a, _mm_set1_epi16(1)), 8));
    a = _mm_and_si128(a, _mm_set_epi16(0, -1, -1, -1, 0, -1, -1, -1));
    const __m128i part = _mm_srli_epi16(_mm_mullo_epi16(_mm_sub_epi16(s, d), a), 8);
    return _mm_add_epi8(part, d);
}
#endif

void blendRow(const uint32_t* s, uint32_t* d, int n) {
    int i = 0;
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xff000000u));
    for (; i + 4 <= n; i += 4) {
        const __m128i sp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i as = _mm_and_si128(sp, alpha);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(as, zero)) == 0xffff) continue;  // all transparent
        const __m128i dp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        __m128i out;
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(as, alpha)) == 0xffff) {
            out = _mm_or_si128(_mm_andnot_si128(alpha, sp), _mm_and_si128(alpha, dp));
        } else {
            const __m128i lo = blendWords(_mm_unpacklo_epi8(sp, zero), _mm_unpacklo_epi8(dp, zero));
            const __m128i hi = blendWords(_mm_unpackhi_epi8(sp, zero), _mm_unpackhi_epi8(dp, zero));
            out = _mm_packus_epi16(lo, hi);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), out);
    }
#endif
    for (; i < n; ++i) d[i] = blendPixel(s[i], d[i]);
}

#ifdef BLIT_AVX2
// blendRow eight pixels at a time where the processor has AVX2: the same
// words, the same arithmetic, in both 128-bit halves at once (the sprites'
// blending is most of a busy frame).
__attribute__((target("avx2"))) inline __m256i blendWords8(__m256i s, __m256i d) {
    __m256i a = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(s, 0xff), 0xff);
    a = _mm256_add_epi16(a, _mm256_srli_epi16(_mm256_add_epi16(a, _mm256_set1_epi16(1)), 8));
    a = _mm256_and_si256(a, _mm256_set_epi16(0, -1, -1, -1, 0, -1, -1, -1, 0, -1, -1, -1, 0, -1, -1, -1));
    const __m256i part = _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(s, d), a), 8);
    return _mm256_add_epi8(part, d);
}

__attribute__((target("avx2"))) void blendRow8(const uint32_t* s, uint32_t* d, int n) {
    int i = 0;
    const __m256i zero = _mm256_setzero_si256();
    const __m256i alpha = _mm256_set1_epi32(static_cast<int>(0xff000000u));
    for (; i + 8 <= n; i += 8) {
        const __m256i sp = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
        const __m256i as = _mm256_and_si256(sp, alpha);
        if (_mm256_testz_si256(sp, alpha)) continue;  // all transparent
        const __m256i dp = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i));
        __m256i out;
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(as, alpha)) == -1) {
            out = _mm256_or_si256(_mm256_andnot_si256(alpha, sp), _mm256_and_si256(alpha, dp));
        } else {
            const __m256i lo = blendWords8(_mm256_unpacklo_epi8(sp, zero), _mm256_unpacklo_epi8(dp, zero));
            const __m256i hi = blendWords8(_mm256_unpackhi_epi8(sp, zero), _mm256_unpackhi_epi8(dp, zero));
            out = _mm256_packus_epi16(lo, hi);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), out);
    }
    blendRow(s + i, d + i, n - i);
}

const bool hasAvx2 = [] {
    __builtin_cpu_init();  // may run before the run-time's own start-up
    return __builtin_cpu_supports("avx2") != 0;
}();
#endif

inline void blendAny(const uint32_t* s, uint32_t* d, int n) {
#ifdef BLIT_AVX2
    if (hasAvx2) return blendRow8(s, d, n);
#endif
    blendRow(s, d, n);
}

// One axis of SDL_UpperBlit's clipping, in its order: the source box
// against the bitmap, then the destination against the clip box (the axes do
// not affect each other). Moves srcPos and dstPos; returns the length left.
int clipAxis(int& srcPos, int len, int srcSize, Sint16& dstPos, int clipPos, int clipLen) {
    if (srcPos < 0) {
        len += srcPos;
        dstPos -= srcPos;
        srcPos = 0;
    }
    len = std::min(len, srcSize - srcPos);
    const int before = clipPos - dstPos;
    if (before > 0) {
        len -= before;
        dstPos += before;
        srcPos += before;
    }
    const int after = dstPos + len - clipPos - clipLen;
    return after > 0 ? len - after : len;
}

}  // namespace

int blitAlpha(SDL_Surface* src, SDL_Rect* srcrect, SDL_Surface* dst, SDL_Rect* dstrect) {
    if (!src || !dst || src->locked || dst->locked || !srcrect || !dstrect || !blendable(src, dst))
        return SDL_UpperBlit(src, srcrect, dst, dstrect);

    // SDL_UpperBlit's clipping, step for step (its 16-bit fields included).
    int srcx = srcrect->x, srcy = srcrect->y;
    const SDL_Rect& clip = dst->clip_rect;
    const int w = clipAxis(srcx, srcrect->w, src->w, dstrect->x, clip.x, clip.w);
    const int h = clipAxis(srcy, srcrect->h, src->h, dstrect->y, clip.y, clip.h);
    if (w <= 0 || h <= 0) {
        dstrect->w = dstrect->h = 0;
        return 0;
    }
    dstrect->w = static_cast<Uint16>(w);
    dstrect->h = static_cast<Uint16>(h);

    const Uint8* s = static_cast<const Uint8*>(src->pixels) + srcy * src->pitch + srcx * 4;
    Uint8* d = static_cast<Uint8*>(dst->pixels) + dstrect->y * dst->pitch + dstrect->x * 4;
    for (int y = 0; y < h; ++y, s += src->pitch, d += dst->pitch)
        blendAny(reinterpret_cast<const uint32_t*>(s), reinterpret_cast<uint32_t*>(d), w);
    return 0;
}

SDL_Rect inkBox(const SDL_Surface* src, const SDL_Rect& srcrect) {
    const int x0 = std::max<int>(srcrect.x, 0), y0 = std::max<int>(srcrect.y, 0);
    const int x1 = std::min<int>(srcrect.x + srcrect.w, src->w), y1 = std::min<int>(srcrect.y + srcrect.h, src->h);
    if (x0 >= x1 || y0 >= y1) return SDL_Rect{0, 0, 0, 0};
    const SDL_PixelFormat* f = src->format;
    if (f->BytesPerPixel != 4 || f->Amask != 0xff000000u ||
        (src->flags & (SDL_SRCALPHA | SDL_SRCCOLORKEY | SDL_RLEACCEL)) != SDL_SRCALPHA || !src->pixels)
        return SDL_Rect{Sint16(x0), Sint16(y0), Uint16(x1 - x0), Uint16(y1 - y0)};
    int left = x1, right = x0, top = y1, bottom = y0;
    for (int y = y0; y < y1; ++y) {
        const uint32_t* row =
            reinterpret_cast<const uint32_t*>(static_cast<const Uint8*>(src->pixels) + y * src->pitch);
        int a = x0;
        while (a < x1 && (row[a] >> 24) == 0) ++a;
        if (a == x1) continue;
        int b = x1;
        while ((row[b - 1] >> 24) == 0) --b;
        left = std::min(left, a);
        right = std::max(right, b);
        top = std::min(top, y);
        bottom = y + 1;
    }
    if (left >= right) return SDL_Rect{0, 0, 0, 0};
    return SDL_Rect{Sint16(left), Sint16(top), Uint16(right - left), Uint16(bottom - top)};
}

void clearBlack(SDL_Surface* s, const SDL_Rect* r) {
    if (!s) return;
    if (s->offset != 0) {
        SDL_Rect box = r ? *r : SDL_Rect{0, 0, Uint16(s->w), Uint16(s->h)};
        SDL_FillRect(s, r ? &box : nullptr, 0);
        return;
    }
    const SDL_Rect& c = s->clip_rect;
    int x0 = c.x, y0 = c.y, x1 = c.x + c.w, y1 = c.y + c.h;
    if (r) {
        x0 = std::max<int>(r->x, x0);
        y0 = std::max<int>(r->y, y0);
        x1 = std::min<int>(r->x + r->w, x1);
        y1 = std::min<int>(r->y + r->h, y1);
    }
    if (x0 >= x1 || y0 >= y1) return;
    const bool lock = SDL_MUSTLOCK(s);
    if (lock && SDL_LockSurface(s) < 0) return;
    const int bpp = s->format->BytesPerPixel;
    Uint8* row = static_cast<Uint8*>(s->pixels) + y0 * s->pitch + x0 * bpp;
    const size_t bytes = static_cast<size_t>(x1 - x0) * bpp;
    if (bytes == static_cast<size_t>(s->pitch)) {
        memset(row, 0, bytes * (y1 - y0));
    } else {
        for (int y = y0; y < y1; ++y, row += s->pitch) memset(row, 0, bytes);
    }
    if (lock) SDL_UnlockSurface(s);
}
