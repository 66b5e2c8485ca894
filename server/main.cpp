// bzykolot2-scores: the score server the game posts to and downloads its table
// from, which plays every uploaded round again before it lists its score. One
// process, plain HTTP, the scores in an SQLite file or a shared PostgreSQL
// database.
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "server/admin.h"
#include "server/checker.h"
#include "server/form.h"
#include "server/log.h"
#include "server/scorebook.h"
#include "server/store.h"
#include "server/web.h"

namespace {

const char* const usage =
    "Usage: bzykolot2-scores [OPTION]...\n"
    "\n"
    "Serves the Bzykolot 2 score table over plain HTTP:\n"
    "  POST /bzykolot4.php         store a signed score\n"
    "  GET|POST /bzykolot4.wtf     the table: best 10 by flies and by time\n"
    "  POST /replays               a round's recording, played again to check its score\n"
    "  GET /replays/ID             a checked round's recording\n"
    "  GET /                       the table as a web page\n"
    "\n"
    "  --listen ADDR:PORT       address to listen on (default 127.0.0.1:8642;\n"
    "                           port 0 picks a free port; [::1]:PORT for IPv6)\n"
    "  --db FILE|URL            SQLite database file, created if missing and owned\n"
    "                           by this process alone (default scores.db); or a\n"
    "                           PostgreSQL database, postgresql://USER@HOST/DB,\n"
    "                           which several servers may share\n"
    "  --post-rate N            posts one client may send a minute once its burst\n"
    "                           is spent (default 10; 0: no limit); more get 429\n"
    "  --post-burst N           posts one client may send at once (default 10)\n"
    "  --behind-proxy           behind a reverse proxy: the client's address is the\n"
    "                           last one in X-Forwarded-For\n"
    "  --request-timeout SEC    seconds a client has to send a whole request, from\n"
    "                           connecting or from its previous answer; idle\n"
    "                           connections are closed after it too (default 5)\n"
    "  --max-connections N      open connections in all (default 4000)\n"
    "  --max-per-address N      open connections from one client (default 32,\n"
    "                           or none with --behind-proxy; 0: no cap)\n"
    "  --threads N              threads answering connections (default 2)\n"
    "  --scores checked|any     list a post only once its recording matched\n"
    "                           (checked, the default), or every post (any)\n"
    "  --data DIR               the game data recordings are played with, every\n"
    "                           gfx*.pkf in DIR (default " BZK_DATA_DIR ");\n"
    "                           may be given more than once\n"
    "  --verify-threads N       rounds played again at once (default 1; 0: none,\n"
    "                           for a server that leaves them to others)\n"
    "  --max-round-minutes N    longer recordings are refused (default 60)\n"
    "  --queue-per-address N    recordings of one client that may wait to be\n"
    "                           checked (default 4); more get 429\n"
    "  --recording-wait SEC     a post without a recording after this long has the\n"
    "                           reason stored and logged (default 86400)\n"
    "  --admin-socket PATH      where the admin's commands reach this server (for\n"
    "                           an SQLite file, default FILE.admin; \"\" for none)\n"
    "  --help                   this text\n"
    "\n"
    "bzykolot2-scores list|remove|backup: the admin's commands (see --help after them).\n"
    "\n"
    "A client is an IPv4 address or an IPv6 /64 network. Prints \"listening on\n"
    "ADDR:PORT\" once ready, then one line per request.\n";

struct Options {
    WebOptions web;
    std::string db = "scores.db";
    std::string adminSocket;
    bool adminSocketGiven = false;
    bool perAddressGiven = false;
    bool checkedOnly = true;
    std::vector<std::string> dataDirs;  // none given: BZK_DATA_DIR
    unsigned verifyThreads = 1;
    unsigned queuePerAddress = 4;
    unsigned recordingWait = 86400;
};

// "ADDR:PORT", the address possibly in brackets (IPv6). False when malformed.
bool parseListen(const std::string& arg, WebOptions* opt) {
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

// A count option's value into `out`, at most `most`; false when malformed.
bool parseNumber(const std::string& text, unsigned most, unsigned* out) {
    int32_t value;
    if (!parseCount(text, &value) || static_cast<unsigned>(value) > most) return false;
    *out = static_cast<unsigned>(value);
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
        if (a == "--behind-proxy") {
            opt->web.behindProxy = true;
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "bzykolot2-scores: unknown or incomplete option: %s\n\n%s", a.c_str(), usage);
            return 2;
        }
        std::string v = argv[++i];
        // Count options: the value's range and where it goes.
        struct Count {
            const char* name;
            unsigned least, most;
            unsigned* into;
        };
        const Count counts[] = {
            {"--post-rate", 0, 1000000, &opt->web.postsPerMinute},
            {"--post-burst", 1, 1000000, &opt->web.postBurst},
            {"--request-timeout", 1, 3600, &opt->web.requestTimeout},
            {"--max-connections", 1, 1000000, &opt->web.maxConnections},
            {"--max-per-address", 0, 1000000, &opt->web.maxPerAddress},
            {"--threads", 1, 256, &opt->web.threads},
            {"--verify-threads", 0, 64, &opt->verifyThreads},
            {"--max-round-minutes", 1, 1440, &opt->web.maxRoundMinutes},
            {"--queue-per-address", 1, 1000000, &opt->queuePerAddress},
            {"--recording-wait", 1, 100000000, &opt->recordingWait},
        };
        const Count* count = nullptr;
        for (const Count& c : counts)
            if (a == c.name) count = &c;
        bool ok = true;
        if (a == "--db") {
            opt->db = v;
        } else if (a == "--admin-socket") {
            opt->adminSocket = v;
            opt->adminSocketGiven = true;
        } else if (a == "--data") {
            opt->dataDirs.push_back(v);
        } else if (a == "--scores") {
            ok = v == "checked" || v == "any";
            opt->checkedOnly = v != "any";
        } else if (a == "--listen") {
            ok = parseListen(v, &opt->web);
        } else if (count) {
            ok = parseNumber(v, count->most, count->into) && *count->into >= count->least;
            opt->perAddressGiven = opt->perAddressGiven || a == "--max-per-address";
        } else {
            std::fprintf(stderr, "bzykolot2-scores: unknown option: %s\n\n%s", a.c_str(), usage);
            return 2;
        }
        if (!ok) {
            std::fprintf(stderr, "bzykolot2-scores: bad %s value: %s\n", a.c_str(), v.c_str());
            return 2;
        }
    }
    // Behind a proxy every connection comes from the proxy.
    if (opt->web.behindProxy && !opt->perAddressGiven) opt->web.maxPerAddress = 0;
    if (opt->dataDirs.empty()) opt->dataDirs.push_back(BZK_DATA_DIR);
    if (!opt->adminSocketGiven) opt->adminSocket = adminSocketFor(opt->db);
    return 0;
}

// Every open connection is three descriptors (the client's socket and the
// pair relaying it): raise the soft limit as far as allowed, and keep the
// connection cap under it.
void fitDescriptorLimit(WebOptions* web) {
    rlimit lim;
    if (getrlimit(RLIMIT_NOFILE, &lim) != 0) return;
    const rlim_t want = 3 * rlim_t{web->maxConnections} + 64;
    if (lim.rlim_cur < want) {
        lim.rlim_cur = lim.rlim_max == RLIM_INFINITY || lim.rlim_max > want ? want : lim.rlim_max;
        setrlimit(RLIMIT_NOFILE, &lim);
        getrlimit(RLIMIT_NOFILE, &lim);
    }
    if (lim.rlim_cur < want) {
        web->maxConnections = lim.rlim_cur > 256 ? static_cast<unsigned>((lim.rlim_cur - 64) / 3) : 64;
        logLine("at most %u connections: the descriptor limit is %llu\n", web->maxConnections,
                static_cast<unsigned long long>(lim.rlim_cur));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && isAdminCommand(argv[1])) return adminMain(argc, argv);
    Options opt;
    int code = parseArgs(argc, argv, &opt);
    if (code) return code < 0 ? 0 : code;

    // Termination signals are taken by sigwait below, so a request in flight
    // finishes its commit and answer first. Threads started later inherit the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    // The game data, then the processes that play rounds with it: forked
    // before the store is open and before any thread exists.
    std::string error;
    GamePacks packs;
    const auto logPack = [](const std::string& path, const std::string& digest, const std::string& why) {
        if (digest.empty()) logLine("game data %s skipped: %s\n", path.c_str(), why.c_str());
        else logLine("game data %s from %s\n", digest.c_str(), path.c_str());
    };
    for (const std::string& dir : opt.dataDirs)
        if (!packs.addDir(dir, &error, logPack)) logLine("game data: %s\n", error.c_str());
    if (!packs.size()) logLine("no game data (gfx*.pkf): every recording is refused as unknown game data\n");
    CheckHelpers helpers;
    if (!helpers.start(opt.verifyThreads, packs, &error)) {
        std::fprintf(stderr, "bzykolot2-scores: cannot start the checkers: %s\n", error.c_str());
        return 1;
    }
    opt.web.packs = &packs;

    std::unique_ptr<ScoreStore> store = openStore(opt.db, &error);
    if (!store) {
        std::fprintf(stderr, "bzykolot2-scores: cannot open database %s: %s\n", opt.db.c_str(), error.c_str());
        return 1;
    }
    const long long stored = store->count();
    logLine("%s\n", store->queueSummary().c_str());
    ScoreBook book(*store, opt.checkedOnly, static_cast<int>(opt.queuePerAddress));
    CheckerOptions checks;
    checks.threads = opt.verifyThreads;
    checks.recordingWait = opt.recordingWait;
    Checker checker(*store, helpers, checks, [&book] { book.refresh(true); });
    if (!book.start(&error, [&checker] { checker.wake(); })) {
        std::fprintf(stderr, "bzykolot2-scores: cannot read the table: %s\n", error.c_str());
        return 1;
    }
    fitDescriptorLimit(&opt.web);
    WebServer web(opt.web, book);
    if (!web.start(&error)) {
        std::fprintf(stderr, "bzykolot2-scores: cannot listen on %s:%d: %s\n", opt.web.host.c_str(),
                     opt.web.port, error.c_str());
        return 1;
    }
    AdminSocket admin(*store, [&book] { book.refresh(true); });
    if (!opt.adminSocket.empty() && !admin.start(opt.adminSocket, &error))
        logLine("no admin socket: %s\n", error.c_str());
    const std::string& host = opt.web.host;
    std::string where = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    checker.start();
    logLine("listening on %s:%d, database %s, %lld scores\n", where.c_str(), web.port(),
            store->where().c_str(), stored);

    int sig = 0;
    sigwait(&stopSignals, &sig);
    // The rounds in play go back to the queue; then the requests in hand are answered.
    checker.stop();
    admin.stop();
    web.stop();
    logLine("stopped\n");
    return 0;
}
