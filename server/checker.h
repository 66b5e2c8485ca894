// Playing uploaded rounds again with the game's own rules, before their posts
// are listed.
//
// The rules keep a round's state in process globals, so one process plays one
// round at a time; and a recording comes from anyone. Each round is therefore
// played in a process of its own, made for it and gone after it: at the
// lowest CPU priority, with the processor time the round itself lasted (plus
// a margin) and a bounded amount of memory more than the server's. These
// processes are forked by helpers that the server forks at start, before it
// has a thread, a socket or its database open: a fork of the threaded server
// could inherit a lock another thread held (the sanitizers' allocator has no
// fork handler), and would hold the clients' sockets open.
//
// Worker threads take rounds from the queue in the store under a lease they
// renew while the round plays; a server that stops puts its rounds back, and
// one that dies leaves them to whoever finds the lease run out.
#pragma once
#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "world/packs.h"
#include "server/store.h"

// The processes that play rounds: each helper forks one process per round.
// Start them before any thread; they end with the server (or with stop()).
class CheckHelpers {
public:
    // Forks `count` helpers, which play rounds against `packs`. False with the
    // reason when one cannot be made.
    bool start(unsigned count, const GamePacks& packs, std::string* error);
    // Plays one recording on helper `index`, allowing it `cpuSeconds` of
    // processor time: "matched", "mismatch: WHY" or "refused: WHY". Gives up
    // and answers "" when `stop` is set or the helper is gone.
    std::string play(unsigned index, const std::string& bytes, int cpuSeconds, const std::atomic<bool>& stop,
                     const std::function<void()>& meanwhile);
    // Ends every helper (and the round it plays).
    void stop();
    ~CheckHelpers() { stop(); }

private:
    struct Helper {
        pid_t pid = -1;
        int fd = -1;  // the helper's end of a socket pair: jobs out, results in
    };
    std::vector<Helper> helpers_;
};

struct CheckerOptions {
    unsigned threads = 1;             // rounds played at once
    int leaseSeconds = 10;            // a claimed round is another server's after this without renewal
    long long recordingWait = 86400;  // seconds a post waits for its recording before its reason is stored
    bool sweep = true;                // store the reason of posts whose recording never came
};

class Checker {
public:
    // `listed` is called after a check listed a post.
    Checker(ScoreStore& store, CheckHelpers& helpers, const CheckerOptions& options, std::function<void()> listed);
    ~Checker() { stop(); }
    Checker(const Checker&) = delete;
    Checker& operator=(const Checker&) = delete;

    void start();
    // A round was queued here: a worker takes it at once rather than at its next look.
    void wake();
    // Interrupts the rounds in play, puts them back in the queue, ends the threads.
    void stop();

private:
    void work(unsigned index);
    // Plays a claimed round and stores how it went; false when it could not
    // be played (stopping, or the helper is gone) and went back to the queue.
    bool check(unsigned index, const Claim& claim);
    void sweepLoop();
    // Waits up to `seconds` or until woken or stopping.
    void idle(double seconds);

    ScoreStore& store_;
    CheckHelpers& helpers_;
    CheckerOptions options_;
    std::function<void()> listed_;
    std::string owner_;  // this server, as the leases name it
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;   // for wake_
    std::condition_variable wake_;
    bool woken_ = false;
    std::vector<std::thread> threads_;
};
