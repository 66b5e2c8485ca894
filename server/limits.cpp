#include "server/limits.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cmath>

namespace {

std::string trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
    return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

bool isAddress(const std::string& s) {
    unsigned char buf[sizeof(in6_addr)];
    return inet_pton(AF_INET, s.c_str(), buf) == 1 || inet_pton(AF_INET6, s.c_str(), buf) == 1;
}

}  // namespace

std::string clientAddress(const std::string& peer, const std::string& forwardedFor) {
    size_t comma = forwardedFor.rfind(',');
    std::string last = trim(comma == std::string::npos ? forwardedFor : forwardedFor.substr(comma + 1));
    return isAddress(last) ? last : peer;
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
