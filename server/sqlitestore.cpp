// The scores in one SQLite file. The server holds the file in exclusive
// locking mode: the write-ahead log's index then lives in this process's
// memory instead of a shared "-shm" file (one that cannot be written used to
// kill the process with SIGBUS), and a second server on the same file is
// refused at start-up instead of sharing it.
#include <sqlite3.h>

#include "server/store.h"

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

const char* const schema =
    "CREATE TABLE IF NOT EXISTS scores ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " nick TEXT NOT NULL,"
    " flies INTEGER NOT NULL,"
    " time INTEGER NOT NULL,"
    " posted TEXT NOT NULL DEFAULT (datetime('now')));"
    "CREATE INDEX IF NOT EXISTS scores_by_flies ON scores (flies DESC, id);"
    "CREATE INDEX IF NOT EXISTS scores_by_time ON scores (time DESC, id);"
    // A score is stored once. Files from before this rule may hold repeats:
    // the first of each stays.
    "DELETE FROM scores WHERE NOT EXISTS (SELECT 1 FROM sqlite_master WHERE name = 'scores_once')"
    " AND id NOT IN (SELECT MIN(id) FROM scores GROUP BY nick, flies, time);"
    "CREATE UNIQUE INDEX IF NOT EXISTS scores_once ON scores (nick, flies, time);";

// Adds what checking recordings needs to a file of any earlier version: its
// posts stay, unlisted in checked mode, with the reason why.
std::string upgrade() {
    return std::string("ALTER TABLE scores ADD COLUMN replay INTEGER;"
                       "ALTER TABLE scores ADD COLUMN reason TEXT;"
                       "UPDATE scores SET reason = '") + olderPostReason + "';" +
           replaysSchema("INTEGER", "BLOB") + "PRAGMA user_version = 1;";
}

class SqliteStore : public ScoreStore {
public:
    ~SqliteStore() override {
        sqlite3_finalize(insert_);
        sqlite3_close(db_);
    }

    bool open(const std::string& path, std::string* error) {
        path_ = path;
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            nullptr) != SQLITE_OK) {
            *error = db_ ? sqlite3_errmsg(db_) : "out of memory";
            return false;
        }
        // FULL syncs every commit before add() returns, so an answered post
        // survives a crash or SIGKILL of the server. The schema is written in
        // one transaction, which takes the exclusive lock for good.
        std::vector<Row> version;
        return exec(db_, "PRAGMA locking_mode=EXCLUSIVE;", error) &&
               exec(db_, "PRAGMA journal_mode=WAL;", error) &&
               exec(db_, "PRAGMA synchronous=FULL;", error) &&
               exec(db_, "BEGIN IMMEDIATE;", error) &&
               ((exec(db_, schema, error) && sql("PRAGMA user_version", {}, &version, error) &&
                 (version.at(0).at(0) != "0" || exec(db_, upgrade().c_str(), error)) &&
                 // One process owns the file: a check in hand when the last one stopped starts again.
                 exec(db_, "UPDATE replays SET state = 'queued', owner = NULL, lease = NULL WHERE state = 'checking'",
                      error)) ||
                (exec(db_, "ROLLBACK;", error), false)) &&
               exec(db_, "COMMIT;", error) &&
               prepare("INSERT OR IGNORE INTO scores (nick, flies, time) VALUES (?, ?, ?)",
                       &insert_, error);
    }

    bool add(const std::vector<Score>& scores, int* added, std::string* error) override {
        std::lock_guard<std::mutex> lock(mutex_);
        *added = 0;
        if (moved(error) || !exec(db_, "BEGIN IMMEDIATE;", error)) return false;
        for (const Score& s : scores) {
            sqlite3_reset(insert_);
            sqlite3_bind_text(insert_, 1, s.nick.c_str(), static_cast<int>(s.nick.size()),
                              SQLITE_TRANSIENT);
            sqlite3_bind_int(insert_, 2, s.flies);
            sqlite3_bind_int(insert_, 3, s.time);
            if (sqlite3_step(insert_) != SQLITE_DONE) {
                *error = sqlite3_errmsg(db_);
                sqlite3_reset(insert_);
                std::string ignored;
                exec(db_, "ROLLBACK;", &ignored);
                return false;
            }
            *added += sqlite3_changes(db_);
        }
        sqlite3_reset(insert_);
        if (!exec(db_, "COMMIT;", error)) {
            std::string ignored;
            exec(db_, "ROLLBACK;", &ignored);
            return false;
        }
        // Committed to a file that a restart would not open again is not stored.
        return !moved(error);
    }

    std::string where() const override { return path_; }

    // VACUUM INTO reads one snapshot and writes a compact file of it.
    bool backup(const std::string& path, std::string* error) override {
        std::lock_guard<std::mutex> lock(mutex_);
        return sql("VACUUM INTO $1", {path}, nullptr, error);
    }

protected:
    bool sql(const std::string& statement, const std::vector<Param>& params, std::vector<Row>* out,
             std::string* error) override {
        // Parameters are written $N as PostgreSQL has them; SQLite numbers them ?N.
        std::string text = statement;
        for (char& c : text)
            if (c == '$') c = '?';
        Statement st;
        if (!prepare(text.c_str(), &st.s, error)) return false;
        for (size_t i = 0; i < params.size(); i++) {
            const std::string& v = params[i].value;
            const int at = static_cast<int>(i + 1), size = static_cast<int>(v.size());
            if (params[i].blob) sqlite3_bind_blob(st.s, at, v.data(), size, SQLITE_TRANSIENT);
            else sqlite3_bind_text(st.s, at, v.data(), size, SQLITE_TRANSIENT);
        }
        if (out) out->clear();
        int rc;
        while ((rc = sqlite3_step(st.s)) == SQLITE_ROW) {
            if (!out) continue;
            Row row;
            for (int c = 0; c < sqlite3_column_count(st.s); c++) {
                const char* bytes = static_cast<const char*>(sqlite3_column_blob(st.s, c));
                row.emplace_back(bytes ? bytes : "", static_cast<size_t>(sqlite3_column_bytes(st.s, c)));
            }
            out->push_back(std::move(row));
        }
        if (rc == SQLITE_DONE) return true;
        *error = sqlite3_errmsg(db_);
        return false;
    }
    const char* beginSql() const override { return "BEGIN IMMEDIATE"; }
    const char* nowSql() const override { return "CAST(strftime('%s', 'now') AS INTEGER)"; }
    const char* skipLockedSql() const override { return ""; }
    std::string postedEpochSql() const override { return "CAST(strftime('%s', posted) AS INTEGER)"; }
    const char* announceSql() const override { return ""; }
    bool durable(std::string* error) override { return !moved(error); }

private:
    bool prepare(const char* sql, sqlite3_stmt** st, std::string* error) {
        if (sqlite3_prepare_v2(db_, sql, -1, st, nullptr) == SQLITE_OK) return true;
        *error = sqlite3_errmsg(db_);
        return false;
    }

    // Whether the file at the path is no longer the one open here (deleted,
    // renamed or replaced); true with the reason in `error`.
    bool moved(std::string* error) {
        int hasMoved = 0;
        if (sqlite3_file_control(db_, "main", SQLITE_FCNTL_HAS_MOVED, &hasMoved) != SQLITE_OK)
            hasMoved = 1;
        if (hasMoved)
            *error = "the file " + path_ + " was deleted or replaced; restart the server to open it";
        return hasMoved != 0;
    }

    sqlite3* db_ = nullptr;
    sqlite3_stmt* insert_ = nullptr;
    std::string path_;
};

}  // namespace

std::unique_ptr<ScoreStore> openSqliteStore(const std::string& path, std::string* error) {
    auto store = std::make_unique<SqliteStore>();
    if (!store->open(path, error)) return nullptr;
    return store;
}
