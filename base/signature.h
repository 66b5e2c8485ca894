// The signature of a posted score, shared by the game (which signs and posts)
// and the score server (which checks): the salt, the signed text, the request
// body and the rules for its fields.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Appended to the signed text before hashing.
extern const char* const scoreSalt;
// Longest nick: what the game lets a player type and the server stores.
constexpr size_t kNickMax = 31;
// The body's fields, in the order the game writes them.
constexpr const char* kScoreFields[6] = {"wysyl", "wersja", "nick", "muchy", "czas", "md5"};

// "%d%s%d" of flies, nick and frames, then the salt: the text whose MD5 signs a score.
std::string signedText(int32_t flies, const std::string& nick, int32_t ticks);
// The MD5 of signedText as 32 lower-case hex digits; empty when it cannot be made.
std::string scoreDigest(int32_t flies, const std::string& nick, int32_t ticks);
// The POST body "wysyl=1&wersja=1&nick=N&muchy=F&czas=T&md5=D". The nick goes
// unencoded, so it must be a validNick. Empty when the digest cannot be made.
std::string scoreBody(int32_t flies, const std::string& nick, int32_t ticks);

// A byte a nick may hold: [A-Za-z0-9_].
bool nickChar(char c);
// 1 to kNickMax nickChar bytes.
bool validNick(const std::string& nick);
// A canonical non-negative 32-bit decimal, as "%d" writes a count: "0", or
// digits without a leading zero up to 2147483647. Writes the value on success.
bool parseCount(const std::string& text, int32_t* value);
