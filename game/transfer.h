// The two HTTP transfers with the score server: the signed score's post and
// the table's download, both into "dl.txt".
#pragma once
#include <cstddef>
#include <cstdint>
#include <curl/curl.h>
#include <string>

// ---- Score server ---------------------------------------------------------------
extern CURL* curl;               // the one HTTP handle of the run, from start-up
extern const char* scoreServer;  // base URL ("http://host:port"); SCORE_SERVER at build time
extern bool responseStarted;     // writeResponse has written a piece of this transfer
extern size_t responseBytes;     // body bytes written by this transfer so far
constexpr size_t maxResponseBytes = 1 << 20;  // a larger body aborts the transfer
constexpr const char* responseFile = "dl.txt";

// Signs and posts a score; true when the transfer completed (whatever the
// server answered). False without sending when the digest cannot be made.
bool postScore(int32_t flies, const std::string& nick, int32_t ticks);
bool downloadTable();  // fetches the table into "dl.txt"; true on success
// libcurl write callback storing the body in "dl.txt": the first piece of a
// transfer replaces the file, later ones append. Returns 0 (aborting the
// transfer) when the file cannot be written or the body passes maxResponseBytes.
size_t writeResponse(char* data, size_t size, size_t count, void* user);
// Forgets the previous transfer's pieces; called before each transfer.
void beginResponse();
