#include "base/replay.h"

#include <zlib.h>

#include <cstring>

#include "base/signature.h"

namespace {

constexpr char kMagic[8] = {'B', 'Z', 'K', '2', 'R', 'E', 'C', '\n'};
// The header before the nick's bytes; see docs/replay.md.
constexpr size_t kHeaderBytes = 8 + 2 + 16 + 2 + 2 + 4 + 8 + 4 + 4 + 4 + 4 + 4 + 1;
// Bytes one frame takes at most in the inflated payload: its flag and two
// five-byte varints; then the checksums.
constexpr size_t kMaxFrameBytes = 11;

// Frame flags: which deltas follow, and the buttons.
constexpr uint8_t kMovedX = 1, kMovedY = 2, kButtonsShift = 2;

class Writer {
public:
    void u8(uint8_t v) { out.push_back(static_cast<char>(v)); }
    void u16(uint16_t v) { u8(uint8_t(v)), u8(uint8_t(v >> 8)); }
    void u32(uint32_t v) { u16(uint16_t(v)), u16(uint16_t(v >> 16)); }
    void u64(uint64_t v) { u32(uint32_t(v)), u32(uint32_t(v >> 32)); }
    void bytes(const std::string& s) { out += s; }
    // Zigzag, then seven bits a byte, low first.
    void varint(int32_t v) {
        uint32_t z = (static_cast<uint32_t>(v) << 1) ^ static_cast<uint32_t>(v >> 31);
        for (; z >= 0x80; z >>= 7) u8(uint8_t(z | 0x80));
        u8(uint8_t(z));
    }
    std::string out;
};

class Reader {
public:
    Reader(const std::string& s, size_t at = 0) : s_(s), at_(at) {}
    bool u8(uint8_t& v) {
        if (at_ >= s_.size()) return false;
        v = static_cast<uint8_t>(s_[at_++]);
        return true;
    }
    bool u16(uint16_t& v) {
        uint8_t a, b;
        if (!u8(a) || !u8(b)) return false;
        v = uint16_t(a | b << 8);
        return true;
    }
    bool u32(uint32_t& v) {
        uint16_t a, b;
        if (!u16(a) || !u16(b)) return false;
        v = uint32_t(a) | uint32_t(b) << 16;
        return true;
    }
    bool u64(uint64_t& v) {
        uint32_t a, b;
        if (!u32(a) || !u32(b)) return false;
        v = uint64_t(a) | uint64_t(b) << 32;
        return true;
    }
    bool bytes(size_t n, std::string& v) {
        if (n > s_.size() - at_) return false;
        v = s_.substr(at_, n);
        at_ += n;
        return true;
    }
    bool varint(int32_t& v) {
        uint32_t z = 0;
        for (int shift = 0; shift < 35; shift += 7) {
            uint8_t b;
            if (!u8(b)) return false;
            if (shift == 28 && b > 0x0f) return false;  // past 32 bits
            z |= uint32_t(b & 0x7f) << shift;
            if (!(b & 0x80)) {
                v = static_cast<int32_t>((z >> 1) ^ (0u - (z & 1)));
                return true;
            }
        }
        return false;
    }
    size_t at() const { return at_; }

private:
    const std::string& s_;
    size_t at_;
};

std::string hex(const std::string& raw) {
    static const char digits[] = "0123456789abcdef";
    std::string h;
    for (unsigned char c : raw) h += digits[c >> 4], h += digits[c & 15];
    return h;
}

std::string unhex(const std::string& h) {
    std::string raw;
    for (size_t i = 0; i + 1 < h.size(); i += 2) raw += static_cast<char>(std::stoi(h.substr(i, 2), nullptr, 16));
    raw.resize(16, '\0');
    return raw;
}

// The frames and checksums, before compression: every frame's flag, then the
// x deltas of the frames that moved across, then the y deltas, then the
// checksums. Kept in columns, the runs of a still pointer compress to nothing.
std::string payload(const Replay& r) {
    Writer flags, dx, dy, sums;
    int32_t px = 0, py = 0;
    for (const PlayerInput& f : r.frames) {
        const int32_t mx = f.x - px, my = f.y - py;
        flags.u8(uint8_t((mx ? kMovedX : 0) | (my ? kMovedY : 0) | f.buttons << kButtonsShift));
        if (mx) dx.varint(mx);
        if (my) dy.varint(my);
        px = f.x, py = f.y;
    }
    for (uint32_t c : r.checksums) sums.u32(c);
    return flags.out + dx.out + dy.out + sums.out;
}

bool fail(std::string* reason, const std::string& why) {
    if (reason) *reason = why;
    return false;
}

// Inflates exactly `size` bytes from `packed`; false when the stream is
// damaged, ends early, or holds more.
bool inflateExactly(const std::string& packed, size_t size, std::string& out) {
    out.assign(size, '\0');
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return false;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    z.avail_in = static_cast<uInt>(packed.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(size);
    int rc = inflate(&z, Z_FINISH);
    if (rc == Z_BUF_ERROR && z.avail_out == 0) {
        // Full: one byte more tells a stream that ends here from one that goes on.
        char extra;
        z.next_out = reinterpret_cast<Bytef*>(&extra);
        z.avail_out = 1;
        rc = inflate(&z, Z_FINISH);
        if (z.avail_out == 0) rc = Z_BUF_ERROR;
    }
    const bool whole = rc == Z_STREAM_END && z.total_out == size && z.avail_in == 0;
    inflateEnd(&z);
    return whole;
}

}  // namespace

size_t checksumCount(size_t frames) { return (frames + kChecksumEvery - 1) / kChecksumEvery; }

size_t checksumFrame(size_t j, size_t frames) {
    const size_t every = (j + 1) * kChecksumEvery - 1;
    return every < frames ? every : frames - 1;
}

std::string encodeReplay(const Replay& r) {
    const std::string raw = payload(r);
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
              static_cast<uLong>(raw.size()), Z_BEST_COMPRESSION);
    packed.resize(packedSize);
    Writer w;
    w.bytes(std::string(kMagic, sizeof kMagic));
    w.u16(kReplayVersion);
    w.bytes(unhex(r.gfxDigest));
    w.u16(static_cast<uint16_t>(r.width)), w.u16(static_cast<uint16_t>(r.height));
    w.u32(r.seed);
    w.u64(static_cast<uint64_t>(r.playedAt));
    w.u32(static_cast<uint32_t>(r.flies)), w.u32(static_cast<uint32_t>(r.time));
    w.u32(static_cast<uint32_t>(r.frames.size()));
    w.u32(static_cast<uint32_t>(raw.size())), w.u32(static_cast<uint32_t>(packed.size()));
    w.u8(static_cast<uint8_t>(r.nick.size()));
    w.bytes(r.nick);
    w.bytes(packed);
    return w.out;
}

int64_t replayFrameCount(const std::string& bytes) {
    if (bytes.size() < kHeaderBytes || memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) return -1;
    uint16_t version = 0;
    uint32_t frames = 0;
    Reader in(bytes, sizeof kMagic);
    in.u16(version);
    if (version != kReplayVersion) return -1;
    Reader(bytes, kHeaderBytes - 13).u32(frames);  // after the score, before the two sizes and the nick's length
    return frames;
}

bool decodeReplay(const std::string& bytes, Replay& r, std::string* reason) {
    if (bytes.size() > kMaxReplayBytes) return fail(reason, "larger than " + std::to_string(kMaxReplayBytes) + " bytes");
    if (bytes.size() < kHeaderBytes) return fail(reason, "truncated: " + std::to_string(bytes.size()) + " bytes, no whole header");
    if (memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) return fail(reason, "not a Bzykolot 2 recording (wrong magic)");
    Reader in(bytes, sizeof kMagic);
    // The header is whole (checked above), so every read below succeeds.
    uint16_t version = 0, w = 0, h = 0;
    uint32_t seed = 0, flies = 0, time = 0, frames = 0, rawSize = 0, packedSize = 0;
    uint64_t playedAt = 0;
    uint8_t nickLen = 0;
    std::string digest, nick, packed;
    in.u16(version);
    if (version != kReplayVersion) return fail(reason, "format version " + std::to_string(version) + " (this build reads " + std::to_string(kReplayVersion) + ")");
    in.bytes(16, digest), in.u16(w), in.u16(h), in.u32(seed), in.u64(playedAt), in.u32(flies), in.u32(time);
    in.u32(frames), in.u32(rawSize), in.u32(packedSize), in.u8(nickLen);
    if (w < kMinReplaySide || w > kMaxReplaySide || h < kMinReplaySide || h > kMaxReplaySide)
        return fail(reason, "screen size " + std::to_string(w) + "x" + std::to_string(h) + " out of range");
    if (frames < 2 || frames > uint32_t(kMaxReplayFrames)) return fail(reason, "frame count " + std::to_string(frames) + " out of range");
    if (flies > uint32_t(INT32_MAX) || time >= frames) return fail(reason, "score out of range");
    if (!in.bytes(nickLen, nick) || !in.bytes(packedSize, packed)) return fail(reason, "truncated");
    if (in.at() != bytes.size()) return fail(reason, "trailing bytes after the frames");
    if (nickLen > kNickMax || (!nick.empty() && !validNick(nick))) return fail(reason, "nick out of range");
    const size_t sums = checksumCount(frames);
    if (rawSize > size_t(frames) * kMaxFrameBytes + 4 * sums || rawSize < frames + 4 * sums)
        return fail(reason, "frames take " + std::to_string(rawSize) + " bytes, out of range for " + std::to_string(frames) + " frames");
    std::string raw;
    if (!inflateExactly(packed, rawSize, raw)) return fail(reason, "compressed frames do not inflate to their " + std::to_string(rawSize) + " bytes");

    r = Replay();
    r.gfxDigest = hex(digest);
    r.width = w, r.height = h, r.seed = seed, r.playedAt = static_cast<int64_t>(playedAt);
    r.flies = static_cast<int32_t>(flies), r.time = static_cast<int32_t>(time), r.nick = nick;
    // The columns: flags first, then each delta column in turn.
    Reader flags(raw), deltas(raw, frames);
    std::vector<uint8_t> f(frames);
    for (uint8_t& b : f) flags.u8(b);
    std::vector<int32_t> dx(frames, 0), dy(frames, 0);
    for (uint32_t i = 0; i < frames; ++i)
        if ((f[i] & kMovedX) && !deltas.varint(dx[i])) return fail(reason, "frame " + std::to_string(i) + ": damaged pointer");
    for (uint32_t i = 0; i < frames; ++i)
        if ((f[i] & kMovedY) && !deltas.varint(dy[i])) return fail(reason, "frame " + std::to_string(i) + ": damaged pointer");
    if (raw.size() - deltas.at() != 4 * sums) return fail(reason, "checksums: " + std::to_string(raw.size() - deltas.at()) + " bytes for " + std::to_string(sums));
    int64_t x = 0, y = 0;
    r.frames.resize(frames);
    for (uint32_t i = 0; i < frames; ++i) {
        x += dx[i], y += dy[i];
        const uint32_t buttons = f[i] >> kButtonsShift;
        if (x < 0 || x >= w || y < 0 || y >= h || buttons > (kLeftButton | kRightButton))
            return fail(reason, "frame " + std::to_string(i) + ": pointer or buttons out of range");
        r.frames[i].x = static_cast<int32_t>(x), r.frames[i].y = static_cast<int32_t>(y);
        r.frames[i].buttons = static_cast<uint8_t>(buttons);
    }
    r.checksums.resize(sums);
    for (uint32_t& c : r.checksums) deltas.u32(c);
    return true;
}
