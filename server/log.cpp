#include "server/log.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace {
std::mutex logMutex;
}

void logLine(const char* format, ...) {
    std::lock_guard<std::mutex> lock(logMutex);
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
    std::fflush(stdout);
}
