#include "scores/hiscore.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "scores/parser.h"

static const size_t kNickMax = 32;

void Hiscore::clear() {
    for (int32_t k = 0; k < count; ++k) delete[] records[k].nick;
    delete[] records;
    records = nullptr;
    count = 0;
}

// Reads the whole file into text; false (with the log line) when the buffer
// cannot be had.
static bool readText(FILE* f, long size, std::string* text) {
    char* buf = new (std::nothrow) char[size_t(size) + 1];
    if (!buf) {
        printf("FAIL: Hiscore.load: Nie udalo sie zajac pamieci na plik tymczasowy\n");
        return false;
    }
    const size_t got = fread(buf, 1, size_t(size), f);
    buf[got] = 0;  // a short read keeps what arrived
    bool ok = true;
    try {
        *text = buf;  // up to the first zero byte
    } catch (const std::bad_alloc&) {
        printf("FAIL: Hiscore.load: Nie udalo sie zajac pamieci na plik tymczasowy\n");
        ok = false;
    }
    delete[] buf;
    return ok;
}

void Hiscore::load(const char* fileName) {
    FILE* f = fopen(fileName, "rb");
    long size = -1;
    // One byte read first: a directory opens but cannot be read, and its
    // "length" would ask for an absurd buffer.
    if (f && (fgetc(f), !ferror(f)) && fseek(f, 0, SEEK_END) == 0) size = ftell(f);
    if (!f || size < 0 || fseek(f, 0, SEEK_SET) != 0) {
        if (f) fclose(f);
        printf("FAIL: Hiscore.load: Nie udalo sie otworzyc pliku\n");
        return;
    }
    clear();
    std::string text;
    const bool haveText = readText(f, size, &text);
    fclose(f);
    if (!haveText) return;

    try {
        Parser parser(text, " ");
        const int32_t n = parser.count();
        if (n < 1 || n % 3 != 0) {
            printf("FAIL: Hiscore.load: Zly plik (%d)\n", n);
            return;
        }
        const int32_t rows = n / 3;
        records = new (std::nothrow) ScoreRecord[rows];
        if (!records) {
            printf("FAIL: Hiscore.load: Nie udalo sie zajac pamieci na tabele\n");
            return;
        }
        // Every nick starts null so clear() can release a half-filled table.
        for (int32_t k = 0; k < rows; ++k) records[k] = ScoreRecord{k + 1, nullptr, 0, 0};
        count = rows;
        for (int32_t k = 0; k < rows; ++k) {
            const std::string nick = parser.show(3 * k);
            const size_t len = nick.size() < kNickMax ? nick.size() : kNickMax;
            char* copy = new (std::nothrow) char[len + 1];
            if (!copy) {
                printf("FAIL: Hiscore.load: Nie udalo sie zajac pamieci na nick gracza\n");
                clear();
                return;
            }
            memcpy(copy, nick.data(), len);
            copy[len] = 0;
            records[k].nick = copy;
            records[k].flies = parser.val(3 * k + 1);
            records[k].time = parser.val(3 * k + 2);
        }
    } catch (const std::bad_alloc&) {
        printf("FAIL: Hiscore.load: Nie udalo sie zajac pamieci na tabele\n");
        clear();
        return;
    }
    printf("OK  : Hiscore.load: Wczytano wyniki\n");
}

// Greater key first.
static int byFlies(const void* a, const void* b) {
    const int32_t x = static_cast<const ScoreRecord*>(a)->flies;
    const int32_t y = static_cast<const ScoreRecord*>(b)->flies;
    return x > y ? -1 : x < y ? 1 : 0;
}

static int byTime(const void* a, const void* b) {
    const int32_t x = static_cast<const ScoreRecord*>(a)->time;
    const int32_t y = static_cast<const ScoreRecord*>(b)->time;
    return x > y ? -1 : x < y ? 1 : 0;
}

void Hiscore::sortByFlies() {
    if (count > 0) qsort(records, size_t(count), sizeof(ScoreRecord), byFlies);
    sortedByFlies = true;
}

void Hiscore::sortByTime() {
    if (count > 0) qsort(records, size_t(count), sizeof(ScoreRecord), byTime);
    sortedByFlies = false;
}
