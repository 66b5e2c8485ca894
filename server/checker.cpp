#include "server/checker.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <random>

#include "base/replay.h"
#include "server/fdio.h"
#include "server/log.h"
#include "world/roundplay.h"

namespace {

// Memory a round's process may take beyond what it was forked with: the
// longest round's world is a few megabytes.
const rlim_t roundMemory = rlim_t{512} << 20;

std::string framed(const std::string& text) {
    const uint32_t size = static_cast<uint32_t>(text.size());
    return std::string(reinterpret_cast<const char*>(&size), 4) + text;
}

// The bytes of data memory this process has mapped (VmData), 0 when unknown.
rlim_t dataInUse() {
    std::ifstream status("/proc/self/status");
    std::string key;
    for (rlim_t kb; status >> key;)
        if (key == "VmData:" && status >> kb) return kb << 10;
    return 0;
}

// A round's own process: the lowest priority, `cpuSeconds` of processor time,
// bounded memory; the round's result, or why it has none, to `out`.
[[noreturn]] void playRound(int out, const std::string& bytes, int cpuSeconds, const GamePacks& packs) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    const sched_param idle{0};
    sched_setscheduler(0, SCHED_IDLE, &idle);
    const rlimit cpu{rlim_t(cpuSeconds), rlim_t(cpuSeconds) + 1}, core{0, 0};
    const rlim_t most = dataInUse() + roundMemory;
    const rlimit data{most, most};
    setrlimit(RLIMIT_CPU, &cpu);
    setrlimit(RLIMIT_CORE, &core);
    setrlimit(RLIMIT_DATA, &data);
    std::string result, why;
    try {
        Replay r;
        const PackSheets* pack = nullptr;
        if (!decodeReplay(bytes, r, &why)) {
            result = "refused: not a recording: " + why;
        } else if (!(pack = packs.find(r.gfxDigest))) {
            result = "refused: unknown game data";
        } else {
            const ReplayCheck c = checkReplay(r, *pack);
            result = c.match ? "matched" : "mismatch: " + c.difference;
        }
    } catch (const std::bad_alloc&) {
        result = "refused: the check ran out of memory";
    }
    writeAll(out, result);
    _exit(0);
}

// Plays one round in a process of its own and says how it went.
std::string playForked(const std::string& bytes, int cpuSeconds, const GamePacks& packs) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return "refused: no pipe for the check";
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        playRound(pipeFds[1], bytes, cpuSeconds, packs);
    }
    close(pipeFds[1]);
    std::string text;
    char buf[512];
    for (ssize_t n; pid > 0 && (n = read(pipeFds[0], buf, sizeof buf)) != 0;)
        if (n > 0) text.append(buf, static_cast<size_t>(n));
        else if (errno != EINTR) break;
    close(pipeFds[0]);
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return "refused: the check could not start";
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && !text.empty()) return text;
    if (WIFSIGNALED(status) && (WTERMSIG(status) == SIGXCPU || WTERMSIG(status) == SIGKILL))
        return "refused: the check used up its " + std::to_string(cpuSeconds) + " s of processor time";
    return "refused: the check failed (" +
           (WIFSIGNALED(status) ? "signal " + std::to_string(WTERMSIG(status))
                                : "exit status " + std::to_string(WEXITSTATUS(status))) +
           ")";
}

// A helper: reads jobs (processor seconds, size, bytes) from `fd` and answers
// each with its result, until the server closes its end or goes.
[[noreturn]] void helperMain(int fd, pid_t server, const GamePacks& packs) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != server) _exit(0);
    setpriority(PRIO_PROCESS, 0, 19);
    for (;;) {
        uint32_t head[2];
        std::string bytes;
        if (!readAll(fd, reinterpret_cast<char*>(head), sizeof head) || head[1] > kMaxReplayBytes) _exit(0);
        bytes.resize(head[1]);
        if (!readAll(fd, bytes.data(), bytes.size())) _exit(0);
        if (!writeAll(fd, framed(playForked(bytes, static_cast<int>(head[0]), packs)))) _exit(0);
    }
}

}  // namespace

bool CheckHelpers::start(unsigned count, const GamePacks& packs, std::string* error) {
    const pid_t server = getpid();
    for (unsigned i = 0; i < count; i++) {
        int pair[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
            return *error = std::string("socketpair: ") + strerror(errno), false;
        const pid_t pid = fork();
        if (pid == 0) {
            close(pair[0]);
            for (const Helper& h : helpers_) close(h.fd);
            helperMain(pair[1], server, packs);
        }
        close(pair[1]);
        if (pid < 0) {
            close(pair[0]);
            return *error = std::string("fork: ") + strerror(errno), false;
        }
        helpers_.push_back({pid, pair[0]});
    }
    return true;
}

std::string CheckHelpers::play(unsigned index, const std::string& bytes, int cpuSeconds,
                               const std::atomic<bool>& stop, const std::function<void()>& meanwhile) {
    Helper& h = helpers_.at(index);
    const uint32_t head[2] = {static_cast<uint32_t>(cpuSeconds), static_cast<uint32_t>(bytes.size())};
    std::string reply;
    bool gone = h.fd < 0 || !writeAll(h.fd, std::string(reinterpret_cast<const char*>(head), sizeof head) + bytes);
    while (!gone && !stop) {
        uint32_t size = 0;
        if (reply.size() >= 4 && reply.size() - 4 >= (memcpy(&size, reply.data(), 4), size)) return reply.substr(4, size);
        pollfd p{h.fd, POLLIN, 0};
        if (poll(&p, 1, 250) > 0) {
            char buf[512];
            const ssize_t n = read(h.fd, buf, sizeof buf);
            if (n > 0) reply.append(buf, static_cast<size_t>(n));
            else if (n == 0 || errno != EINTR) gone = true;
        }
        meanwhile();
    }
    // Stopping, or the helper is gone: the round is not played here.
    if (h.pid > 0) kill(h.pid, SIGKILL), waitpid(h.pid, nullptr, 0);
    if (h.fd >= 0) close(h.fd);
    h = Helper();
    return "";
}

void CheckHelpers::stop() {
    for (Helper& h : helpers_) {
        if (h.pid > 0) kill(h.pid, SIGKILL), waitpid(h.pid, nullptr, 0);
        if (h.fd >= 0) close(h.fd);
        h = Helper();
    }
}

Checker::Checker(ScoreStore& store, CheckHelpers& helpers, const CheckerOptions& options,
                 std::function<void()> listed)
    : store_(store), helpers_(helpers), options_(options), listed_(std::move(listed)) {
    char host[256] = "?";
    gethostname(host, sizeof host - 1);
    owner_ = std::string(host) + ":" + std::to_string(getpid()) + ":" + std::to_string(std::random_device()() % 100000);
}

void Checker::start() {
    for (unsigned i = 0; i < options_.threads; i++) threads_.emplace_back(&Checker::work, this, i);
    if (options_.sweep) threads_.emplace_back(&Checker::sweepLoop, this);
}

void Checker::wake() {
    std::lock_guard<std::mutex> lock(mutex_);
    woken_ = true;
    wake_.notify_all();
}

void Checker::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        wake_.notify_all();
    }
    for (std::thread& t : threads_) t.join();
    threads_.clear();
}

void Checker::idle(double seconds) {
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return woken_ || stopping_; });
    woken_ = false;
}

void Checker::work(unsigned index) {
    while (!stopping_) {
        Claim claim;
        std::string error;
        if (store_.claim(owner_, options_.leaseSeconds, &claim, &error)) {
            if (check(index, claim)) continue;
            if (!stopping_) logLine("checker %u stopped: its helper process is gone\n", index);
            return;
        }
        if (!error.empty()) logLine("database error: %s\n", error.c_str());
        idle(1.0);
    }
}

bool Checker::check(unsigned index, const Claim& claim) {
    using Clock = std::chrono::steady_clock;
    logLine("recording %lld: checking %d frames\n", static_cast<long long>(claim.id), claim.frames);
    // Never more processor time than the round lasted: 16 ms a frame.
    const int cpuSeconds = static_cast<int>(claim.frames * 16LL / 1000) + 10;
    const auto renewEvery = std::chrono::milliseconds(options_.leaseSeconds * 1000 / 3);
    const auto began = Clock::now();
    auto renewAt = began + renewEvery;
    const std::string result = helpers_.play(index, claim.bytes, cpuSeconds, stopping_, [&] {
        if (Clock::now() < renewAt) return;
        renewAt = Clock::now() + renewEvery;
        if (!store_.renew(claim.id, owner_, options_.leaseSeconds))
            logLine("recording %lld: lease lost while checking\n", static_cast<long long>(claim.id));
    });
    if (result.empty()) {
        store_.release(claim.id, owner_);
        logLine("recording %lld: check interrupted, back in the queue\n", static_cast<long long>(claim.id));
        return false;
    }
    const size_t colon = result.find(": ");
    const std::string state = result.substr(0, colon);
    const std::string reason = colon == std::string::npos ? "" : result.substr(colon + 2);
    bool listed = false;
    std::string post, error;
    if (!store_.finish(claim.id, owner_, state, reason, &listed, &post, &error)) {
        logLine("recording %lld: %s, not stored: %s\n", static_cast<long long>(claim.id), result.c_str(), error.c_str());
        return true;
    }
    // The table is fresh before the line says so: whoever reads the log may ask for it at once.
    if (listed) listed_();
    logLine("recording %lld (%s): %s%s in %.2f s\n", static_cast<long long>(claim.id), post.c_str(), result.c_str(),
            listed ? ", listed" : "", std::chrono::duration<double>(Clock::now() - began).count());
    return true;
}

void Checker::sweepLoop() {
    const double every = std::clamp(options_.recordingWait / 10.0, 1.0, 60.0);
    while (!stopping_) {
        std::string error;
        for (const Score& s : store_.expireWaiting(options_.recordingWait, &error))
            logLine("post %s %d %d not listed: no recording within %lld s of the post\n", s.nick.c_str(), s.flies,
                    s.time, options_.recordingWait);
        if (!error.empty()) logLine("database error: %s\n", error.c_str());
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait_for(lock, std::chrono::duration<double>(every), [this] { return stopping_.load(); });
    }
}
