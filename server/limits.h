// Who a client is and how often it may post: the address a request counts
// against, and a token bucket per address.
#pragma once
#include <mutex>
#include <string>
#include <unordered_map>

struct sockaddr;

// A socket address as text; an IPv4-mapped IPv6 address as its IPv4 address.
// "-" for another family.
std::string addressText(const sockaddr* address);

// The client's address as text. Behind a reverse proxy it is the last address
// in the last X-Forwarded-For header (the one the proxy itself added), written
// as addressText writes it. A header of more than 100 entries, or whose last
// one is not an address, falls back to the peer's, and `*why` says so.
std::string clientAddress(const std::string& peer, const std::string& forwardedFor, std::string* why);

// The client an address (as addressText writes it) counts as, for posts and
// for connections alike: the address itself, but for IPv6 its /64 network,
// since one host commonly holds a whole /64.
std::string limitKey(const std::string& address);

// Posts per key: a burst of `burst`, then `perMinute` a minute. 0 a minute
// switches the limit off.
class PostLimiter {
public:
    PostLimiter(double perMinute, double burst) : perSecond_(perMinute / 60), burst_(burst) {}
    // Takes one post for `key` at `now` (seconds on a steady clock). 0 when it
    // may go on; otherwise it is refused and this is the whole number of
    // seconds until one more would be taken.
    int take(const std::string& key, double now);

private:
    struct Bucket {
        double tokens;
        double at;  // when `tokens` was counted
    };
    double perSecond_, burst_;
    std::mutex mutex_;
    std::unordered_map<std::string, Bucket> buckets_;
    size_t pruneAt_ = 4096;  // the map's size that makes full buckets go
};
