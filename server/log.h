// The server's log: standard output, one whole line at a time from any thread.
#pragma once
#include <string>

void logLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// `text` as a log may show it: every byte but printable ASCII (so also space,
// backslash, control bytes and bytes past 0x7e) as \xNN, so that no client can
// start a line, move a terminal's cursor or shift a field; cut after 200 bytes
// with "[cut]", so that a line stays short whatever a client sends.
std::string logSafe(const std::string& text);

// One request's line, "TIME CLIENT METHOD PATH STATUS", with " NOTE" after it
// when there is one; status 0 (no answer: the client left first) as "-".
void logRequest(const std::string& client, const std::string& method, const std::string& path, int status,
                const std::string& note = "");
