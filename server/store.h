// The scores on disk: one SQLite table, every accepted score committed with a
// full sync before the post is answered.
#pragma once
#include <mutex>
#include <string>

#include "server/form.h"

struct sqlite3;

class ScoreStore {
public:
    ScoreStore() = default;
    ~ScoreStore();
    ScoreStore(const ScoreStore&) = delete;
    ScoreStore& operator=(const ScoreStore&) = delete;

    // Opens or creates the database; false with the reason in `error`.
    bool open(const std::string& path, std::string* error);
    // Stores one score durably; false with the reason in `error`.
    bool add(const Score& score, std::string* error);
    // The union of the 10 best rounds by flies and the 10 best by time (ties go
    // to the earlier submission), highest time first, as "nick flies time"
    // records joined by single spaces. Empty when there are no scores; false on
    // a database error.
    bool table(std::string* text, std::string* error);
    // Number of stored scores, or -1 on error.
    long long count();

private:
    sqlite3* db_ = nullptr;
    std::mutex mutex_;  // one connection shared by the server's worker threads
};
