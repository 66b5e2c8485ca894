#include "server/upload.h"


#include "base/md5.h"
#include "base/replay.h"

namespace {

std::string md5(const std::string& bytes) {
    return md5Hex(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int>(bytes.size()));
}

template <typename T>
void put(std::string& out, T value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// What the rules play and what they must give: the round without the nick it
// was sent under and its date, which anyone can change without playing it again.
std::string roundKey(const Replay& r) {
    std::string key = r.gfxDigest;
    put(key, r.width), put(key, r.height), put(key, r.seed), put(key, r.flies), put(key, r.time);
    for (const PlayerInput& f : r.frames) put(key, f.x), put(key, f.y), put(key, f.buttons);
    for (uint32_t c : r.checksums) put(key, c);
    return md5(key);
}

}  // namespace

UploadAnswer readUpload(const std::string& body, const GamePacks& packs, int maxMinutes, Upload* upload) {
    // 16 ms a frame; refused before a frame is inflated.
    if (replayFrameCount(body) * 16 > maxMinutes * 60000LL)
        return {422, "round over " + std::to_string(maxMinutes) + " minutes"};
    Replay r;
    std::string why;
    if (!decodeReplay(body, r, &why)) return {400, "not a recording: " + why};
    if (!packs.find(r.gfxDigest)) return {422, "unknown game data"};
    upload->bytes = body;
    upload->hash = md5(body);
    upload->round = roundKey(r);
    upload->score = {r.nick, r.flies, r.time};
    upload->frames = static_cast<int32_t>(r.frames.size());
    upload->playedAt = r.playedAt;
    return {0, ""};
}
