// The score table shown by the score screen, loaded from the downloaded
// "dl.txt": records "nick flies time" separated by spaces, all on one line.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct ScoreRecord {
    int32_t place;     // position in the loaded file, from 1; sorting keeps it
    std::string nick;  // at most 32 bytes
    int32_t flies;
    int32_t time;      // frames survived
};

class Hiscore {
public:
    // Replaces the table with the file's records; false with a log line when it
    // could not. A file that cannot be opened leaves the table unchanged; any
    // later failure leaves it empty.
    bool load(const char* fileName);
    // Highest first; records with equal keys keep their order.
    void sortByFlies();
    void sortByTime();
    void clear() { records.clear(); }
    int32_t count() const { return static_cast<int32_t>(records.size()); }

    int32_t limit = 10;                // most rows the score screen prints
    std::vector<ScoreRecord> records;  // in file order until sorted
    bool sortedByFlies = false;
};
