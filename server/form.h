// Checking a posted score: the form body, the fields' syntax and the signature.
// Plain functions so the rules can be tested without a socket.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "base/signature.h"

struct Score {
    std::string nick;  // a validNick
    int32_t flies = 0;
    int32_t time = 0;  // frames survived
};

// What the server answers to a post: 200 with the score to store, 400 when the
// body is malformed, 403 when the signature does not match, 500 when it could
// not be checked.
struct Verdict {
    int status = 400;
    std::string message;  // short text for the answer body
    Score score;          // meaningful only with status 200
};

// Splits an application/x-www-form-urlencoded body into its fields, decoding
// "%XX" and "+". Empty result for a body that is not such a form (bad escape,
// a key given twice, a pair without "=").
std::optional<std::map<std::string, std::string>> parseForm(const std::string& body);

// Applies every rule to one posted body.
Verdict checkScore(const std::string& body);
