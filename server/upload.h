// An uploaded recording as the server reads it before queueing it: bounded
// before its frames are inflated, decoded with every check, and keyed so that
// the same bytes, or the same round under another nick or date, are stored once.
#pragma once
#include <string>

#include "world/packs.h"
#include "server/store.h"

// Status 0 with `*upload` filled (but its client) when the recording may be
// queued; otherwise the answer: 422 "round over N minutes" for one longer than
// `maxMinutes` (frames of 16 ms), 400 "not a recording: WHY" for one that does
// not decode, 422 "unknown game data" for a graphics pack `packs` lacks.
UploadAnswer readUpload(const std::string& body, const GamePacks& packs, int maxMinutes, Upload* upload);
