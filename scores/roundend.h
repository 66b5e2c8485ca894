// The round-end screen: nick entry, the signed score post, and the score panel.
#pragma once
#include <cstddef>
#include <cstdint>

enum RoundEndState : int32_t {
    EndNick = 0,
    EndSending = 1,
    EndPost = 2,
    EndSent = 3,
    EndFailed = 4,
};

// ---- Nick entry ---------------------------------------------------------------
extern char nick[32];    // at most 31 characters; kept from round to round
extern int32_t nickPos;  // length of the nick
extern int32_t lastKey;  // key of the last key press handled; 0 after other events

void roundEndFrame();  // StateRoundEnd's block
bool submitScore();    // signs and posts the score; true on success
bool downloadTable();  // fetches the table into "dl.txt"; true on success
// libcurl write callback storing the body in "dl.txt".
size_t writeResponse(char* data, size_t size, size_t count, void* user);
void drawScorePanel();
