#include "base/config.h"

#include <cctype>

static std::string trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return "";
    return s.substr(a, s.find_last_not_of(" \t\r") - a + 1);
}

bool parseConfig(const std::string& text, std::map<std::string, std::string>& out, std::string* reason) {
    size_t start = 0;
    for (int number = 1; start <= text.size(); ++number) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = trim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == '#') continue;
        const size_t eq = line.find('=');
        const std::string key = trim(line.substr(0, eq == std::string::npos ? 0 : eq));
        const std::string value = eq == std::string::npos ? "" : trim(line.substr(eq + 1));
        bool named = !key.empty();
        for (char c : key) named = named && (std::isalnum(static_cast<unsigned char>(c)) || c == '_');
        if (!named || value.empty()) {
            if (reason) *reason = "line " + std::to_string(number) + " is not \"key = value\"";
            return false;
        }
        out[key] = value;
    }
    return true;
}

bool serverUrl(const std::string& url) {
    size_t host = url.rfind("http://", 0) == 0 ? 7 : url.rfind("https://", 0) == 0 ? 8 : 0;
    if (host == 0 || host >= url.size() || url[host] == '/' || url[host] == ':') return false;
    for (char c : url)
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f) return false;
    return true;
}
