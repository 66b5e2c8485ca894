// Tokenizer: splits one text into elements (maximal runs of non-separator
// bytes) at any byte of a separator set, and reads or edits them by index.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class Parser {
public:
    Parser(const std::string& text = "", const std::string& separators = "");

    void setText(const std::string& text);
    void setSeparators(const std::string& separators);

    int32_t count() const { return static_cast<int32_t>(elements_.size() / 2); }
    // Copy of element i; "" and a log line when i is not present.
    std::string show(int32_t i) const;
    // Element i read as strtol base 10, clamped to 32 bits; 0 and a log line when absent.
    int32_t val(int32_t i) const;
    // True when element i is the canonical "%d" form of a 32-bit integer.
    bool isVal(int32_t i) const;
    // Index of the first element equal to s (compared up to s's first 0 byte), or -1.
    int32_t find(const std::string& s) const;
    std::string getText() const { return text_; }

    void ins(int32_t i, const std::string& s);
    void del(int32_t i);
    void swap(int32_t i, const std::string& s);

private:
    void split();
    bool present(int32_t i) const { return i >= 0 && i < count(); }

    std::vector<uint32_t> elements_;  // start, length per element
    std::string text_;
    std::string separators_;
};
