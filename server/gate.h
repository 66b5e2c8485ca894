// The server's front door: accepts every connection, holds each client to its
// share of them, and relays the bytes to libmicrohttpd over a socket pair,
// letting a request's head through only once it has been read whole and found
// clean (server/head.h). A head that is not is answered here, after the library
// has answered the requests before it, and the connection is closed: one answer
// per request, and no bytes the library could read as a request of their own.
#pragma once
#include <sys/socket.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class Gate {
public:
    struct Options {
        unsigned threads = 2;            // threads relaying, each with its own epoll
        unsigned maxConnections = 4000;  // open connections in all; more are closed at once
        unsigned maxPerClient = 32;      // per limitKey (an IPv4 address, an IPv6 /64); 0: no cap
    };
    // Gives the library its end of a new connection and the client's address;
    // the library owns `fd` from then on, whatever it answers.
    using Handover = std::function<bool(int fd, const sockaddr* address, socklen_t size)>;

    Gate(const Options& options, Handover handover) : options_(options), handover_(std::move(handover)) {}
    ~Gate() { stop(); }
    Gate(const Gate&) = delete;
    Gate& operator=(const Gate&) = delete;

    // Listens on host:port (an IPv6 address takes IPv4 clients too) and starts
    // the threads; false with the reason.
    bool start(const std::string& host, int port, std::string* error);
    int port() const { return port_; }
    // Takes no new connection.
    void quiesce();
    // Waits up to `wait` milliseconds for the connections to end by themselves
    // (the library's ends closed, the last answers passed on), then closes the
    // rest and ends the threads.
    void stop(int wait = 0);

    struct Link;

private:
    void loop(int epoll);
    void accept(int epoll, std::unordered_set<Link*>* mine);
    // Counts a new connection against `key`'s share; false when over a cap.
    bool admit(const std::string& key);
    // Moves bytes both ways as far as the sockets take them; false when the
    // connection is over.
    bool pump(int epoll, Link* link);
    // Closes both ends and gives back the share (the Link is deleted by its thread).
    void close(Link* link);

    Options options_;
    Handover handover_;
    int listenFd_ = -1;
    int port_ = 0;
    std::vector<int> epolls_;
    std::vector<std::thread> threads_;
    std::atomic<bool> running_{false};
    std::mutex sharesMutex_;  // guards the two counts below
    std::unordered_map<std::string, unsigned> shares_;  // open connections per limitKey
    std::atomic<unsigned> open_{0};                     // open connections in all
};
