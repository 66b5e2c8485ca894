// Where the scores are kept: an SQLite file that this process alone writes, or
// a PostgreSQL database that several server processes may share. Beside the
// posted scores it keeps the recordings sent to prove them, as a queue of
// rounds to play again: queued -> checking (leased to one server for a while)
// -> matched | mismatch | refused. A post is listed in checked mode once a
// recording of it matched.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "server/form.h"

// One row of the table: the post, when its round was played (its recording's
// start, or when it was posted when it has none; seconds since 1970) and its
// matched recording (0 without one).
struct TableRow {
    Score score;
    int64_t playedAt = 0;
    int64_t replay = 0;
};

// A stored post as the admin lists it: posted in UTC, its matched recording
// (0 without one) and why it is not listed in checked mode ("" when it is, or
// while it waits for its recording).
struct StoredPost {
    int64_t id = 0;
    Score score;
    int64_t postedAt = 0;
    int64_t replay = 0;
    std::string reason;
};

// A decoded recording to queue, with what the queue keys it by.
struct Upload {
    std::string bytes;
    std::string hash;    // of the bytes: the same recording is stored once
    std::string round;   // of the round without its nick and date: a round is sent once
    std::string client;  // limitKey of the sender
    Score score;         // the recording's nick, flies and time
    int32_t frames = 0;
    int64_t playedAt = 0;
};

// What an upload was answered: 202 queued, 200 already stored (its state as
// the text), 422 no post for it or its round already sent, 429 too many of
// the client's recordings waiting.
struct UploadAnswer {
    int status = 500;
    std::string text;
};

// A recording leased for checking.
struct Claim {
    int64_t id = 0;
    std::string bytes;
    int32_t frames = 0;
};

class ScoreStore {
public:
    virtual ~ScoreStore() = default;

    // Stores, in one transaction made durable before this returns, every score
    // that is not stored yet: an exact repeat of a stored nick, flies and time
    // is skipped. `added` counts the new rows. False with the reason in `error`
    // when nothing may be taken as stored.
    virtual bool add(const std::vector<Score>& scores, int* added, std::string* error) = 0;
    // The union of the 10 best rounds by flies and the 10 best by time (ties go
    // to the earlier submission), highest time first; with `checkedOnly` of the
    // posts whose recording matched alone. False on an error.
    bool rows(bool checkedOnly, std::vector<TableRow>* rows, std::string* error);
    // Number of stored scores, or -1 on error.
    long long count();
    // Calls `changed` whenever another process may have changed the table,
    // until `stop` is set (checked a few times a second). Returns at once for a
    // store that no other process writes.
    virtual void watchOthers(const std::atomic<bool>& stop, const std::function<void()>& changed);
    // Where the scores are, for the log (no password).
    virtual std::string where() const = 0;

    // Answers each upload in order, in one durable transaction (see
    // UploadAnswer); `waitingMost` recordings of one client may wait at once.
    // False with the reason when none may be taken as stored.
    bool addReplays(const std::vector<Upload>& uploads, int waitingMost, std::vector<UploadAnswer>* answers,
                    std::string* error);
    // Leases the oldest queued recording (or one whose lease ran out) to
    // `owner` for `leaseSeconds`. False when there is none or on an error.
    bool claim(const std::string& owner, int leaseSeconds, Claim* claim, std::string* error);
    // Extends a lease `owner` still holds; false when it is lost.
    bool renew(int64_t id, const std::string& owner, int leaseSeconds);
    // Puts a leased recording back in the queue, unchecked.
    void release(int64_t id, const std::string& owner);
    // Stores a check's result, "matched", "mismatch" or "refused" with its
    // reason, if `owner` still holds the lease; a match lists the post of the
    // same nick, flies and time, anything else stores the reason on it. Sets
    // `*listed` when a post was listed; `*post` is the recording's "nick flies
    // time". False when the lease was lost or on an error.
    bool finish(int64_t id, const std::string& owner, const std::string& state, const std::string& reason,
                bool* listed, std::string* post, std::string* error);
    // The bytes of a matched recording; false for any other id.
    bool matchedReplay(int64_t id, std::string* bytes);
    // Gives every post still waiting for its recording after `seconds` the
    // reason "no recording within ..." and returns them.
    std::vector<Score> expireWaiting(long long seconds, std::string* error);
    // "N queued" counts of the queue, for the log at start.
    std::string queueSummary();

    // For the admin: every post, oldest first.
    bool posts(std::vector<StoredPost>* posts, std::string* error);
    // Removes the posts of `nick` (with `exact`, only the one of its flies and
    // time) and the recordings sent for them, in one transaction; `*removed`
    // counts the posts.
    bool remove(const std::string& nick, const Score* exact, int* removed, std::string* error);
    // A consistent copy of the whole store into the new file `path`; false
    // with the reason (also for a store that has no such copy of its own).
    virtual bool backup(const std::string& path, std::string* error);

protected:
    // One statement; parameters $1, $2, ... are text, or bytes when `blob`.
    struct Param {
        std::string value;
        bool blob = false;
        Param(std::string v, bool b = false) : value(std::move(v)), blob(b) {}
        Param(long long v) : value(std::to_string(v)) {}
    };
    using Row = std::vector<std::string>;
    // Runs one statement, its rows (blobs as their bytes) into `out` when given.
    virtual bool sql(const std::string& statement, const std::vector<Param>& params, std::vector<Row>* out,
                     std::string* error) = 0;
    // The dialects differ in these pieces of SQL.
    virtual const char* beginSql() const = 0;      // a write transaction
    virtual const char* nowSql() const = 0;        // seconds since 1970, an integer
    virtual const char* skipLockedSql() const = 0; // after the claim's choice
    virtual std::string postedEpochSql() const = 0;  // scores.posted in seconds since 1970
    virtual const char* announceSql() const = 0;   // tells other servers the table changed; "" when none
    // After a commit: false with the reason when it cannot be taken as durable.
    virtual bool durable(std::string*) { return true; }

    // Guards the connection: the book, the checkers and the sweep share it.
    std::mutex mutex_;

private:
    bool inTransaction(const std::function<bool(std::string*)>& body, std::string* error);
};

// "postgresql://..." or "postgres://..." names a PostgreSQL database; anything
// else an SQLite file.
bool isPostgresUrl(const std::string& where);
// Opens either kind, an SQLite file created if missing. Null with the reason in `error`.
std::unique_ptr<ScoreStore> openStore(const std::string& where, std::string* error);

// The store kinds, for openStore.
std::unique_ptr<ScoreStore> openSqliteStore(const std::string& path, std::string* error);
std::unique_ptr<ScoreStore> openPgStore(const std::string& url, std::string* error);

// Why a post made before recordings were checked stays off the checked table.
extern const char* const olderPostReason;
// The recordings' table, the same for both kinds but for the types given.
std::string replaysSchema(const char* idType, const char* blobType);
