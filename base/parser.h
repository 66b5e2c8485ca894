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

    // Inserts s in front of element i+1 (after the separators that follow
    // element i; i = -1 means in front of element 0), then splits. No separator
    // is added: s must end with one to stay an element of its own.
    // i = count()-1 (no element i+1; also i = -1 on an empty parser) appends s
    // at the end of the text; when the text ends inside its last element, the
    // first separator byte is put in between so that element keeps its bytes.
    // i < -1 or i >= count(): log line, no change.
    void ins(int32_t i, const std::string& s);
    // Removes element i with the run of separators directly in front of it
    // (none for element 0), then splits. Absent i: log line, no change.
    void del(int32_t i);
    // Replaces element i by s: del(i), then ins(i-1, s). Absent i: log line, no change.
    void swap(int32_t i, const std::string& s);

private:
    void split();
    bool present(int32_t i) const { return i >= 0 && i < count(); }

    std::vector<uint32_t> elements_;  // start, length per element
    std::string text_;
    std::string separators_;
};
