#include "server/head.h"

#include <strings.h>

#include <algorithm>

namespace {

bool isControl(unsigned char c) { return c < 0x20 || c == 0x7f; }

// RFC 9110's token characters: what a header name is made of.
bool isTokenChar(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           std::string("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) != std::string::npos;
}

std::string trimmed(const std::string& s) {
    size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
    return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

// The refusal of a line's bytes, "" when they are clean. Lines are cut at LF,
// so a CR left inside one is bare.
std::string lineFault(const std::string& line, bool requestLine) {
    for (unsigned char c : line) {
        if (c == '\r') return "bare CR in the head";
        if (isControl(c) && (requestLine || c != '\t'))
            return requestLine ? "control byte in the request line" : "control byte in a header";
    }
    return "";
}

// The header line's refusal, "" when clean; a framing header's value is kept.
std::string headerFault(const std::string& line, std::string* length, bool* chunkedToo) {
    if (line[0] == ' ' || line[0] == '\t') return "folded header line";
    const size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0) return "header line without a name";
    const std::string name = line.substr(0, colon);
    for (unsigned char c : name)
        if (!isTokenChar(c)) return c == ' ' || c == '\t' ? "whitespace before a colon" : "bad header name";
    const std::string value = trimmed(line.substr(colon + 1));
    if (strcasecmp(name.c_str(), "Transfer-Encoding") == 0) {
        *chunkedToo = true;
    } else if (strcasecmp(name.c_str(), "Content-Length") == 0) {
        // At most 18 digits: no reader overflows on it.
        if (value.empty() || value.size() > 18 || value.find_first_not_of("0123456789") != std::string::npos)
            return "bad Content-Length";
        if (!length->empty() && std::stoull(*length) != std::stoull(value)) return "Content-Lengths differ";
        *length = value;
    }
    return "";
}

}  // namespace

size_t headEnd(const std::string& data, size_t* from) {
    // The empty line: LF then LF, or LF CR LF (a lone LF is refused later).
    for (size_t i = *from; i + 1 < data.size(); i++) {
        if (data[i] != '\n') continue;
        if (data[i + 1] == '\n') return i + 2;
        if (data[i + 1] == '\r') {
            if (i + 2 == data.size()) {
                *from = i;
                return 0;
            }
            if (data[i + 2] == '\n') return i + 3;
        }
    }
    *from = data.empty() ? 0 : data.size() - 1;
    return 0;
}

HeadCheck checkHead(const std::string& head) {
    HeadCheck h;
    std::string length;
    bool chunked = false;
    size_t start = 0;
    for (size_t end; (end = head.find('\n', start)) != std::string::npos; start = end + 1) {
        if (end == start || head[end - 1] != '\r') {
            h.reason = "bare LF in the head";
            break;
        }
        const std::string line = head.substr(start, end - 1 - start);
        if (start == 0) {  // the request line
            const size_t space = line.find(' ');
            h.method = line.substr(0, space);
            if (space != std::string::npos) {
                const std::string target = line.substr(space + 1, line.find(' ', space + 1) - space - 1);
                h.path = target.substr(0, target.find('?'));
            }
            if ((h.reason = lineFault(line, true)) != "") break;
            // "METHOD TARGET HTTP/1.x": what else the library would answer on its own.
            const std::string version = line.substr(line.rfind(' ') + 1);
            if (std::count(line.begin(), line.end(), ' ') != 2 || line.find("  ") != std::string::npos ||
                (version != "HTTP/1.1" && version != "HTTP/1.0")) {
                h.reason = "malformed request line";
                break;
            }
            continue;
        }
        if (line.empty()) break;  // the end
        if ((h.reason = lineFault(line, false)) != "" || (h.reason = headerFault(line, &length, &chunked)) != "")
            break;
    }
    if (h.reason.empty() && chunked) {
        if (!length.empty()) h.reason = "Content-Length beside Transfer-Encoding";
        else h.status = 411, h.reason = "Transfer-Encoding without Content-Length";
    }
    if (!h.reason.empty()) {
        if (!h.status) h.status = 400;
        return h;
    }
    h.bodySize = length.empty() ? 0 : std::stoull(length);
    return h;
}
