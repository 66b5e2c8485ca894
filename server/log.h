// The server's log: standard output, one whole line at a time from any thread.
#pragma once

void logLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
