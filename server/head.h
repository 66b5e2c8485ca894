// Checking a request's head (request line and header lines) byte by byte
// before libmicrohttpd reads it. Its parser (0.9.75) trusts what a proxy in
// front may read another way: it cuts a value at a NUL, takes a bare CR as a
// line end, mangles folded lines, ignores "Content-Length :" and answers a bad
// Content-Length twice. A head passes only when every reader must agree on
// where its body ends.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The longest head read; a longer one is refused with 431.
const size_t maxHeadSize = 16384;

struct HeadCheck {
    int status = 0;      // 0: clean; otherwise the refusal's status (400, 411)
    std::string reason;  // why it was refused, for the log
    std::string method, path;  // as sent (path without its query), for the log
    uint64_t bodySize = 0;     // with status 0: the bytes of body that follow
};

// Where the head at the start of `data` ends: the size up to and including its
// empty line, or 0 while that line has not come. Searching resumes at `*from`,
// which it advances, so bytes read one at a time are searched once.
size_t headEnd(const std::string& data, size_t* from);

// Checks one whole head, as headEnd found it: lines ended by CRLF only; no NUL,
// bare CR or other control byte but tab; no folded line; header names without
// whitespace; Content-Length as digits, every one the same; Transfer-Encoding
// refused (411: a body must come with its length).
HeadCheck checkHead(const std::string& head);
