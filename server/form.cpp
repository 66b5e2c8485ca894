#include "server/form.h"

#include <cstring>
#include <memory>

#include "scores/md5.h"

const char* const scoreSalt = "niebieskiparasolnadrzewa";

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Decodes one key or value; false on a truncated or non-hex escape.
bool decode(const std::string& in, std::string* out) {
    out->clear();
    for (size_t i = 0; i < in.size(); i++) {
        char c = in[i];
        if (c == '+') {
            out->push_back(' ');
        } else if (c == '%') {
            if (i + 2 >= in.size()) return false;
            int hi = hexValue(in[i + 1]);
            int lo = hexValue(in[i + 2]);
            if (hi < 0 || lo < 0) return false;
            out->push_back(static_cast<char>(hi * 16 + lo));
            i += 2;
        } else {
            out->push_back(c);
        }
    }
    return true;
}

bool isLowerHex(const std::string& s) {
    if (s.size() != 32) return false;
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

}  // namespace

std::optional<std::map<std::string, std::string>> parseForm(const std::string& body) {
    std::map<std::string, std::string> fields;
    size_t start = 0;
    while (start <= body.size()) {
        size_t end = body.find('&', start);
        if (end == std::string::npos) end = body.size();
        std::string pair = body.substr(start, end - start);
        size_t eq = pair.find('=');
        if (eq == std::string::npos) return std::nullopt;
        std::string key, value;
        if (!decode(pair.substr(0, eq), &key) || !decode(pair.substr(eq + 1), &value))
            return std::nullopt;
        // A repeated key is ambiguous: which nick did the player sign?
        if (!fields.emplace(key, value).second) return std::nullopt;
        start = end + 1;
    }
    return fields;
}

bool parseCount(const std::string& text, int32_t* value) {
    if (text.empty() || text.size() > 10) return false;
    if (text.size() > 1 && text[0] == '0') return false;
    int64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v > INT32_MAX) return false;
    *value = static_cast<int32_t>(v);
    return true;
}

bool validNick(const std::string& nick) {
    if (nick.empty() || nick.size() > 31) return false;
    for (char c : nick) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '_';
        if (!ok) return false;
    }
    return true;
}

Verdict checkScore(const std::string& body) {
    Verdict v;
    auto form = parseForm(body);
    if (!form) {
        v.message = "Zly formularz";
        return v;
    }
    static const char* const keys[] = {"wysyl", "wersja", "nick", "muchy", "czas", "md5"};
    if (form->size() != 6) {
        v.message = "Zle pola";
        return v;
    }
    for (const char* k : keys) {
        if (!form->count(k)) {
            v.message = std::string("Brak pola ") + k;
            return v;
        }
    }
    if ((*form)["wysyl"] != "1" || (*form)["wersja"] != "1") {
        v.message = "Nieznana wersja";
        return v;
    }
    const std::string& nick = (*form)["nick"];
    const std::string& md5 = (*form)["md5"];
    if (!validNick(nick)) {
        v.message = "Zly nick";
        return v;
    }
    if (!parseCount((*form)["muchy"], &v.score.flies) ||
        !parseCount((*form)["czas"], &v.score.time)) {
        v.message = "Zla liczba";
        return v;
    }
    if (!isLowerHex(md5)) {
        v.message = "Zly skrot";
        return v;
    }
    // The numbers are canonical, so their text is exactly what "%d" gave the game.
    std::string signature = (*form)["muchy"] + nick + (*form)["czas"] + scoreSalt;
    std::unique_ptr<char[]> digest(
        md5Hex(reinterpret_cast<const uint8_t*>(signature.data()),
               static_cast<int>(signature.size())));
    if (!digest) {
        v.status = 500;
        v.message = "Brak pamieci";
        return v;
    }
    if (md5 != digest.get()) {
        v.status = 403;
        v.message = "Zly podpis";
        return v;
    }
    v.status = 200;
    v.message = "Zapisano";
    v.score.nick = nick;
    return v;
}
