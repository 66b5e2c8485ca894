// Recording every round: its seed and the input of each of its frames, with
// the world's checksum every 64 frames, written to "replays/" when the round
// is lost and again with the nick once the score is sent. The newest 100
// recordings and the 10 best by flies and by time are kept.
#pragma once
#include <cstdint>
#include <string>

#include "base/replay.h"

// Where recordings are written, beside log.txt, and the list of those the
// score server has not taken yet (a path a line, oldest first).
constexpr const char* kReplayDir = "replays";
constexpr const char* kUnsentList = "replays/unsent.txt";
// How many recordings the folder keeps: the newest, and the best by each score.
constexpr int32_t kKeepNewest = 100, kKeepBest = 10;

// The round just started (its frame 0): a recording begins.
void beginRecording(uint32_t seed);
// At the end of each frame's rules: the frame's pointer and buttons, and the
// world's checksum when one is due; in the round's last frame the recording
// is finished and written.
void recordFrame();
// The play block found the round lost: this frame is the recording's last.
void roundLost();
// The round was left without a score (F2, a new round): nothing is written.
void discardRecording();
// The score was sent under `nick`: the last recording is written again with it.
void nameRecording(const std::string& nick);
// After the score was sent under `nick`: the round's recording goes to the
// score server ("/replays"), after any left from rounds whose server could
// not be reached. Returns the panel's line for it: listed once checked,
// refused with the server's reason, or kept to be sent again with the next
// score; "" when the server takes no recordings (404) or there is none.
std::string sendRecordings(const std::string& nick);
// The last finished recording (empty frames when none), and its file.
const Replay& lastRecording();
const std::string& lastRecordingPath();

// The file name of a recording: when it was played (local time) and its
// score, so a listing sorts by date: "20261207-091530-f123-t4567.bzr".
std::string recordingName(const Replay& r);
// Removes from `dir` every recording but the kKeepNewest newest, the
// kKeepBest best by flies and by time (read from the names) and those not
// sent yet.
void pruneRecordings(const std::string& dir);
