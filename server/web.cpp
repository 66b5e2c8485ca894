#include "server/web.h"

#include <microhttpd.h>
#include <strings.h>
#include <sys/socket.h>

#include "base/replay.h"
#include "base/scorebound.h"
#include "server/log.h"
#include "server/page.h"
#include "server/upload.h"

namespace {

using Clock = std::chrono::steady_clock;

const size_t maxPostBody = 4096;  // bytes of a score's form; a larger body is answered 413
const char* const textType = "text/plain; charset=utf-8";
// An upload refused for the client's waiting recordings, or for the server's
// memory: try again after this many seconds.
const char* const uploadRetry = "10";
// Bytes of recordings received at once, in all: an upload past it is refused
// (so thousands of connections cannot hold a mebibyte each).
const uint64_t uploadsInHand = uint64_t{64} << 20;

enum class Route { Table, Post, Upload, Fetch, Page, Refused };

// The answer to a request the book answers on its own thread; written before
// the connection is resumed, read after.
struct Reply {
    int status = 0;
    std::string text, type = textType, header, value;
};

// One HTTP request, from its first line to its answer.
struct Request {
    void refuse(int status, const char* text, const char* header = "", const char* value = "") {
        route = Route::Refused;
        refusal = status;
        refusalText = text;
        refusalHeader = header;
        refusalValue = value;
    }
    WebServer::Conn* conn = nullptr;
    std::string method = "-", path = "-", client = "-";
    std::string host;         // the Host header
    std::string note;         // said after the status in the log line
    std::string body;
    size_t maxBody = maxPostBody;
    int64_t fetchId = 0;      // with Route::Fetch
    uint64_t reserved = 0;    // with Route::Upload: its share of uploadsInHand
    bool begun = false;       // the headers have been seen
    bool whole = false;       // read whole: being answered, counted in inFlight_
    Route route = Route::Refused;
    int refusal = 0;          // with Route::Refused: the answer's status, text and header
    std::string refusalText, refusalHeader, refusalValue;
    bool tooLarge = false;
    bool waiting = false;     // suspended until the book has answered
    Reply reply;              // with `waiting`: what the book answered
    int status = 0;           // the answer queued
    bool logged = false;      // its line is written (a post's, when the book answered)
};

std::string peerAddress(MHD_Connection* c) {
    const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    return info && info->client_addr ? addressText(info->client_addr) : "-";
}

// The headers the answer depends on. The Gate has let through only heads
// whose framing every reader agrees on: one Content-Length of digits at most.
struct Headers {
    std::string length;        // Content-Length, "" without one
    std::string forwardedFor;  // the last X-Forwarded-For header
    std::string host;          // Host
};

MHD_Result readHeader(void* cls, MHD_ValueKind, const char* key, const char* value) {
    Headers& h = *static_cast<Headers*>(cls);
    if (strcasecmp(key, MHD_HTTP_HEADER_CONTENT_LENGTH) == 0) h.length = value;
    else if (strcasecmp(key, "X-Forwarded-For") == 0) h.forwardedFor = value;
    else if (strcasecmp(key, MHD_HTTP_HEADER_HOST) == 0) h.host = value;
    return MHD_YES;
}

bool isFormType(MHD_Connection* c) {
    const char* header = MHD_lookup_connection_value(c, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_TYPE);
    if (!header) return true;  // a bare body is read as a form
    std::string type = header;
    type = type.substr(0, type.find(';'));
    while (!type.empty() && type.back() == ' ') type.pop_back();
    for (char& ch : type) ch = static_cast<char>(tolower(static_cast<unsigned char>(ch)));
    return type == "application/x-www-form-urlencoded";
}

// A recording's number in a path: 1 to 18 digits, no leading zero; 0 otherwise.
int64_t replayId(const std::string& text) {
    if (text.empty() || text.size() > 18 || text[0] == '0' || text.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    return std::stoll(text);
}

// A body's stated length over `most` bytes (or over 9 digits).
bool overLength(const std::string& length, size_t most) {
    return !length.empty() && (length.size() > 9 || std::stoul(length) > most);
}

}  // namespace

// The library's callbacks, with the server as their closure.
struct WebCallbacks {
    static void* onUri(void*, const char* uri, MHD_Connection* c) {
        auto* r = new Request;
        r->client = peerAddress(c);
        r->path = uri ? std::string(uri).substr(0, std::string(uri).find('?')) : "-";
        return r;
    }

    static void onConnection(void* cls, MHD_Connection* c, void** context,
                             MHD_ConnectionNotificationCode code) {
        auto* self = static_cast<WebServer*>(cls);
        std::lock_guard<std::mutex> lock(self->connMutex_);
        if (code == MHD_CONNECTION_NOTIFY_STARTED) {
            const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CONNECTION_FD);
            auto* conn = new WebServer::Conn{info ? info->connect_fd : -1, Clock::now()};
            self->conns_.insert(conn);
            *context = conn;
        } else {
            // Called before the library closes the socket: the reaper, holding
            // the same lock, never shuts down a reused descriptor.
            auto* conn = static_cast<WebServer::Conn*>(*context);
            self->conns_.erase(conn);
            delete conn;
        }
    }

    static void setBusy(WebServer* self, Request* r, bool busy) {
        if (busy && !r->whole) {
            r->whole = true;
            self->inFlight_++;
        }
        if (!r->conn) return;
        std::lock_guard<std::mutex> lock(self->connMutex_);
        r->conn->busy = busy;
        r->conn->since = Clock::now();
    }

    // Queues the answer. `close`: the connection ends after it (a body left
    // unread, or framing that cannot be trusted).
    static MHD_Result answer(WebServer* self, MHD_Connection* c, Request* r, int status,
                             const std::string& text, bool close = false,
                             const char* header = nullptr, const std::string& value = "",
                             const char* type = textType) {
        setBusy(self, r, true);
        MHD_Response* res = MHD_create_response_from_buffer(text.size(), const_cast<char*>(text.data()),
                                                            MHD_RESPMEM_MUST_COPY);
        if (!res) return MHD_NO;
        MHD_add_response_header(res, MHD_HTTP_HEADER_CONTENT_TYPE, type);
        if (header) MHD_add_response_header(res, header, value.c_str());
        if (close) MHD_add_response_header(res, MHD_HTTP_HEADER_CONNECTION, "close");
        r->status = status;
        MHD_Result ok = MHD_queue_response(c, static_cast<unsigned>(status), res);
        MHD_destroy_response(res);
        return ok;
    }

    static MHD_Result answerTable(WebServer* self, MHD_Connection* c, Request* r) {
        return answer(self, c, r, 200, *self->book_.table());
    }

    // The page with the address the reader used, or the one listened on.
    static MHD_Result answerPage(WebServer* self, MHD_Connection* c, Request* r) {
        const WebOptions& o = self->options_;
        std::string address = r->host;
        if (!plainHost(address))
            address = (o.host.find(':') != std::string::npos ? "[" + o.host + "]" : o.host) + ":" +
                      std::to_string(self->port());
        // No script runs on it, whatever a row holds.
        return answer(self, c, r, 200, pageFor(*self->book_.page(), address), false, "Content-Security-Policy",
                      "default-src 'none'; style-src 'unsafe-inline'", "text/html; charset=utf-8");
    }

    // Counts an upload's stated size against uploadsInHand; false past it.
    static bool reserve(WebServer* self, Request* r, uint64_t size) {
        if (self->uploadBytes_.fetch_add(size) + size > uploadsInHand) {
            self->uploadBytes_ -= size;
            return false;
        }
        r->reserved = size;
        return true;
    }

    // The headers are in: route, framing, flood limit.
    static MHD_Result begin(WebServer* self, MHD_Connection* c, Request* r, const char* method) {
        r->begun = true;
        r->method = method;
        const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
        r->conn = info ? static_cast<WebServer::Conn*>(info->socket_context) : nullptr;
        Headers f;
        MHD_get_connection_values(c, MHD_HEADER_KIND, readHeader, &f);
        r->client = peerAddress(c);
        if (self->options_.behindProxy) r->client = clientAddress(r->client, f.forwardedFor, &r->note);

        // Answers that need no body are still given once the request has been
        // read whole: queued earlier, the library would close the connection.
        const std::string m = method;
        const bool get = m == MHD_HTTP_METHOD_GET || m == MHD_HTTP_METHOD_HEAD;
        const bool post = m == MHD_HTTP_METHOD_POST;
        r->host = f.host;
        if (r->path == "/bzykolot4.wtf") {
            // The game's download after a post may go out as a POST with an empty body.
            if (get || post) r->route = Route::Table;
            else r->refuse(405, "405\n", MHD_HTTP_HEADER_ALLOW, "GET, POST");
        } else if (r->path == "/" || r->path == "/index.html") {
            if (get) r->route = Route::Page;
            else r->refuse(405, "405\n", MHD_HTTP_HEADER_ALLOW, "GET");
        } else if (r->path.rfind("/replays/", 0) == 0) {
            r->fetchId = replayId(r->path.substr(9));
            if (!r->fetchId) r->refuse(404, "404\n");
            else if (get) r->route = Route::Fetch;
            else r->refuse(405, "405\n", MHD_HTTP_HEADER_ALLOW, "GET");
        } else if (r->path == "/replays") {
            if (!post) r->refuse(405, "405\n", MHD_HTTP_HEADER_ALLOW, "POST");
            else if (overLength(f.length, kMaxReplayBytes)) return answer(self, c, r, 413, "413\n", true);
            else if (!reserve(self, r, f.length.empty() ? 0 : std::stoull(f.length)))
                return answer(self, c, r, 503, "busy\n", true, MHD_HTTP_HEADER_RETRY_AFTER, uploadRetry);
            else r->route = Route::Upload, r->maxBody = kMaxReplayBytes;
        } else if (r->path != "/bzykolot4.php") {
            r->refuse(404, "404\n");
        } else if (!post) {
            r->refuse(405, "Tylko POST\n", MHD_HTTP_HEADER_ALLOW, "POST");
        } else if (overLength(f.length, maxPostBody)) {
            return answer(self, c, r, 413, "413\n", true);
        } else {
            double now = std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
            if (int wait = self->limiter_.take(limitKey(r->client), now))
                return answer(self, c, r, 429, "Za czesto\n", true, MHD_HTTP_HEADER_RETRY_AFTER,
                              std::to_string(wait));
            r->route = Route::Post;
        }
        return MHD_YES;
    }

    // The whole body is in: check the score and hand it to the book.
    static MHD_Result post(WebServer* self, MHD_Connection* c, Request* r, const std::string& body) {
        if (!isFormType(c)) return answer(self, c, r, 400, "Zly typ tresci\n");
        Verdict v = checkScore(body);
        if (v.status == 200 && !possibleScore(v.score.flies, v.score.time)) {
            v.status = 422;
            v.message = v.score.time == 0 ? "Niemozliwy wynik: zerowy czas"
                                          : "Niemozliwy wynik: za duzo much na ten czas";
        }
        if (v.status != 200) return answer(self, c, r, v.status, v.message + "\n");
        suspend(self, c, r);
        self->book_.post(v.score, [r, c](int status) {
            r->reply.status = status;
            r->reply.text = status == 200 ? "Zapisano\n" : "Blad bazy\n";
            // Logged now: a client that left without reading its answer may
            // never get one, and its stored score must still be traced.
            logRequest(r, status);
            MHD_resume_connection(c);
        });
        return MHD_YES;
    }

    // The book answers on its thread. Suspended first: it may answer before
    // the call that hands it the request returns.
    static void suspend(WebServer* self, MHD_Connection* c, Request* r) {
        setBusy(self, r, true);
        r->waiting = true;
        MHD_suspend_connection(c);
    }

    // A whole recording: read here, queued (or refused) by the book.
    static MHD_Result upload(WebServer* self, MHD_Connection* c, Request* r) {
        Upload u;
        const UploadAnswer read = readUpload(r->body, *self->options_.packs, self->options_.maxRoundMinutes, &u);
        if (read.status) {
            r->note += (r->note.empty() ? "" : "; ") + read.text;
            return answer(self, c, r, read.status, read.text + "\n");
        }
        u.client = limitKey(r->client);
        suspend(self, c, r);
        self->book_.upload(u, [r, c](const UploadAnswer& a) {
            r->reply.status = a.status;
            r->reply.text = a.text + "\n";
            if (a.status == 429) r->reply.header = MHD_HTTP_HEADER_RETRY_AFTER, r->reply.value = uploadRetry;
            r->note += (r->note.empty() ? "" : "; ") + a.text;
            logRequest(r, a.status);
            MHD_resume_connection(c);
        });
        return MHD_YES;
    }

    static MHD_Result fetch(WebServer* self, MHD_Connection* c, Request* r) {
        suspend(self, c, r);
        const std::string name = "attachment; filename=\"bzykolot2-" + std::to_string(r->fetchId) + ".bzr\"";
        self->book_.fetch(r->fetchId, [r, c, name](bool found, const std::string& bytes) {
            r->reply = found ? Reply{200, bytes, "application/octet-stream", MHD_HTTP_HEADER_CONTENT_DISPOSITION, name}
                             : Reply{404, "404\n", textType, "", ""};
            MHD_resume_connection(c);
        });
        return MHD_YES;
    }

    static MHD_Result onRequest(void* cls, MHD_Connection* c, const char*, const char* method,
                                const char*, const char* data, size_t* size, void** context) {
        auto* self = static_cast<WebServer*>(cls);
        auto* r = static_cast<Request*>(*context);
        if (!r->begun) return begin(self, c, r, method);
        if (*size) {
            // Past the limit the rest is read and dropped, within the deadline.
            if (r->body.size() + *size > r->maxBody) r->tooLarge = true;
            else r->body.append(data, *size);
            *size = 0;
            return MHD_YES;
        }
        if (r->waiting) {
            const Reply& a = r->reply;
            return answer(self, c, r, a.status, a.text, false, a.header.empty() ? nullptr : a.header.c_str(), a.value,
                          a.type.c_str());
        }
        if (r->tooLarge) return answer(self, c, r, 413, "413\n");
        switch (r->route) {
        case Route::Table:
            return answerTable(self, c, r);
        case Route::Post:
            return post(self, c, r, r->body);
        case Route::Upload:
            return upload(self, c, r);
        case Route::Fetch:
            return fetch(self, c, r);
        case Route::Page:
            return answerPage(self, c, r);
        case Route::Refused:
            break;
        }
        return answer(self, c, r, r->refusal, r->refusalText, false,
                      r->refusalHeader.empty() ? nullptr : r->refusalHeader.c_str(), r->refusalValue);
    }

    static void onCompleted(void* cls, MHD_Connection* c, void** context, MHD_RequestTerminationCode) {
        auto* self = static_cast<WebServer*>(cls);
        auto* r = static_cast<Request*>(*context);
        if (!r) return;
        *context = nullptr;
        int status = r->status;
        if (!status) {
            const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_HTTP_STATUS);
            if (info) status = static_cast<int>(info->http_status);
        }
        if (!r->logged) logRequest(r, status);
        if (r->whole) self->inFlight_--;
        self->uploadBytes_ -= r->reserved;
        if (r->begun) setBusy(self, r, false);
        delete r;
    }

    static void logRequest(Request* r, int status) {
        ::logRequest(r->client, r->method, r->path, status, r->note);
        r->logged = true;
    }
};

WebServer::WebServer(const WebOptions& options, ScoreBook& book)
    : options_(options), book_(book), limiter_(options.postsPerMinute, options.postBurst),
      gate_({options.threads, options.maxConnections, options.maxPerAddress},
            [this](int fd, const sockaddr* address, socklen_t size) {
                return MHD_add_connection(daemon_, fd, address, size) == MHD_YES;
            }) {}

bool WebServer::start(std::string* error) {
    // Connections come only from the Gate, over socket pairs.
    const unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME |
                           MHD_USE_NO_LISTEN_SOCKET | MHD_USE_ITC;
    daemon_ = MHD_start_daemon(
        flags, 0, nullptr, nullptr, &WebCallbacks::onRequest, this,
        MHD_OPTION_THREAD_POOL_SIZE, options_.threads,
        MHD_OPTION_CONNECTION_LIMIT, options_.maxConnections,
        // Silence while an answer is written. The reaper below bounds the
        // request, to the millisecond; the library counts whole seconds and
        // may cut up to one early, so it is given more.
        MHD_OPTION_CONNECTION_TIMEOUT, options_.requestTimeout + 2,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, static_cast<size_t>(16384),
        MHD_OPTION_URI_LOG_CALLBACK, &WebCallbacks::onUri, this,
        MHD_OPTION_NOTIFY_CONNECTION, &WebCallbacks::onConnection, this,
        MHD_OPTION_NOTIFY_COMPLETED, &WebCallbacks::onCompleted, this,
        MHD_OPTION_END);
    if (!daemon_) {
        *error = "cannot start libmicrohttpd";
        return false;
    }
    if (!gate_.start(options_.host, options_.port, error)) return false;
    reaping_ = true;
    reaper_ = std::thread(&WebServer::reapLoop, this);
    return true;
}

// A client gets requestTimeout seconds to send a whole request, counted from
// the connection's opening or its previous answer; then its socket is shut
// down, which the library sees as the client leaving. This also closes idle
// keep-alive connections.
void WebServer::reapLoop() {
    const auto limit = std::chrono::seconds(options_.requestTimeout);
    while (reaping_) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const auto now = Clock::now();
        std::lock_guard<std::mutex> lock(connMutex_);
        for (Conn* conn : conns_) {
            if (!conn->busy && !conn->cut && conn->fd >= 0 && now - conn->since > limit) {
                shutdown(conn->fd, SHUT_RDWR);
                conn->cut = true;
            }
        }
    }
}

void WebServer::stop() {
    if (!daemon_) return;
    gate_.quiesce();
    book_.stop();
    for (int i = 0; i < 200 && inFlight_ > 0; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    reaping_ = false;
    if (reaper_.joinable()) reaper_.join();
    MHD_stop_daemon(daemon_);
    daemon_ = nullptr;
    // The library's ends are closed: the Gate passes on the last answers.
    gate_.stop(1000);
}
