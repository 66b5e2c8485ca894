// The score table shown by the score screen, loaded from the downloaded
// "dl.txt": records "nick flies time" separated by spaces, all on one line.
#pragma once
#include <cstdint>

struct ScoreRecord {
    int32_t place;  // position in the loaded file, from 1; sorting keeps it
    char* nick;     // at most 32 bytes + terminator, owned by the table
    int32_t flies;
    int32_t time;   // frames survived
};

class Hiscore {
public:
    Hiscore() = default;
    ~Hiscore() { clear(); }
    Hiscore(const Hiscore&) = delete;
    Hiscore& operator=(const Hiscore&) = delete;

    // Replaces the table with the file's records; reports through the log. A file
    // that cannot be opened leaves the table unchanged; any later failure leaves it empty.
    void load(const char* fileName);
    void sortByFlies();  // highest first
    void sortByTime();   // highest first
    void clear();

    int32_t limit = 10;              // most rows the score screen prints
    int32_t count = 0;
    ScoreRecord* records = nullptr;  // one contiguous array of count records
    bool sortedByFlies = false;
};
