// The HTTP transfers with the score server: the signed score's post and the
// table's download, both into "dl.txt"; a round's recording uploaded, and a
// recording fetched to watch, both in memory.
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
extern std::string transferReason;  // why the last transfer failed, a few words for the screens; "" after one that did not
constexpr size_t maxResponseBytes = 1 << 20;  // a larger body aborts the transfer
constexpr const char* responseFile = "dl.txt";

// Signs and posts a score; true when the server took it (an answer below
// 400). False without sending when the digest cannot be made. Every transfer
// logs one line: method, URL, the HTTP status or libcurl's error, the time.
bool postScore(int32_t flies, const std::string& nick, int32_t ticks);
bool downloadTable();  // fetches the table into "dl.txt"; true on an answer below 400
// The screens' few words for a failed transfer: "serwer nie odpowiada",
// "odmowa: 429", ...
std::string reasonFor(CURLcode rc, long status);
// libcurl write callback storing the body in "dl.txt": the first piece of a
// transfer replaces the file, later ones append. Returns 0 (aborting the
// transfer) when the file cannot be written or the body passes maxResponseBytes.
size_t writeResponse(char* data, size_t size, size_t count, void* user);
// Forgets the previous transfer's pieces; called before each transfer.
void beginResponse();

// What a transfer kept in memory brought back.
struct Answer {
    bool done = false;  // the transfer completed (an HTTP answer came)
    long status = 0;    // its HTTP status
    std::string body;   // at most maxResponseBytes of its body
    std::string error;  // libcurl's reason when not done
};

// Posts a recording's bytes to "/replays" on the score server (the run's handle).
Answer uploadRecording(const std::string& bytes);
// Fetches `url` with a handle of its own (before start-up, for --watch URL),
// with the same time limits and cap as the table's download.
Answer fetchUrl(const std::string& url);
