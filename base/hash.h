// FNV-1a over 32-bit words: the checksum a recording keeps of the world every
// 64 frames. Floats go in as their bits, so two runs agree only bit for bit.
#pragma once
#include <cstdint>
#include <cstring>

class Hash {
public:
    void add(uint32_t v) {
        for (int i = 0; i < 4; ++i, v >>= 8) h_ = (h_ ^ (v & 0xff)) * 1099511628211ull;
    }
    void add(int32_t v) { add(static_cast<uint32_t>(v)); }
    void add(float f) {
        uint32_t bits;
        std::memcpy(&bits, &f, sizeof bits);
        add(bits);
    }
    void add(bool b) { add(static_cast<uint32_t>(b)); }
    // The 64 bits folded to 32.
    uint32_t value() const { return static_cast<uint32_t>(h_ ^ (h_ >> 32)); }

private:
    uint64_t h_ = 14695981039346656037ull;
};
