#include "server/limits.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <cmath>

namespace {

std::string trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
    return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

}  // namespace

std::string addressText(const sockaddr* sa) {
    char text[INET6_ADDRSTRLEN] = "-";
    if (sa->sa_family == AF_INET) {
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(sa)->sin_addr, text, sizeof text);
    } else if (sa->sa_family == AF_INET6) {
        const in6_addr& a = reinterpret_cast<const sockaddr_in6*>(sa)->sin6_addr;
        if (IN6_IS_ADDR_V4MAPPED(&a))
            inet_ntop(AF_INET, a.s6_addr + 12, text, sizeof text);
        else
            inet_ntop(AF_INET6, &a, text, sizeof text);
    }
    return text;
}

std::string clientAddress(const std::string& peer, const std::string& forwardedFor, std::string* why) {
    if (forwardedFor.empty()) {
        *why = "no X-Forwarded-For";
        return peer;
    }
    if (std::count(forwardedFor.begin(), forwardedFor.end(), ',') >= 100) {
        *why = "X-Forwarded-For ignored: over 100 entries";
        return peer;
    }
    size_t comma = forwardedFor.rfind(',');
    std::string last = trim(comma == std::string::npos ? forwardedFor : forwardedFor.substr(comma + 1));
    sockaddr_in a4{};
    sockaddr_in6 a6{};
    if (inet_pton(AF_INET, last.c_str(), &a4.sin_addr) == 1) {
        a4.sin_family = AF_INET;
        return addressText(reinterpret_cast<sockaddr*>(&a4));
    }
    if (inet_pton(AF_INET6, last.c_str(), &a6.sin6_addr) == 1) {
        a6.sin6_family = AF_INET6;
        return addressText(reinterpret_cast<sockaddr*>(&a6));
    }
    *why = "X-Forwarded-For ignored: its last entry is not an address";
    return peer;
}

std::string limitKey(const std::string& address) {
    in6_addr a6;
    if (inet_pton(AF_INET6, address.c_str(), &a6) != 1) return address;
    std::fill(a6.s6_addr + 8, a6.s6_addr + 16, 0);
    char text[INET6_ADDRSTRLEN];
    inet_ntop(AF_INET6, &a6, text, sizeof text);
    return std::string(text) + "/64";
}

int PostLimiter::take(const std::string& key, double now) {
    if (perSecond_ <= 0) return 0;
    std::lock_guard<std::mutex> lock(mutex_);
    auto refilled = [&](const Bucket& b) {
        return std::min(burst_, b.tokens + (now - b.at) * perSecond_);
    };
    if (buckets_.size() >= pruneAt_) {
        // Forget every address that is back to a full burst: it behaves as new.
        for (auto it = buckets_.begin(); it != buckets_.end();)
            it = refilled(it->second) >= burst_ ? buckets_.erase(it) : std::next(it);
        pruneAt_ = std::max<size_t>(4096, buckets_.size() * 2);
    }
    auto found = buckets_.emplace(key, Bucket{burst_, now});
    Bucket& b = found.first->second;
    b.tokens = refilled(b);
    b.at = now;
    if (b.tokens >= 1) {
        b.tokens -= 1;
        return 0;
    }
    return std::max(1, static_cast<int>(std::ceil((1 - b.tokens) / perSecond_)));
}
