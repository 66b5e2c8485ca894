#include "server/gate.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>

#include "server/head.h"
#include "server/limits.h"
#include "server/log.h"

namespace {

const size_t relayMost = 65536;  // bytes held for one side before the other is read no more
const uint64_t listenTag = 0;    // epoll data of the listening socket; a link's is its address
// How long a client still sending when its answer has gone out is read (and
// its bytes dropped), so that its kernel does not reset the connection before
// it has read the answer.
const auto lingerTime = std::chrono::seconds(2);

// A refusal as the client receives it; the connection ends after it.
std::string refusal(int status) {
    const char* text = status == 411 ? "Length Required" : status == 431 ? "Request Header Fields Too Large"
                                                                         : "Bad Request";
    const std::string body = std::to_string(status) + "\n";
    return "HTTP/1.1 " + std::to_string(status) + " " + text +
           "\r\nConnection: close\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

// Sends what `fd` takes of `out`; false when the socket failed.
bool flush(int fd, std::string& out) {
    while (!out.empty()) {
        const ssize_t n = send(fd, out.data(), out.size(), MSG_NOSIGNAL);
        if (n > 0) out.erase(0, static_cast<size_t>(n));
        else if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
        else if (errno != EINTR) return false;
    }
    return true;
}

}  // namespace

// One client's connection and the library's end of it.
struct Gate::Link {
    int client = -1, inner = -1;  // inner: -1 once the library closed its end
    std::string key, peer;        // the share it counts against; its address, for a refusal's line
    std::string head;             // the bytes of a head not yet whole
    size_t searched = 0;          // of `head`, for headEnd
    uint64_t body = 0;            // body bytes to pass before the next head
    std::string up, down;         // bytes for the library and for the client, not yet taken
    bool clientEof = false;       // the client sent all it will
    bool refused = false;         // a head refused: the client is read no more
    std::string answer;           // with `refused`: sent once the library has closed its end
    uint32_t watched[2] = {0, 0}; // epoll events registered for client and inner
    bool dead = false;
    bool lingering = false;       // all answered and sent: the client's bytes are dropped until lingerEnd
    std::chrono::steady_clock::time_point lingerEnd;

    // Takes bytes from the client: bodies pass as they come, heads once whole and clean.
    void feed(const char* data, size_t size) {
        while (size && !refused) {
            if (body) {
                const size_t part = static_cast<size_t>(std::min<uint64_t>(body, size));
                up.append(data, part), body -= part, data += part, size -= part;
                continue;
            }
            head.append(data, size);
            size = 0;
            nextHeads();
        }
    }

    // Passes every whole head in `head` with the body bytes after it.
    void nextHeads() {
        while (!refused) {
            // Empty lines between requests are allowed, and dropped here.
            while (head.compare(0, 2, "\r\n") == 0) head.erase(0, 2), searched = 0;
            const size_t end = headEnd(head, &searched);
            if (!end) {
                if (head.size() > maxHeadSize) refuse(431, "head over 16 KiB", checkHead(head.substr(0, 4096)));
                return;
            }
            const HeadCheck check = checkHead(head.substr(0, end));
            if (check.status) return refuse(check.status, check.reason, check);
            const size_t part = static_cast<size_t>(std::min<uint64_t>(check.bodySize, head.size() - end));
            up.append(head, 0, end + part);
            head.erase(0, end + part);
            searched = 0;
            body = check.bodySize - part;
            if (body) return;
        }
    }

    void refuse(int status, const std::string& reason, const HeadCheck& check) {
        refused = true;
        head.clear();
        answer = refusal(status);
        logRequest(peer, check.method.empty() ? "-" : check.method, check.path.empty() ? "-" : check.path, status,
                   "refused: " + reason);
    }
};

bool Gate::start(const std::string& host, int port, std::string* error) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (int rc = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found)) {
        *error = gai_strerror(rc);
        return false;
    }
    listenFd_ = socket(found->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int yes = 1, no = 0;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    // An IPv6 address takes IPv4 clients too, as Linux sockets do by default.
    if (found->ai_family == AF_INET6) setsockopt(listenFd_, IPPROTO_IPV6, IPV6_V6ONLY, &no, sizeof no);
    sockaddr_storage bound{};
    socklen_t size = sizeof bound;
    const bool ok = listenFd_ >= 0 && bind(listenFd_, found->ai_addr, found->ai_addrlen) == 0 &&
                    listen(listenFd_, 1024) == 0 &&
                    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&bound), &size) == 0;
    freeaddrinfo(found);
    if (!ok) {
        *error = std::string("cannot listen: ") + std::strerror(errno);
        if (listenFd_ >= 0) ::close(listenFd_);
        listenFd_ = -1;
        return false;
    }
    port_ = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                               : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    running_ = true;
    for (unsigned i = 0; i < options_.threads; i++) {
        const int epoll = epoll_create1(EPOLL_CLOEXEC);
        // Each thread is woken for a new client, but only one of them.
        epoll_event ev{EPOLLIN | EPOLLEXCLUSIVE, {}};
        ev.data.u64 = listenTag;
        epoll_ctl(epoll, EPOLL_CTL_ADD, listenFd_, &ev);
        epolls_.push_back(epoll);
        threads_.emplace_back(&Gate::loop, this, epoll);
    }
    return true;
}

void Gate::quiesce() {
    if (listenFd_ < 0) return;
    for (int epoll : epolls_) epoll_ctl(epoll, EPOLL_CTL_DEL, listenFd_, nullptr);
    // A thread inside accept() now fails there; the descriptor is closed once
    // the threads are over, so that it cannot be reused under them.
    shutdown(listenFd_, SHUT_RDWR);
}

void Gate::stop(int wait) {
    quiesce();
    for (int i = 0; i < wait / 10 && open_ > 0; i++) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    running_ = false;
    for (std::thread& t : threads_) t.join();
    threads_.clear();
    for (int epoll : epolls_) ::close(epoll);
    epolls_.clear();
    if (listenFd_ >= 0) ::close(listenFd_);
    listenFd_ = -1;
}

void Gate::loop(int epoll) {
    std::unordered_set<Link*> mine;
    std::vector<Link*> ended;
    epoll_event events[64];
    auto swept = std::chrono::steady_clock::now();
    while (running_) {
        const int n = epoll_wait(epoll, events, 64, 100);
        // A lingering client that keeps sending is cut at its time.
        const auto now = std::chrono::steady_clock::now();
        if (now - swept > std::chrono::milliseconds(100)) {
            swept = now;
            for (Link* link : mine)
                if (link->lingering && now > link->lingerEnd) close(link), ended.push_back(link);
        }
        for (int i = 0; i < n; i++) {
            if (events[i].data.u64 == listenTag) {
                accept(epoll, &mine);
                continue;
            }
            Link* link = reinterpret_cast<Link*>(events[i].data.u64 & ~uint64_t{1});
            if (link->dead) continue;
            // A client's error or hang-up: no one is left to answer.
            const bool clientGone = !(events[i].data.u64 & 1) && (events[i].events & (EPOLLERR | EPOLLHUP));
            if (clientGone || !pump(epoll, link)) {
                close(link);
                ended.push_back(link);
            }
        }
        for (Link* link : ended) mine.erase(link), delete link;
        ended.clear();
    }
    for (Link* link : mine) close(link), delete link;
}

void Gate::accept(int epoll, std::unordered_set<Link*>* mine) {
    for (int i = 0; i < 64; i++) {
        sockaddr_storage address{};
        socklen_t size = sizeof address;
        const int fd = accept4(listenFd_, reinterpret_cast<sockaddr*>(&address), &size, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            // Out of descriptors: wait a little instead of being woken at once again.
            if (errno == EMFILE || errno == ENFILE) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            return;
        }
        auto link = std::make_unique<Link>();
        link->client = fd;
        link->peer = addressText(reinterpret_cast<sockaddr*>(&address));
        link->key = limitKey(link->peer);
        if (!admit(link->key)) {
            ::close(fd);
            continue;
        }
        int pair[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair) != 0) {
            close(link.get());
            continue;
        }
        link->inner = pair[0];
        if (!handover_(pair[1], reinterpret_cast<sockaddr*>(&address), size)) {
            close(link.get());
            continue;
        }
        epoll_event ev{EPOLLIN, {}};
        ev.data.u64 = reinterpret_cast<uint64_t>(link.get());
        epoll_ctl(epoll, EPOLL_CTL_ADD, link->client, &ev);
        ev.data.u64 |= 1;
        epoll_ctl(epoll, EPOLL_CTL_ADD, link->inner, &ev);
        link->watched[0] = link->watched[1] = EPOLLIN;
        mine->insert(link.release());
    }
}

bool Gate::admit(const std::string& key) {
    std::lock_guard<std::mutex> lock(sharesMutex_);
    unsigned& share = shares_[key];
    if (open_ >= options_.maxConnections || (options_.maxPerClient && share >= options_.maxPerClient)) {
        if (!share) shares_.erase(key);
        return false;
    }
    share++;
    open_++;
    return true;
}

void Gate::close(Link* link) {
    link->dead = true;
    ::close(link->client);
    if (link->inner >= 0) ::close(link->inner);
    std::lock_guard<std::mutex> lock(sharesMutex_);
    if (--shares_[link->key] == 0) shares_.erase(link->key);
    open_--;
}

bool Gate::pump(int epoll, Link* link) {
    char buf[16384];
    while (!link->clientEof && (!link->refused || link->lingering) && link->up.size() < relayMost) {
        const ssize_t n = recv(link->client, buf, sizeof buf, 0);
        if (n > 0 && link->lingering) continue;
        if (n > 0) link->feed(buf, static_cast<size_t>(n));
        else if (n == 0) link->clientEof = true;
        else if (errno == EAGAIN || errno == EWOULDBLOCK) break;
        else if (errno != EINTR) return false;
    }
    bool innerEnded = link->inner < 0;
    // Refused when the library closed its end; its last answer may still wait to be read.
    if (!innerEnded && !flush(link->inner, link->up)) link->up.clear();
    // The client's end, or its refused head, as the end of the stream: the
    // library answers what it has, then closes its end.
    if (!innerEnded && (link->clientEof || link->refused) && link->up.empty()) shutdown(link->inner, SHUT_WR);
    while (!innerEnded && link->down.size() < relayMost) {
        const ssize_t n = recv(link->inner, buf, sizeof buf, 0);
        if (n > 0) link->down.append(buf, static_cast<size_t>(n));
        else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) innerEnded = true;
        else if (errno != EINTR) break;
    }
    if (innerEnded && link->inner >= 0) {
        ::close(link->inner);  // also leaves the epoll
        link->inner = -1;
        link->up.clear();
        link->down += link->answer;  // after every answer the library gave
    }
    if (!flush(link->client, link->down)) return false;
    if (link->inner < 0 && link->down.empty()) {
        if (link->clientEof || (link->lingering && std::chrono::steady_clock::now() > link->lingerEnd)) return false;
        if (!link->lingering) {
            shutdown(link->client, SHUT_WR);
            link->lingering = true;
            link->lingerEnd = std::chrono::steady_clock::now() + lingerTime;
        }
    }
    const uint32_t want[2] = {
        (!link->clientEof && (!link->refused || link->lingering) && link->up.size() < relayMost ? EPOLLIN : 0u) |
            (link->down.empty() ? 0u : EPOLLOUT),
        (link->down.size() < relayMost ? EPOLLIN : 0u) | (link->up.empty() ? 0u : EPOLLOUT)};
    for (int side = 0; side < 2; side++) {
        const int fd = side ? link->inner : link->client;
        if (fd < 0 || want[side] == link->watched[side]) continue;
        epoll_event ev{want[side], {}};
        ev.data.u64 = reinterpret_cast<uint64_t>(link) | static_cast<uint64_t>(side);
        epoll_ctl(epoll, EPOLL_CTL_MOD, fd, &ev);
        link->watched[side] = want[side];
    }
    return true;
}
