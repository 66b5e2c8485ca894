#include "server/form.h"

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

Verdict checkScore(const std::string& body) {
    Verdict v;
    auto form = parseForm(body);
    if (!form) {
        v.message = "Zly formularz";
        return v;
    }
    if (form->size() != 6) {
        v.message = "Zle pola";
        return v;
    }
    for (const char* k : kScoreFields) {
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
    // The numbers are canonical, so "%d" of them is the text the game signed.
    const std::string digest = scoreDigest(v.score.flies, nick, v.score.time);
    if (digest.empty()) {
        v.status = 500;
        v.message = "Brak pamieci";
        return v;
    }
    if (md5 != digest) {
        v.status = 403;
        v.message = "Zly podpis";
        return v;
    }
    v.status = 200;
    v.message = "Zapisano";
    v.score.nick = nick;
    return v;
}
