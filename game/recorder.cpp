#include "game/recorder.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

#include "game/game.h"
#include "game/input.h"
#include "game/lang.h"
#include "game/transfer.h"
#include "world/mucha.h"
#include "world/objects.h"
#include "world/round.h"
#include "world/roundplay.h"

namespace {

Replay current;       // the round being recorded
bool recording = false;
bool lastFrame = false;  // the play block found the round lost this frame
Replay finished;      // the last recording written
std::string finishedPath;

bool writeFile(const std::string& path, const std::string& bytes) {
    const std::string temp = path + ".part";
    FILE* f = fopen(temp.c_str(), "wb");
    if (!f) return false;
    const bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (fclose(f) != 0 || !ok || rename(temp.c_str(), path.c_str()) != 0) {
        remove(temp.c_str());
        return false;
    }
    return true;
}

// Writes `r` to `path`; a failure costs a log line.
void save(const Replay& r, const std::string& path) {
    mkdir(kReplayDir, 0755);
    if (writeFile(path, encodeReplay(r)))
        printf("OK  : Replay: Zapisano nagranie %s\n", path.c_str());
    else
        printf("FAIL: Replay: Nie udalo sie zapisac nagrania %s\n", path.c_str());
}

struct Kept {
    std::string name;
    int64_t flies, time;
};

// "YYYYMMDD-HHMMSS-fF-tT.bzr" and any "-N" before the extension; false for anything else.
bool parseName(const std::string& name, Kept& k) {
    long long f = 0, t = 0;
    int used = 0;
    if (name.size() < 20 || name.compare(name.size() - 4, 4, ".bzr") != 0) return false;
    if (sscanf(name.c_str() + 15, "-f%lld-t%lld%n", &f, &t, &used) != 2) return false;
    k = Kept{name, f, t};
    return true;
}

std::vector<std::string> unsentList() {
    std::vector<std::string> paths;
    std::ifstream in(kUnsentList);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) paths.push_back(line);
    return paths;
}

void writeUnsent(const std::vector<std::string>& paths) {
    std::string text;
    for (const std::string& p : paths) text += p + "\n";
    if (paths.empty() ? (remove(kUnsentList), true) : writeFile(kUnsentList, text)) return;
    printf("FAIL: Replay: Nie udalo sie zapisac listy %s\n", kUnsentList);
}

// The first line of a refusal, as the panel can show it: printable ASCII, at most 60 bytes.
std::string reasonOf(const std::string& body) {
    std::string line = body.substr(0, std::min(body.find('\n'), size_t(60)));
    for (char& c : line)
        if (c < ' ' || c > '~') c = '?';
    return line.empty() ? "?" : line;
}

}  // namespace

std::string sendRecordings(const std::string& nick) {
    nameRecording(nick);
    std::vector<std::string> waiting = unsentList();
    if (!finished.frames.empty() && std::find(waiting.begin(), waiting.end(), finishedPath) == waiting.end())
        waiting.push_back(finishedPath);
    std::string line;
    std::vector<std::string> still;
    bool reachable = true;
    for (const std::string& path : waiting) {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream bytes;
        bytes << file.rdbuf();
        if (!file) continue;  // removed meanwhile: nothing to send
        const Answer a = reachable ? uploadRecording(bytes.str()) : Answer();
        // An unreachable server keeps this one and every one after it for the next score.
        if (!a.done || a.status >= 500) {
            reachable = false;
            still.push_back(path);
        }
        if (path != finishedPath) continue;
        if (a.status == 404) {
            line.clear();
        } else if (!reachable) {
            line = tr("Nagranie czeka na wyslanie.");
        } else if (a.status >= 200 && a.status < 300) {
            line = tr("Nagranie wyslane: wynik trafi do tabeli po sprawdzeniu.");
        } else {
            line = tr("Nagranie odrzucone: ") + reasonOf(a.body);
        }
    }
    if (still != unsentList()) writeUnsent(still);
    return line;
}

void beginRecording(uint32_t seed) {
    current = Replay();
    current.gfxDigest = gfxDigest;
    current.width = fieldW;
    current.height = fieldH;
    current.seed = seed;
    current.playedAt = static_cast<int64_t>(time(nullptr));
    recording = true;
    lastFrame = false;
}

void roundLost() { lastFrame = true; }

void discardRecording() { recording = false; }

void recordFrame() {
    if (!recording) return;
    PlayerInput in = frameInput.player;
    in.x = mouseX, in.y = mouseY;  // in the round's first frame, where the new round put the pointer
    current.frames.push_back(in);
    if (current.frames.size() % kChecksumEvery == 0 || lastFrame) current.checksums.push_back(worldChecksum());
    // A round the recording cannot hold goes unrecorded rather than half.
    if (current.frames.size() >= size_t(kMaxReplayFrames)) recording = false;
    if (!lastFrame || !recording) return;
    recording = false;
    current.flies = kills;
    current.time = roundTicks;
    finished = std::move(current);
    std::string path = std::string(kReplayDir) + "/" + recordingName(finished);
    struct stat st;
    for (int n = 2; stat(path.c_str(), &st) == 0; ++n)  // two rounds lost in one second
        path = std::string(kReplayDir) + "/" + recordingName(finished).insert(recordingName(finished).size() - 4, "-" + std::to_string(n));
    finishedPath = path;
    save(finished, finishedPath);
    pruneRecordings(kReplayDir);
}

void nameRecording(const std::string& nick) {
    if (finished.frames.empty() || finished.nick == nick) return;
    finished.nick = nick;
    save(finished, finishedPath);
}

const Replay& lastRecording() { return finished; }
const std::string& lastRecordingPath() { return finishedPath; }

std::string recordingName(const Replay& r) {
    const time_t at = static_cast<time_t>(r.playedAt);
    struct tm local;
    localtime_r(&at, &local);
    char name[96];
    snprintf(name, sizeof name, "%04d%02d%02d-%02d%02d%02d-f%d-t%d.bzr", local.tm_year + 1900, local.tm_mon + 1,
             local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, r.flies, r.time);
    return name;
}

void pruneRecordings(const std::string& dir) {
    std::vector<Kept> all;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            Kept k;
            if (parseName(e->d_name, k)) all.push_back(k);
        }
        closedir(d);
    }
    std::set<std::string> keep;
    for (const std::string& path : unsentList()) keep.insert(path.substr(path.rfind('/') + 1));
    auto keepFirst = [&](auto better) {
        std::sort(all.begin(), all.end(), better);
        for (size_t i = 0; i < all.size() && i < size_t(kKeepBest); ++i) keep.insert(all[i].name);
    };
    keepFirst([](const Kept& a, const Kept& b) { return a.flies != b.flies ? a.flies > b.flies : a.name > b.name; });
    keepFirst([](const Kept& a, const Kept& b) { return a.time != b.time ? a.time > b.time : a.name > b.name; });
    std::sort(all.begin(), all.end(), [](const Kept& a, const Kept& b) { return a.name > b.name; });
    for (size_t i = 0; i < all.size(); ++i)
        if (i >= size_t(kKeepNewest) && !keep.count(all[i].name)) remove((dir + "/" + all[i].name).c_str());
}
