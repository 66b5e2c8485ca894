#include "server/log.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace {
std::mutex logMutex;
const size_t logMost = 200;  // bytes of one field
}

void logLine(const char* format, ...) {
    std::lock_guard<std::mutex> lock(logMutex);
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
    std::fflush(stdout);
}

std::string logSafe(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        char piece[5] = {static_cast<char>(c), 0};
        if (c <= ' ' || c >= 0x7f || c == '\\') snprintf(piece, sizeof piece, "\\x%02x", c);
        if (out.size() + std::char_traits<char>::length(piece) > logMost) return out + "[cut]";
        out += piece;
    }
    return out;
}

void logRequest(const std::string& client, const std::string& method, const std::string& path, int status,
                const std::string& note) {
    char stamp[32];
    time_t now = time(nullptr);
    struct tm tm;
    gmtime_r(&now, &tm);
    strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &tm);
    const std::string answered = status ? std::to_string(status) : "-";
    logLine("%s %s %s %s %s%s%s\n", stamp, client.c_str(), logSafe(method).c_str(), logSafe(path).c_str(),
            answered.c_str(), note.empty() ? "" : " ", note.c_str());
}
