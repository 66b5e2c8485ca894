// bzykolot2-scores: the score server the game posts to and downloads its table
// from. One process, one SQLite file, plain HTTP.
#include <httplib.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>

#include "server/form.h"
#include "server/store.h"

namespace {

const char* const usage =
    "Usage: bzykolot2-scores [--listen ADDR:PORT] [--db FILE]\n"
    "\n"
    "Serves the Bzykolot 2 score table over plain HTTP:\n"
    "  POST /bzykolot4.php         store a signed score\n"
    "  GET|POST /bzykolot4.wtf     the table: best 10 by flies and by time\n"
    "\n"
    "  --listen ADDR:PORT  address to listen on (default 127.0.0.1:8642;\n"
    "                      port 0 picks a free port; [::1]:PORT for IPv6)\n"
    "  --db FILE           SQLite database, created if missing (default scores.db)\n"
    "  --help              this text\n"
    "\n"
    "Prints \"listening on ADDR:PORT\" once ready, then one line per request.\n";

// Bounds that keep one slow or greedy client from holding a worker.
const size_t maxBody = 4096;  // bytes; a larger body is answered 413
const time_t ioTimeout = 5;   // seconds of silence before a connection is cut

struct Options {
    std::string host = "127.0.0.1";
    int port = 8642;
    std::string db = "scores.db";
};

std::mutex logMutex;

void logLine(const char* fmt, const std::string& a) {
    std::lock_guard<std::mutex> lock(logMutex);
    std::printf(fmt, a.c_str());
    std::fflush(stdout);
}

void logRequest(const httplib::Request& req, const httplib::Response& res) {
    char stamp[32];
    time_t now = time(nullptr);
    struct tm tm;
    gmtime_r(&now, &tm);
    strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &tm);
    std::lock_guard<std::mutex> lock(logMutex);
    // A request cut off inside its request line has no address or method yet.
    auto orDash = [](const std::string& s) { return s.empty() ? "-" : s.c_str(); };
    std::printf("%s %s %s %s %d\n", stamp, orDash(req.remote_addr), orDash(req.method),
                orDash(req.path), res.status);
    std::fflush(stdout);
}

// "ADDR:PORT", the address possibly in brackets (IPv6). False when malformed.
bool parseListen(const std::string& arg, Options* opt) {
    size_t colon = arg.rfind(':');
    if (colon == std::string::npos || colon == 0) return false;
    std::string host = arg.substr(0, colon);
    std::string port = arg.substr(colon + 1);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    int32_t value;
    if (host.empty() || !parseCount(port, &value) || value > 65535) return false;
    opt->host = host;
    opt->port = value;
    return true;
}

// 0 to go on, otherwise the exit code (after --help or a bad option).
int parseArgs(int argc, char** argv, Options* opt) {
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(usage, stdout);
            return -1;
        }
        if ((a == "--listen" || a == "--db") && i + 1 < argc) {
            std::string v = argv[++i];
            if (a == "--db") {
                opt->db = v;
            } else if (!parseListen(v, opt)) {
                std::fprintf(stderr, "bzykolot2-scores: bad --listen value: %s\n", v.c_str());
                return 2;
            }
            continue;
        }
        std::fprintf(stderr, "bzykolot2-scores: unknown or incomplete option: %s\n\n%s",
                     a.c_str(), usage);
        return 2;
    }
    return 0;
}

bool isFormType(const httplib::Request& req) {
    if (!req.has_header("Content-Type")) return true;  // a bare body is read as a form
    std::string type = req.get_header_value("Content-Type");
    type = type.substr(0, type.find(';'));
    while (!type.empty() && type.back() == ' ') type.pop_back();
    for (char& c : type) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return type == "application/x-www-form-urlencoded";
}

void setRoutes(httplib::Server& svr, ScoreStore& store) {
    svr.Post("/bzykolot4.php", [&store](const httplib::Request& req, httplib::Response& res) {
        Verdict v;
        if (!isFormType(req)) {
            v.message = "Zly typ tresci";
        } else {
            v = checkScore(req.body);
        }
        if (v.status == 200) {
            std::string error;
            // Stored and synced before the answer leaves, or not answered 200.
            if (!store.add(v.score, &error)) {
                logLine("database error: %s\n", error);
                v.status = 500;
                v.message = "Blad bazy";
            }
        }
        res.status = v.status;
        res.set_content(v.message + "\n", "text/plain; charset=utf-8");
    });
    svr.Get("/bzykolot4.php", [](const httplib::Request&, httplib::Response& res) {
        res.status = 405;
        res.set_header("Allow", "POST");
        res.set_content("Tylko POST\n", "text/plain; charset=utf-8");
    });
    auto table = [&store](const httplib::Request&, httplib::Response& res) {
        std::string text, error;
        if (!store.table(&text, &error)) {
            logLine("database error: %s\n", error);
            res.status = 500;
            res.set_content("Blad bazy\n", "text/plain; charset=utf-8");
            return;
        }
        res.set_content(text, "text/plain; charset=utf-8");
    };
    // The game's download after a post still carries the post's option and goes
    // out as a POST with an empty body; both must get the table.
    svr.Get("/bzykolot4.wtf", table);
    svr.Post("/bzykolot4.wtf", table);
    svr.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty())
            res.set_content(std::to_string(res.status) + "\n", "text/plain; charset=utf-8");
    });
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    int code = parseArgs(argc, argv, &opt);
    if (code) return code < 0 ? 0 : code;

    ScoreStore store;
    std::string error;
    if (!store.open(opt.db, &error)) {
        std::fprintf(stderr, "bzykolot2-scores: cannot open database %s: %s\n", opt.db.c_str(),
                     error.c_str());
        return 1;
    }

    // Termination signals are taken by one thread that stops the server, so a
    // request in flight finishes its commit and answer first.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    httplib::Server svr;
    svr.set_payload_max_length(maxBody);
    svr.set_read_timeout(ioTimeout, 0);
    svr.set_write_timeout(ioTimeout, 0);
    svr.set_keep_alive_timeout(ioTimeout);
    svr.set_logger(logRequest);
    setRoutes(svr, store);

    int port = opt.port;
    if (port == 0) {
        port = svr.bind_to_any_port(opt.host);
        if (port < 0) port = 0;
    } else if (!svr.bind_to_port(opt.host, port)) {
        port = 0;
    }
    if (port == 0) {
        std::fprintf(stderr, "bzykolot2-scores: cannot listen on %s:%d\n", opt.host.c_str(),
                     opt.port);
        return 1;
    }

    std::atomic<bool> ended{false};
    std::thread stopper([&svr, &stopSignals, &ended] {
        int sig = 0;
        sigwait(&stopSignals, &sig);
        // stop() does nothing before the server runs: a signal that arrives
        // during start-up waits for it, so it is never lost.
        while (!ended && !svr.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        svr.stop();
    });
    std::string where = opt.host.find(':') != std::string::npos ? "[" + opt.host + "]" : opt.host;
    std::printf("listening on %s:%d, database %s, %lld scores\n", where.c_str(), port,
                opt.db.c_str(), store.count());
    std::fflush(stdout);

    bool ok = svr.listen_after_bind();
    ended = true;
    // Wake the stopper if the server ended on its own.
    pthread_kill(stopper.native_handle(), SIGTERM);
    stopper.join();
    std::printf("stopped\n");
    std::fflush(stdout);
    return ok ? 0 : 1;
}
