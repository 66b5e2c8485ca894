// The drawing budget kept in "upds": read, or measured and written.
#include "media/budget.h"

#include <SDL/SDL.h>
#include <cstdio>
#include <cstdlib>

#include "media/dirty.h"
#include "media/video.h"

int32_t benchmark() {
    if (!screen) {
        printf("FAIL: benchmark: NULL screen\n");
        return 0;
    }
    const Uint32 start = SDL_GetTicks();
    int32_t count = 0;
    while (SDL_GetTicks() - start <= 15) {
        ++count;
        const Sint32 x = rand() % screen->w / 32 * 32;
        const Sint32 y = rand() % screen->h / 32 * 32;
        const Uint32 h = (rand() % 3 + 1) * 16;
        const Uint32 w = (rand() % 3 + 1) * 16;
        SDL_UpdateRect(screen, x, y, w, h);
    }
    return count;
}

int32_t readBudget(const char* path) {
    FILE* f = fopen(path, "rb");
    if (!f) return 0;
    unsigned char b[4];
    const size_t got = fread(b, 1, 4, f);
    fclose(f);
    if (got != 4) return 0;
    const int32_t value = static_cast<int32_t>(static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                                               static_cast<uint32_t>(b[2]) << 16 |
                                               static_cast<uint32_t>(b[3]) << 24);
    // A corrupt or hostile file could ask for gigabytes of rectangles, which the
    // allocation at start-up would refuse on every run: measure again instead.
    if (value <= 0 || value > kMaxStoredBudget) return 0;
    return value;
}

void getMaxUpdatesFrom(const char* path, int32_t (*measure)()) {
    const int32_t stored = readBudget(path);
    if (stored > 0) {
        maxUpdates = stored;
        return;
    }
    if (screen) SDL_Flip(screen);
    int64_t sum = 0;
    for (int i = 0; i < 20; ++i) sum += measure();
    maxUpdates = static_cast<int32_t>(sum / 20);

    FILE* f = fopen(path, "wb");
    if (!f) {
        printf("FAIL: getMaxUpdates: Nie udalo sie otworzyc pliku do zapisu\n");
        return;
    }
    const uint32_t v = static_cast<uint32_t>(maxUpdates);
    const unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                                static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
    fwrite(b, 1, 4, f);
    fclose(f);
}
