// The HTTP side of the score server, on libmicrohttpd behind the Gate (which
// accepts the connections and checks each request head first): threads each
// watching many connections with epoll, so a slow or idle client holds a
// socket, never a worker. The routes:
//   POST /bzykolot4.php       store a signed score
//   GET|POST /bzykolot4.wtf   the table
//   POST /replays             a round's recording, to be played again
//   GET /replays/ID           a matched recording
//   GET / (/index.html)       the table as a web page
// and one log line per request: "TIME ADDRESS METHOD PATH STATUS[ NOTE]".
#pragma once
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>

#include "server/gate.h"
#include "server/limits.h"
#include "world/packs.h"
#include "server/scorebook.h"

struct MHD_Daemon;
struct MHD_Connection;

struct WebOptions {
    std::string host = "127.0.0.1";
    int port = 8642;               // 0 picks a free one
    unsigned threads = 2;          // threads answering connections
    unsigned maxConnections = 4000;
    unsigned maxPerAddress = 32;   // per client: an IPv4 address or an IPv6 /64; 0: no cap
    unsigned requestTimeout = 5;   // seconds to send a whole request
    unsigned postsPerMinute = 10;  // after the burst; 0: no limit
    unsigned postBurst = 10;
    bool behindProxy = false;      // the client is the last X-Forwarded-For address
    const GamePacks* packs = nullptr;  // the game data uploads are checked against
    unsigned maxRoundMinutes = 60;     // a longer recording is refused before it is played
};

class WebServer {
public:
    WebServer(const WebOptions& options, ScoreBook& book);
    ~WebServer() { stop(); }
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Listens and serves on its own threads; false with the reason.
    bool start(std::string* error);
    int port() const { return gate_.port(); }
    // Takes no new connection, answers the requests in hand (stopping the
    // book, so its queued posts are committed first), then closes everything.
    void stop();

    // One connection as the request deadline sees it.
    struct Conn {
        int fd;
        std::chrono::steady_clock::time_point since;  // accepted, or its last answer sent
        bool busy = false;  // a whole request is in hand: no deadline until it is answered
        bool cut = false;
    };

private:
    friend struct WebCallbacks;
    void reapLoop();

    WebOptions options_;
    ScoreBook& book_;
    PostLimiter limiter_;
    Gate gate_;
    MHD_Daemon* daemon_ = nullptr;
    std::atomic<int> inFlight_{0};  // requests read whole and not yet answered
    std::atomic<uint64_t> uploadBytes_{0};  // bytes of the recordings being received, as their heads state
    std::mutex connMutex_;          // guards conns_ and every Conn in it
    std::unordered_set<Conn*> conns_;
    std::atomic<bool> reaping_{false};
    std::thread reaper_;
};
