#include "server/store.h"

#include <sqlite3.h>

namespace {

bool exec(sqlite3* db, const char* sql, std::string* error) {
    char* msg = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &msg) != SQLITE_OK) {
        *error = msg ? msg : sqlite3_errmsg(db);
        sqlite3_free(msg);
        return false;
    }
    return true;
}

// Finalizes a statement on every return path.
struct Statement {
    sqlite3_stmt* s = nullptr;
    ~Statement() { sqlite3_finalize(s); }
};

}  // namespace

ScoreStore::~ScoreStore() {
    if (db_) sqlite3_close(db_);
}

bool ScoreStore::open(const std::string& path, std::string* error) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
        *error = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        return false;
    }
    sqlite3_busy_timeout(db_, 5000);
    // FULL makes every commit reach the disk before add() returns, so an answered
    // post survives a crash or SIGKILL of the server.
    return exec(db_, "PRAGMA journal_mode=WAL;", error) &&
           exec(db_, "PRAGMA synchronous=FULL;", error) &&
           exec(db_,
                "CREATE TABLE IF NOT EXISTS scores ("
                " id INTEGER PRIMARY KEY AUTOINCREMENT,"
                " nick TEXT NOT NULL,"
                " flies INTEGER NOT NULL,"
                " time INTEGER NOT NULL,"
                " posted TEXT NOT NULL DEFAULT (datetime('now')));"
                "CREATE INDEX IF NOT EXISTS scores_by_flies ON scores (flies DESC, id);"
                "CREATE INDEX IF NOT EXISTS scores_by_time ON scores (time DESC, id);",
                error);
}

bool ScoreStore::add(const Score& score, std::string* error) {
    std::lock_guard<std::mutex> lock(mutex_);
    Statement st;
    if (sqlite3_prepare_v2(db_, "INSERT INTO scores (nick, flies, time) VALUES (?, ?, ?)", -1,
                           &st.s, nullptr) != SQLITE_OK) {
        *error = sqlite3_errmsg(db_);
        return false;
    }
    sqlite3_bind_text(st.s, 1, score.nick.c_str(), static_cast<int>(score.nick.size()),
                      SQLITE_TRANSIENT);
    sqlite3_bind_int(st.s, 2, score.flies);
    sqlite3_bind_int(st.s, 3, score.time);
    // Autocommit: the insert is committed (and synced) when step returns DONE.
    if (sqlite3_step(st.s) != SQLITE_DONE) {
        *error = sqlite3_errmsg(db_);
        return false;
    }
    return true;
}

bool ScoreStore::table(std::string* text, std::string* error) {
    std::lock_guard<std::mutex> lock(mutex_);
    Statement st;
    const char* sql =
        "SELECT nick, flies, time FROM scores"
        " WHERE id IN (SELECT id FROM scores ORDER BY flies DESC, id ASC LIMIT 10)"
        "    OR id IN (SELECT id FROM scores ORDER BY time DESC, id ASC LIMIT 10)"
        " ORDER BY time DESC, id ASC";
    if (sqlite3_prepare_v2(db_, sql, -1, &st.s, nullptr) != SQLITE_OK) {
        *error = sqlite3_errmsg(db_);
        return false;
    }
    text->clear();
    int rc;
    while ((rc = sqlite3_step(st.s)) == SQLITE_ROW) {
        if (!text->empty()) text->push_back(' ');
        *text += reinterpret_cast<const char*>(sqlite3_column_text(st.s, 0));
        *text += ' ' + std::to_string(sqlite3_column_int(st.s, 1));
        *text += ' ' + std::to_string(sqlite3_column_int(st.s, 2));
    }
    if (rc != SQLITE_DONE) {
        *error = sqlite3_errmsg(db_);
        return false;
    }
    return true;
}

long long ScoreStore::count() {
    std::lock_guard<std::mutex> lock(mutex_);
    Statement st;
    if (sqlite3_prepare_v2(db_, "SELECT COUNT(*) FROM scores", -1, &st.s, nullptr) != SQLITE_OK ||
        sqlite3_step(st.s) != SQLITE_ROW)
        return -1;
    return sqlite3_column_int64(st.s, 0);
}
