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

// ---- Score server ---------------------------------------------------------------
extern const char* scoreServer;  // base URL ("http://host:port"); SCORE_SERVER at build time
extern bool responseStarted;     // writeResponse has written a piece of this transfer
extern size_t responseBytes;     // body bytes written by this transfer so far
constexpr size_t maxResponseBytes = 1 << 20;  // a larger body aborts the transfer
constexpr const char* responseFile = "dl.txt";

void roundEndFrame();  // StateRoundEnd's block
// Signs and posts the score of kills, nick, roundTicks; true when the transfer
// completed (whatever the server answered). False without sending when the
// digest cannot be made.
bool submitScore();
bool downloadTable();  // fetches the table into "dl.txt"; true on success
// libcurl write callback storing the body in "dl.txt": the first piece of a
// transfer replaces the file, later ones append. Returns 0 (aborting the
// transfer) when the file cannot be written or the body passes maxResponseBytes.
size_t writeResponse(char* data, size_t size, size_t count, void* user);
// Forgets the previous transfer's pieces; called before each transfer.
void beginResponse();
// Shows scoreMessage (when set) or the previous panel text on "hiscores.bmp".
void drawScorePanel();

// One frame of nick entry on the globals above. keyDown: this frame's event
// is a key press of `key`; shift: either Shift held; enterHeld: Return held.
// True when the nick is complete and Enter asks to send it.
bool nickEntry(bool keyDown, int32_t key, bool shift, bool enterHeld);
// Writes "%d%s%d" + salt into buf (the signature text).
void buildSignature(char* buf, size_t size, int32_t flies, const char* name, int32_t ticks);
// Writes the request body "wysyl=1&wersja=1&nick=...&md5=..." into buf, using
// buf for the signature first. False (buf emptied) when the digest cannot be made.
bool buildScoreBody(char* buf, size_t size, int32_t flies, const char* name, int32_t ticks);
