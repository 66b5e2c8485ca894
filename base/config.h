// The game's configuration files: "key = value" lines, "#" starting a comment
// line, blank lines ignored.
#pragma once
#include <map>
#include <string>

// Reads `text`; false with the reason (and the line's number) for a line that
// is neither a comment, blank, nor "key = value" with a key of letters, digits
// and "_" and a value.
bool parseConfig(const std::string& text, std::map<std::string, std::string>& out, std::string* reason);

// Whether `url` can name a score server: "http://" or "https://", then a host
// (and maybe a port and a path), with no spaces or control bytes.
bool serverUrl(const std::string& url);
