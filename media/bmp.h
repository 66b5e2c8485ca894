// The sprites' bitmaps decoded straight into the form drawing uses.
#pragma once
#include <SDL/SDL.h>
#include <cstddef>

// The bytes of an uncompressed 24-bit Windows BMP as the surface that
// SDL_LoadBMP_RW followed by SDL_DisplayFormatAlpha makes of them (32 bits,
// alpha 255 in the top byte), in one pass. Null, having allocated nothing,
// for anything else: another kind of BMP, a header or pixel rows running past
// `size`, sizes SDL would not take, or a display whose alpha layout differs;
// the caller then decodes the SDL way, which fails or succeeds as before.
SDL_Surface* decodeBmp24(const unsigned char* bytes, size_t size);

// Whether a BMP's header gives a depth SDL reads (1, 4, 8, 16, 24 or 32 bits)
// and claims no more pixels than its bytes could hold at that depth. SDL takes
// the header's word: a few hundred bytes would have it make, or try to
// allocate, a picture of gigabytes, or one of a depth it then cannot convert.
bool bmpFitsItsBytes(const unsigned char* bytes, size_t size);
