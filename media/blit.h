// Drawing sprites and clearing: SDL's own results, computed faster.
#pragma once
#include <SDL/SDL.h>

// SDL_UpperBlit with the same clipping and, pixel for pixel, the same result.
// A 32-bit source with 8-bit alpha in its top byte onto a 32-bit surface of the
// same colour layout (the sprites on the screen) is blended here, several
// pixels at a time, with SDL's own arithmetic: alpha 0 leaves the pixel, 255
// copies the colour, anything between gives d + (s - d) * alpha / 256 rounded
// down per channel; the destination's top byte is kept. Anything else goes to
// SDL. `dstrect` receives the clipped box as SDL gives it.
int blitAlpha(SDL_Surface* src, SDL_Rect* srcrect, SDL_Surface* dst, SDL_Rect* dstrect);

// Where drawing `srcrect` of `src` through blitAlpha (or SDL) can change the
// screen: the smallest box, inside srcrect and the bitmap, of the pixels
// that are not fully transparent (w = h = 0 when all are), since a pixel of
// alpha 0 leaves the screen as it is. The whole box (clipped to the bitmap)
// for a bitmap drawn without its alpha.
SDL_Rect inkBox(const SDL_Surface* src, const SDL_Rect& srcrect);

// SDL_FillRect(s, r, 0), by rows of memset: every byte of the box (clipped to
// the surface's clip box) becomes 0. A null r clears all of that.
void clearBlack(SDL_Surface* s, const SDL_Rect* r);
