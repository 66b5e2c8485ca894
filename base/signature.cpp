#include "base/signature.h"

#include "base/md5.h"

const char* const scoreSalt = "niebieskiparasolnadrzewa";

std::string signedText(int32_t flies, const std::string& nick, int32_t ticks) {
    return std::to_string(flies) + nick + std::to_string(ticks) + scoreSalt;
}

std::string scoreDigest(int32_t flies, const std::string& nick, int32_t ticks) {
    const std::string text = signedText(flies, nick, ticks);
    return md5Hex(reinterpret_cast<const uint8_t*>(text.data()), static_cast<int>(text.size()));
}

std::string scoreBody(int32_t flies, const std::string& nick, int32_t ticks) {
    const std::string digest = scoreDigest(flies, nick, ticks);
    // A body without its digest would be refused anyway: nothing to send.
    if (digest.empty()) return "";
    const std::string values[6] = {"1", "1", nick, std::to_string(flies), std::to_string(ticks), digest};
    std::string body;
    for (int i = 0; i < 6; ++i) body += std::string(i ? "&" : "") + kScoreFields[i] + "=" + values[i];
    return body;
}

bool nickChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool validNick(const std::string& nick) {
    if (nick.empty() || nick.size() > kNickMax) return false;
    for (char c : nick)
        if (!nickChar(c)) return false;
    return true;
}

bool parseCount(const std::string& text, int32_t* value) {
    if (text.empty() || text.size() > 10) return false;
    if (text.size() > 1 && text[0] == '0') return false;
    int64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v > INT32_MAX) return false;
    *value = static_cast<int32_t>(v);
    return true;
}
