// Where the scores are kept: an SQLite file that this process alone writes, or
// a PostgreSQL database that several server processes may share.
#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "server/form.h"

class ScoreStore {
public:
    virtual ~ScoreStore() = default;

    // Stores, in one transaction made durable before this returns, every score
    // that is not stored yet: an exact repeat of a stored nick, flies and time
    // is skipped. `added` counts the new rows. False with the reason in `error`
    // when nothing may be taken as stored.
    virtual bool add(const std::vector<Score>& scores, int* added, std::string* error) = 0;
    // The union of the 10 best rounds by flies and the 10 best by time (ties go
    // to the earlier submission), highest time first, as "nick flies time"
    // records joined by single spaces; empty without scores. False on an error.
    virtual bool table(std::string* text, std::string* error) = 0;
    // Number of stored scores, or -1 on error.
    virtual long long count() = 0;
    // Calls `changed` whenever another process may have added scores, until
    // `stop` is set (checked a few times a second). Returns at once for a store
    // that no other process writes.
    virtual void watchOthers(const std::atomic<bool>& stop, const std::function<void()>& changed);
    // Where the scores are, for the log (no password).
    virtual std::string where() const = 0;
};

// "postgresql://..." or "postgres://..." opens a PostgreSQL database; anything
// else is an SQLite file, created if missing. Null with the reason in `error`.
std::unique_ptr<ScoreStore> openStore(const std::string& where, std::string* error);

// The store kinds, for openStore.
std::unique_ptr<ScoreStore> openSqliteStore(const std::string& path, std::string* error);
std::unique_ptr<ScoreStore> openPgStore(const std::string& url, std::string* error);

// The table query, the same for both kinds.
extern const char* const tableQuery;
