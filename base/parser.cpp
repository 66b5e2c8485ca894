#include "base/parser.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

Parser::Parser(const std::string& text, const std::string& separators)
    : text_(text), separators_(separators) {
    split();
}

void Parser::setText(const std::string& text) {
    text_ = text;
    split();
}

void Parser::setSeparators(const std::string& separators) {
    separators_ = separators;
    split();
}

// Walks the text including its terminating zero (position L), which closes
// the last element. With no separators nothing is ever closed: 0 elements.
void Parser::split() {
    elements_.clear();
    const bool haveSeps = !separators_.empty();
    const size_t len = text_.size();
    uint32_t runStart = 0;
    uint32_t runLen = 0;
    for (size_t p = 0; p <= len; ++p) {
        const char c = p < len ? text_[p] : '\0';
        const bool sep = haveSeps && (c == '\0' || separators_.find(c) != std::string::npos);
        if (!sep) {
            if (runLen == 0) runStart = static_cast<uint32_t>(p);
            ++runLen;
        } else if (runLen > 0) {
            elements_.push_back(runStart);
            elements_.push_back(runLen);
            runLen = 0;
        }
    }
}

std::string Parser::show(int32_t i) const {
    if (!present(i)) {
        printf("FAIL: Parser.show: Element %d nie istnieje\n", i);
        return "";
    }
    return text_.substr(elements_[2 * i], elements_[2 * i + 1]);
}

// strtol base 10, clamped to the 32-bit range. Elements never hold a zero
// byte, so the copy reads as the whole element.
static int32_t toInt32(const std::string& s) {
    errno = 0;
    long v = strtol(s.c_str(), nullptr, 10);
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

int32_t Parser::val(int32_t i) const {
    if (!present(i)) {
        printf("FAIL: Parser.val: Element %d nie istnieje\n", i);
        return 0;
    }
    return toInt32(show(i));
}

bool Parser::isVal(int32_t i) const {
    if (!present(i)) {
        printf("FAIL: Parser.isVal: Element %d nie istnieje\n", i);
        return false;
    }
    const std::string e = show(i);
    char canon[16];
    snprintf(canon, sizeof canon, "%d", toInt32(e));
    return e == canon;
}

int32_t Parser::find(const std::string& s) const {
    const char* key = s.c_str();  // up to its first zero byte
    const size_t keyLen = strlen(key);
    for (int32_t i = 0; i < count(); ++i) {
        if (elements_[2 * i + 1] == keyLen && text_.compare(elements_[2 * i], keyLen, key) == 0) return i;
    }
    return -1;
}

void Parser::ins(int32_t i, const std::string& s) {
    if (i < -1 || i >= count()) {
        printf("FAIL: Parser.ins: Element %d nie istnieje\n", i);
        return;
    }
    if (i + 1 < count()) {
        text_.insert(elements_[2 * (i + 1)], s);
    } else {
        // After the last element: append, keeping that element apart from s.
        const bool endsInElement = count() > 0 &&
            elements_[2 * i] + elements_[2 * i + 1] == text_.size();
        if (endsInElement && !s.empty()) text_.push_back(separators_[0]);
        text_ += s;
    }
    split();
}

void Parser::del(int32_t i) {
    if (!present(i)) {
        printf("FAIL: Parser.del: Element %d nie istnieje\n", i);
        return;
    }
    const uint32_t end = elements_[2 * i] + elements_[2 * i + 1];
    const uint32_t from = i > 0 ? elements_[2 * (i - 1)] + elements_[2 * (i - 1) + 1] : elements_[2 * i];
    text_.erase(from, end - from);
    split();
}

void Parser::swap(int32_t i, const std::string& s) {
    if (!present(i)) {
        printf("FAIL: Parser.swap: Element %d nie istnieje\n", i);
        return;
    }
    del(i);
    ins(i - 1, s);
}
