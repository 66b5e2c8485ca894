// The HTTP transfers; each blocks the frame that makes it.
#include "game/transfer.h"

#include <chrono>
#include <cstdio>

#include "base/signature.h"
#include "game/lang.h"

CURL* curl = nullptr;
const char* scoreServer = SCORE_SERVER;
bool responseStarted = false;
size_t responseBytes = 0;
std::string transferReason;

std::string reasonFor(CURLcode rc, long status) {
    char text[64];
    switch (rc) {
    case CURLE_OK:
        snprintf(text, sizeof text, tr("odmowa: %ld"), status);
        return text;
    case CURLE_COULDNT_RESOLVE_HOST:
        return tr("nie ma takiego serwera");
    case CURLE_WRITE_ERROR:
        return tr("nie da sie zapisac odpowiedzi");
    default:
        return tr("serwer nie odpowiada");
    }
}

namespace {

// Bounds on a transfer: the frame waits for it, and a server that accepts and
// then says nothing must not freeze the game.
constexpr long connectTimeoutSeconds = 3;
constexpr long transferTimeoutSeconds = 10;

// The last post's body. libcurl reads it during the transfer and the handle
// keeps pointing at it afterwards.
std::string postBody;

// Runs a transfer of `handle` to `url` with what every transfer shares (the
// time limits; a GET unless `post`, whose fields the caller set), then tells
// the log and the screens how it went: one line with the method, URL, HTTP
// status or libcurl's error and the time, and transferReason. True when it was
// taken: completed with a status below 400.
bool perform(CURL* handle, const std::string& url, bool post, CURLcode* rc, long* status) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, connectTimeoutSeconds);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, transferTimeoutSeconds);
    // Timeouts by alarm signal would hit the audio thread too.
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    // The handle keeps the post's fields from an earlier post; anything else
    // is fetched with a plain GET.
    if (!post) curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
    *rc = curl_easy_perform(handle);
    *status = 0;
    if (*rc == CURLE_OK) curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, status);
    const long ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    const bool ok = *rc == CURLE_OK && *status < 400;
    const std::string what = *rc != CURLE_OK ? curl_easy_strerror(*rc) : std::to_string(*status);
    printf("%s: Polaczenie: %s %s: %s (%ld ms)\n", ok ? "INFO" : "FAIL", post ? "POST" : "GET", url.c_str(),
           what.c_str(), ms);
    transferReason = ok ? "" : reasonFor(*rc, *status);
    return ok;
}

// Runs one transfer to base URL + path into "dl.txt": a POST of `body`, or a GET when body is null.
bool transfer(const char* path, const char* body) {
    if (!curl) return false;
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, writeResponse);
    if (body) curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body);
    beginResponse();
    CURLcode rc;
    long status;
    return perform(curl, std::string(scoreServer) + path, body != nullptr, &rc, &status);
}

// Keeps the body in the Answer, up to the cap; more aborts the transfer.
size_t keepBody(char* data, size_t size, size_t count, void* user) {
    std::string& body = static_cast<Answer*>(user)->body;
    const size_t n = size * count;
    if (n > maxResponseBytes - body.size()) return 0;
    body.append(data, n);
    return n;
}

// Runs one transfer of `handle` to `url` into an Answer: a POST of `bytes`
// (application/octet-stream) or, with none, a GET.
Answer exchange(CURL* handle, const std::string& url, const std::string* bytes) {
    Answer a;
    if (!handle) return a.error = "no HTTP handle", a;
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, keepBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &a);
    curl_slist* headers = nullptr;
    if (bytes) {
        headers = curl_slist_append(headers, "Content-Type: application/octet-stream");
        curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(handle, CURLOPT_POSTFIELDS, bytes->data());
        curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE, static_cast<long>(bytes->size()));
    }
    CURLcode rc;
    perform(handle, url, bytes != nullptr, &rc, &a.status);
    a.done = rc == CURLE_OK;
    if (!a.done) a.error = curl_easy_strerror(rc);
    // The handle goes on to the score's transfers: they set what they need,
    // and must not inherit these.
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, nullptr);
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE, -1L);
    curl_slist_free_all(headers);
    return a;
}

}  // namespace

Answer uploadRecording(const std::string& bytes) { return exchange(curl, std::string(scoreServer) + "/replays", &bytes); }

Answer fetchUrl(const std::string& url) {
    CURL* handle = curl_easy_init();
    Answer a = exchange(handle, url, nullptr);
    if (handle) curl_easy_cleanup(handle);
    return a;
}

bool postScore(int32_t flies, const std::string& nick, int32_t ticks) {
    postBody = scoreBody(flies, nick, ticks);
    if (postBody.empty()) return false;
    return transfer("/bzykolot4.php", postBody.c_str());
}

bool downloadTable() { return transfer("/bzykolot4.wtf", nullptr); }

void beginResponse() {
    responseStarted = false;
    responseBytes = 0;
}

size_t writeResponse(char* data, size_t size, size_t count, void*) {
    size_t n = size * count;
    if (n == 0) return 0;  // no bytes: the file stays as it was
    // A server that streams without end must not fill the disk.
    if (n > maxResponseBytes - responseBytes) return 0;
    FILE* f = fopen(responseFile, responseStarted ? "ab" : "wb");
    if (!f) return 0;
    size_t written = fwrite(data, 1, n, f);
    if (fclose(f) != 0) written = 0;
    if (written != n) return 0;
    responseStarted = true;
    responseBytes += n;
    return n;
}
