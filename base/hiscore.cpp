#include "base/hiscore.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "base/parser.h"

// Bytes of a nick the table keeps.
static const size_t kNickKept = 32;

// Reads the whole file into text, up to its first zero byte; false (with the
// log line) when the buffer cannot be had.
static bool readText(FILE* f, long size, std::string* text) {
    try {
        std::string buf(size_t(size), '\0');
        const size_t got = fread(buf.data(), 1, buf.size(), f);  // a short read keeps what arrived
        buf.resize(strnlen(buf.data(), got));
        *text = std::move(buf);
        return true;
    } catch (const std::bad_alloc&) {
        printf("FAIL: Hiscore.load: Nie udalo sie zajac pamieci na plik tymczasowy\n");
        return false;
    }
}

// The records of the parsed triples; throws std::bad_alloc.
static std::vector<ScoreRecord> recordsOf(const Parser& parser, int32_t rows) {
    std::vector<ScoreRecord> out;
    out.reserve(size_t(rows));
    for (int32_t k = 0; k < rows; ++k) {
        ScoreRecord r{k + 1, "", parser.val(3 * k + 1), parser.val(3 * k + 2)};
        try {
            r.nick = parser.show(3 * k).substr(0, kNickKept);
        } catch (const std::bad_alloc&) {
            printf("FAIL: Hiscore.load: Nie udalo sie zajac pamieci na nick gracza\n");
            throw;
        }
        out.push_back(std::move(r));
    }
    return out;
}

bool Hiscore::load(const char* fileName) {
    FILE* f = fopen(fileName, "rb");
    long size = -1;
    // One byte read first: a directory opens but cannot be read, and its
    // "length" would ask for an absurd buffer.
    if (f && (fgetc(f), !ferror(f)) && fseek(f, 0, SEEK_END) == 0) size = ftell(f);
    if (!f || size < 0 || fseek(f, 0, SEEK_SET) != 0) {
        if (f) fclose(f);
        printf("FAIL: Hiscore.load: Nie udalo sie otworzyc pliku\n");
        return false;
    }
    clear();
    std::string text;
    const bool haveText = readText(f, size, &text);
    fclose(f);
    if (!haveText) return false;

    try {
        Parser parser(text, " ");
        const int32_t n = parser.count();
        if (n < 1 || n % 3 != 0) {
            printf("FAIL: Hiscore.load: Zly plik (%d)\n", n);
            return false;
        }
        records = recordsOf(parser, n / 3);
    } catch (const std::bad_alloc&) {
        printf("FAIL: Hiscore.load: Nie udalo sie zajac pamieci na tabele\n");
        clear();
        return false;
    }
    printf("OK  : Hiscore.load: Wczytano wyniki\n");
    return true;
}

void Hiscore::sortByFlies() {
    std::stable_sort(records.begin(), records.end(),
                     [](const ScoreRecord& a, const ScoreRecord& b) { return a.flies > b.flies; });
    sortedByFlies = true;
}

void Hiscore::sortByTime() {
    std::stable_sort(records.begin(), records.end(),
                     [](const ScoreRecord& a, const ScoreRecord& b) { return a.time > b.time; });
    sortedByFlies = false;
}
