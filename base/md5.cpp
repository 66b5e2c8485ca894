// MD5 as RFC 1321 describes it; words are read and written least significant
// byte first whatever the processor's byte order.
#include "base/md5.h"

#include <cstring>
#include <new>

namespace {

const uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

// Shift amounts, four per round.
const int kShift[16] = {7, 12, 17, 22, 5, 9, 14, 20, 4, 11, 16, 23, 6, 10, 15, 21};

inline uint32_t rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

void transform(uint32_t abcd[4], const uint8_t block[64]) {
    uint32_t x[16];
    for (int i = 0; i < 16; ++i) {
        x[i] = uint32_t(block[4 * i]) | uint32_t(block[4 * i + 1]) << 8 |
               uint32_t(block[4 * i + 2]) << 16 | uint32_t(block[4 * i + 3]) << 24;
    }
    uint32_t a = abcd[0], b = abcd[1], c = abcd[2], d = abcd[3];
    for (int i = 0; i < 64; ++i) {
        uint32_t f;
        int k;
        switch (i / 16) {
        case 0: f = (b & c) | (~b & d); k = i; break;
        case 1: f = (b & d) | (c & ~d); k = (5 * i + 1) % 16; break;
        case 2: f = b ^ c ^ d; k = (3 * i + 5) % 16; break;
        default: f = c ^ (b | ~d); k = (7 * i) % 16; break;
        }
        const uint32_t t = d;
        d = c;
        c = b;
        b = b + rotl(a + f + kSine[i] + x[k], kShift[(i / 16) * 4 + i % 4]);
        a = t;
    }
    abcd[0] += a;
    abcd[1] += b;
    abcd[2] += c;
    abcd[3] += d;
}

}  // namespace

void md5Init(Md5Context* ctx) {
    ctx->count[0] = ctx->count[1] = 0;
    ctx->abcd[0] = 0x67452301;
    ctx->abcd[1] = 0xefcdab89;
    ctx->abcd[2] = 0x98badcfe;
    ctx->abcd[3] = 0x10325476;
    memset(ctx->buf, 0, sizeof ctx->buf);
}

void md5Append(Md5Context* ctx, const uint8_t* data, int n) {
    if (n < 1 || !data) return;
    uint32_t have = (ctx->count[0] >> 3) & 63;  // bytes already in the partial block
    const uint32_t bits = uint32_t(n) << 3;
    ctx->count[1] += uint32_t(n) >> 29;
    ctx->count[0] += bits;
    if (ctx->count[0] < bits) ++ctx->count[1];

    uint32_t left = uint32_t(n);
    if (have) {
        const uint32_t take = left < 64 - have ? left : 64 - have;
        memcpy(ctx->buf + have, data, take);
        data += take;
        left -= take;
        if (have + take < 64) return;
        transform(ctx->abcd, ctx->buf);
    }
    for (; left >= 64; data += 64, left -= 64) transform(ctx->abcd, data);
    if (left) memcpy(ctx->buf, data, left);
}

void md5Finish(Md5Context* ctx, uint8_t digest[16]) {
    uint8_t length[8];
    for (int i = 0; i < 8; ++i) length[i] = uint8_t(ctx->count[i >> 2] >> ((i & 3) * 8));
    static const uint8_t pad[64] = {0x80};
    const uint32_t have = (ctx->count[0] >> 3) & 63;
    // Pad to 56 bytes modulo 64, then the bit count taken before padding.
    md5Append(ctx, pad, int(have < 56 ? 56 - have : 120 - have));
    md5Append(ctx, length, 8);
    for (int i = 0; i < 16; ++i) digest[i] = uint8_t(ctx->abcd[i >> 2] >> ((i & 3) * 8));
}

std::string md5Hex(const uint8_t* data, int n) {
    Md5Context ctx;
    uint8_t digest[16];
    md5Init(&ctx);
    md5Append(&ctx, data, n);
    md5Finish(&ctx, digest);
    static const char kHex[] = "0123456789abcdef";
    try {
        std::string out(32, '0');
        for (int i = 0; i < 16; ++i) {
            out[2 * i] = kHex[digest[i] >> 4];
            out[2 * i + 1] = kHex[digest[i] & 15];
        }
        return out;
    } catch (const std::bad_alloc&) {
        return "";
    }
}
