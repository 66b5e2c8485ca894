// MD5 message digest (RFC 1321).
#pragma once
#include <cstdint>
#include <string>

struct Md5Context {
    uint32_t count[2];  // bits appended so far, low word first
    uint32_t abcd[4];   // chaining words A, B, C, D
    uint8_t buf[64];    // partial block
};

void md5Init(Md5Context* ctx);
// Appends n bytes; n < 1 appends nothing.
void md5Append(Md5Context* ctx, const uint8_t* data, int n);
void md5Finish(Md5Context* ctx, uint8_t digest[16]);
// The digest as 32 lower-case hex digits; empty when it cannot be allocated.
std::string md5Hex(const uint8_t* data, int n);
