// scoreload: a load tool for the score server. N clients, each on its own
// keep-alive connection, send table requests or valid signed posts (distinct
// nicks) for T seconds, each as fast as it can or at a steady rate, then one
// line sums them up:
//   requests=N ok=N errors=N rps=R p50_ms=X p99_ms=Y
#include <httplib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "base/signature.h"
#include "server/form.h"

namespace {

const char* const usage =
    "Usage: scoreload URL --clients N --seconds T (--get | --post) [--rate R] [--ok-log FILE]\n"
    "\n"
    "  URL            the score server, http://HOST:PORT\n"
    "  --clients N    connections sending at once, one request after another\n"
    "  --seconds T    how long to send\n"
    "  --get          ask for the table\n"
    "  --post         post valid signed scores, every one with its own nick\n"
    "  --rate R       requests a second from each client, evenly spaced (default: at once)\n"
    "  --ok-log FILE  with --post: one line \"nick flies time\" per post answered 200\n";

struct Options {
    std::string host;
    int port = 80;
    int clients = 0, seconds = 0;
    double rate = 0;  // requests a second per client; 0: one after another
    bool get = false, post = false;
    std::string okLog;
};

struct Tally {
    long requests = 0, ok = 0;
    std::map<int, long> statuses;  // answers other than 200; -1: no answer
    std::vector<double> latencies;  // milliseconds
    std::string okLines;
};

bool parseUrl(const std::string& url, Options* opt) {
    const std::string scheme = "http://";
    if (url.rfind(scheme, 0) != 0) return false;
    std::string rest = url.substr(scheme.size());
    rest = rest.substr(0, rest.find('/'));
    size_t colon = rest.rfind(':');
    if (colon != std::string::npos && rest.find(']', colon) == std::string::npos) {
        opt->port = std::atoi(rest.substr(colon + 1).c_str());
        rest = rest.substr(0, colon);
    }
    if (rest.size() > 2 && rest.front() == '[' && rest.back() == ']') rest = rest.substr(1, rest.size() - 2);
    opt->host = rest;
    return !rest.empty() && opt->port > 0 && opt->port < 65536;
}

bool parseArgs(int argc, char** argv, Options* opt) {
    if (argc < 2 || !parseUrl(argv[1], opt)) return false;
    for (int i = 2; i < argc; i++) {
        std::string a = argv[i];
        if (a == "--get") opt->get = true;
        else if (a == "--post") opt->post = true;
        else if (i + 1 >= argc) return false;
        else if (a == "--clients") opt->clients = std::atoi(argv[++i]);
        else if (a == "--seconds") opt->seconds = std::atoi(argv[++i]);
        else if (a == "--ok-log") opt->okLog = argv[++i];
        else if (a == "--rate") opt->rate = std::atof(argv[++i]);
        else return false;
    }
    return opt->clients > 0 && opt->seconds > 0 && opt->get != opt->post && (opt->okLog.empty() || opt->post);
}

// A valid score for post k of client c: a nick of its own and a number of
// flies well within what a round of that length can yield.
Score nthScore(const std::string& run, int c, long k) {
    Score s;
    s.nick = "L" + run + "c" + std::to_string(c) + "n" + std::to_string(k);
    s.time = static_cast<int32_t>(600 + (k * 7919 + c * 104729) % 100000);
    s.flies = s.time / 20;
    return s;
}

void runClient(const Options& opt, const std::string& run, int c,
               std::chrono::steady_clock::time_point end, Tally* t) {
    httplib::Client cli(opt.host, opt.port);
    cli.set_keep_alive(true);
    cli.set_tcp_nodelay(true);
    cli.set_connection_timeout(5);
    cli.set_read_timeout(15);
    const auto first = std::chrono::steady_clock::now();
    for (long k = 0; std::chrono::steady_clock::now() < end; k++) {
        // Latency counts from the request's own time, not from when a late one went out.
        if (opt.rate > 0) std::this_thread::sleep_until(first + std::chrono::duration<double>(k / opt.rate));
        const Score score = nthScore(run, c, k);
        const auto start = std::chrono::steady_clock::now();
        auto res = opt.get ? cli.Get("/bzykolot4.wtf")
                           : cli.Post("/bzykolot4.php", scoreBody(score.flies, score.nick, score.time), "application/x-www-form-urlencoded");
        const auto done = std::chrono::steady_clock::now();
        t->requests++;
        t->latencies.push_back(std::chrono::duration<double, std::milli>(done - start).count());
        const int status = res ? res->status : -1;
        if (status == 200) {
            t->ok++;
            if (opt.post)
                t->okLines += score.nick + " " + std::to_string(score.flies) + " " + std::to_string(score.time) + "\n";
        } else {
            t->statuses[status]++;
            // A refused connection fails at once: do not spin on it.
            if (!res) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    if (!parseArgs(argc, argv, &opt)) {
        std::fputs(usage, stderr);
        return 2;
    }
    // Nicks of this run differ from those of earlier runs on the same database.
    char run[16];
    std::snprintf(run, sizeof run, "%lx", static_cast<unsigned long>(time(nullptr) ^ (getpid() << 16)) & 0xffffffUL);

    std::vector<Tally> tallies(static_cast<size_t>(opt.clients));
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::seconds(opt.seconds);
    std::vector<std::thread> threads;
    for (int c = 0; c < opt.clients; c++)
        threads.emplace_back(runClient, std::cref(opt), std::string(run), c, end, &tallies[static_cast<size_t>(c)]);
    for (auto& th : threads) th.join();
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    Tally all;
    for (Tally& t : tallies) {
        all.requests += t.requests;
        all.ok += t.ok;
        for (auto& [status, n] : t.statuses) all.statuses[status] += n;
        all.latencies.insert(all.latencies.end(), t.latencies.begin(), t.latencies.end());
        all.okLines += t.okLines;
    }
    if (!opt.okLog.empty()) std::ofstream(opt.okLog, std::ios::binary) << all.okLines;
    for (auto& [status, n] : all.statuses) {
        if (status < 0) std::printf("no answer: %ld\n", n);
        else std::printf("status %d: %ld\n", status, n);
    }
    std::sort(all.latencies.begin(), all.latencies.end());
    auto percentile = [&](double p) {
        return all.latencies.empty() ? 0.0 : all.latencies[static_cast<size_t>(p * (all.latencies.size() - 1))];
    };
    std::printf("requests=%ld ok=%ld errors=%ld rps=%.0f p50_ms=%.2f p99_ms=%.2f\n", all.requests, all.ok,
                all.requests - all.ok, all.requests / elapsed, percentile(0.5), percentile(0.99));
    return 0;
}
