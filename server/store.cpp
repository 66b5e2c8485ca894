#include "server/store.h"

const char* const olderPostReason = "posted before recordings were checked";

std::string replaysSchema(const char* idType, const char* blobType) {
    return std::string("CREATE TABLE IF NOT EXISTS replays (") +
           " id " + idType + " PRIMARY KEY,"
           " hash TEXT NOT NULL UNIQUE,"
           " round TEXT NOT NULL UNIQUE,"
           " bytes " + blobType + " NOT NULL,"
           " client TEXT NOT NULL,"
           " nick TEXT NOT NULL,"
           " flies INTEGER NOT NULL,"
           " time INTEGER NOT NULL,"
           " frames INTEGER NOT NULL,"
           " played BIGINT NOT NULL,"
           // queued, checking, matched, mismatch or refused
           " state TEXT NOT NULL DEFAULT 'queued',"
           " reason TEXT,"
           " owner TEXT,"
           " lease BIGINT);"
           "CREATE INDEX IF NOT EXISTS replays_waiting ON replays (id) WHERE state IN ('queued', 'checking');"
           "CREATE INDEX IF NOT EXISTS replays_client ON replays (client) WHERE state IN ('queued', 'checking');"
           // The checked table's two top tens, without walking the unlisted posts.
           "CREATE INDEX IF NOT EXISTS scores_listed_by_flies ON scores (flies DESC, id) WHERE replay IS NOT NULL;"
           "CREATE INDEX IF NOT EXISTS scores_listed_by_time ON scores (time DESC, id) WHERE replay IS NOT NULL;"
           "CREATE INDEX IF NOT EXISTS scores_waiting ON scores (posted) WHERE replay IS NULL AND reason IS NULL;";
}

void ScoreStore::watchOthers(const std::atomic<bool>&, const std::function<void()>&) {}

bool ScoreStore::inTransaction(const std::function<bool(std::string*)>& body, std::string* error) {
    if (!sql(beginSql(), {}, nullptr, error)) return false;
    if (!body(error) || !sql("COMMIT", {}, nullptr, error)) {
        std::string ignored;
        sql("ROLLBACK", {}, nullptr, &ignored);
        return false;
    }
    return durable(error);
}

bool ScoreStore::rows(bool checkedOnly, std::vector<TableRow>* rows, std::string* error) {
    const std::string which = checkedOnly ? "replay IS NOT NULL" : "1 = 1";
    const std::string query =
        "SELECT s.nick, s.flies, s.time, COALESCE(r.played, " + postedEpochSql() + "), COALESCE(s.replay, 0)"
        " FROM scores s LEFT JOIN replays r ON r.id = s.replay"
        " WHERE s.id IN (SELECT id FROM scores WHERE " + which + " ORDER BY flies DESC, id ASC LIMIT 10)"
        "    OR s.id IN (SELECT id FROM scores WHERE " + which + " ORDER BY time DESC, id ASC LIMIT 10)"
        " ORDER BY s.time DESC, s.id ASC";
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Row> found;
    if (!sql(query, {}, &found, error)) return false;
    rows->clear();
    for (const Row& r : found) {
        TableRow row;
        row.score.nick = r[0];
        row.score.flies = static_cast<int32_t>(std::stol(r[1]));
        row.score.time = static_cast<int32_t>(std::stol(r[2]));
        row.playedAt = std::stoll(r[3]);
        row.replay = std::stoll(r[4]);
        rows->push_back(row);
    }
    return true;
}

long long ScoreStore::count() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Row> found;
    std::string ignored;
    return sql("SELECT COUNT(*) FROM scores", {}, &found, &ignored) ? std::stoll(found.at(0).at(0)) : -1;
}

bool ScoreStore::addReplays(const std::vector<Upload>& uploads, int waitingMost, std::vector<UploadAnswer>* answers,
                            std::string* error) {
    std::lock_guard<std::mutex> lock(mutex_);
    return inTransaction([&](std::string* error) {
        answers->clear();
        for (const Upload& u : uploads) {
            UploadAnswer a;
            std::vector<Row> found;
            if (!sql("SELECT state, reason FROM replays WHERE hash = $1", {u.hash}, &found, error)) return false;
            if (!found.empty()) {
                a.status = 200;
                a.text = found[0][0] + (found[0][1].empty() ? "" : ": " + found[0][1]);
            } else if (!sql("SELECT id FROM scores WHERE nick = $1 AND flies = $2 AND time = $3",
                            {u.score.nick, u.score.flies, u.score.time}, &found, error)) {
                return false;
            } else if (found.empty()) {
                a = {422, "no score posted for this round"};
            } else if (!sql("SELECT id FROM replays WHERE round = $1", {u.round}, &found, error)) {
                return false;
            } else if (!found.empty()) {
                a = {422, "this round was sent already, as recording " + found[0][0]};
            } else if (!sql("SELECT COUNT(*) FROM replays WHERE client = $1 AND state IN ('queued', 'checking')",
                            {u.client}, &found, error)) {
                return false;
            } else if (std::stoll(found[0][0]) >= waitingMost) {
                a = {429, "too many recordings waiting"};
            } else if (!sql("INSERT INTO replays (hash, round, bytes, client, nick, flies, time, frames, played)"
                            " VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9) RETURNING id",
                            {u.hash, u.round, Param(u.bytes, true), u.client, u.score.nick, u.score.flies,
                             u.score.time, u.frames, static_cast<long long>(u.playedAt)},
                            &found, error)) {
                return false;
            } else {
                a = {202, "queued as recording " + found[0][0]};
            }
            answers->push_back(a);
        }
        return true;
    }, error);
}

bool ScoreStore::claim(const std::string& owner, int leaseSeconds, Claim* claim, std::string* error) {
    const std::string now = nowSql();
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Row> found;
    const bool ok = inTransaction([&](std::string* error) {
        return sql("UPDATE replays SET state = 'checking', owner = $1, lease = " + now + " + $2"
                   " WHERE id = (SELECT id FROM replays WHERE state = 'queued' OR (state = 'checking' AND lease < " +
                       now + ") ORDER BY id LIMIT 1" + skipLockedSql() + ") RETURNING id, bytes, frames",
                   {owner, leaseSeconds}, &found, error);
    }, error);
    if (!ok || found.empty()) return false;
    claim->id = std::stoll(found[0][0]);
    claim->bytes = found[0][1];
    claim->frames = static_cast<int32_t>(std::stol(found[0][2]));
    return true;
}

bool ScoreStore::renew(int64_t id, const std::string& owner, int leaseSeconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Row> found;
    std::string ignored;
    return sql(std::string("UPDATE replays SET lease = ") + nowSql() +
                   " + $3 WHERE id = $1 AND owner = $2 AND state = 'checking' RETURNING id",
               {static_cast<long long>(id), owner, leaseSeconds}, &found, &ignored) &&
           !found.empty();
}

void ScoreStore::release(int64_t id, const std::string& owner) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string ignored;
    sql("UPDATE replays SET state = 'queued', owner = NULL, lease = NULL WHERE id = $1 AND owner = $2 AND state = 'checking'",
        {static_cast<long long>(id), owner}, nullptr, &ignored);
}

bool ScoreStore::finish(int64_t id, const std::string& owner, const std::string& state, const std::string& reason,
                        bool* listed, std::string* post, std::string* error) {
    std::lock_guard<std::mutex> lock(mutex_);
    *listed = false;
    bool held = false;
    const bool ok = inTransaction([&](std::string* error) {
        std::vector<Row> found;
        if (!sql("UPDATE replays SET state = $3, reason = $4, owner = NULL, lease = NULL"
                 " WHERE id = $1 AND owner = $2 AND state = 'checking' RETURNING nick, flies, time",
                 {static_cast<long long>(id), owner, state, reason}, &found, error))
            return false;
        if (found.empty()) return true;  // the lease ran out: another server has it now
        held = true;
        *post = found[0][0] + " " + found[0][1] + " " + found[0][2];
        const std::vector<Param> key = {found[0][0], found[0][1], found[0][2], static_cast<long long>(id)};
        const std::string which = " WHERE nick = $1 AND flies = $2 AND time = $3 AND replay IS NULL RETURNING id";
        if (state != "matched")
            return sql("UPDATE scores SET reason = 'recording ' || $4 || ': ' || $5" + which,
                       {key[0], key[1], key[2], key[3], state + ": " + reason}, nullptr, error);
        if (!sql("UPDATE scores SET replay = $4, reason = NULL" + which, key, &found, error)) return false;
        *listed = !found.empty();
        return !*listed || !*announceSql() || sql(announceSql(), {}, nullptr, error);
    }, error);
    if (ok && !held) *error = "its lease ran out";
    return ok && held;
}

bool ScoreStore::matchedReplay(int64_t id, std::string* bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Row> found;
    std::string ignored;
    if (!sql("SELECT bytes FROM replays WHERE id = $1 AND state = 'matched'", {static_cast<long long>(id)}, &found,
             &ignored) ||
        found.empty())
        return false;
    *bytes = found[0][0];
    return true;
}

std::vector<Score> ScoreStore::expireWaiting(long long seconds, std::string* error) {
    std::vector<Score> expired;
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Row> found;
    const std::string reason = "no recording within " + std::to_string(seconds) + " s of the post";
    if (!sql("UPDATE scores SET reason = $1 WHERE replay IS NULL AND reason IS NULL AND " + postedEpochSql() +
                 " < " + nowSql() + " - $2 RETURNING nick, flies, time",
             {reason, seconds}, &found, error))
        return expired;
    for (const Row& r : found)
        expired.push_back({r[0], static_cast<int32_t>(std::stol(r[1])), static_cast<int32_t>(std::stol(r[2]))});
    return expired;
}

std::string ScoreStore::queueSummary() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Row> found;
    std::string ignored, text;
    if (!sql("SELECT state, COUNT(*) FROM replays GROUP BY state ORDER BY state", {}, &found, &ignored)) return "?";
    for (const Row& r : found) text += (text.empty() ? "" : ", ") + r[1] + " " + r[0];
    return text.empty() ? "no recordings" : "recordings: " + text;
}

bool ScoreStore::posts(std::vector<StoredPost>* posts, std::string* error) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Row> found;
    if (!sql("SELECT id, nick, flies, time, " + postedEpochSql() + ", COALESCE(replay, 0), COALESCE(reason, '')"
             " FROM scores ORDER BY id", {}, &found, error))
        return false;
    posts->clear();
    for (const Row& r : found) {
        StoredPost p;
        p.id = std::stoll(r[0]);
        p.score = {r[1], static_cast<int32_t>(std::stol(r[2])), static_cast<int32_t>(std::stol(r[3]))};
        p.postedAt = std::stoll(r[4]);
        p.replay = std::stoll(r[5]);
        p.reason = r[6];
        posts->push_back(std::move(p));
    }
    return true;
}

bool ScoreStore::remove(const std::string& nick, const Score* exact, int* removed, std::string* error) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string which = exact ? " WHERE nick = $1 AND flies = $2 AND time = $3" : " WHERE nick = $1";
    std::vector<Param> key = {nick};
    if (exact) key.insert(key.end(), {Param(exact->flies), Param(exact->time)});
    std::vector<Row> found;
    return inTransaction([&](std::string* error) {
        if (!sql("DELETE FROM replays" + which, key, nullptr, error) ||
            !sql("DELETE FROM scores" + which + " RETURNING id", key, &found, error))
            return false;
        *removed = static_cast<int>(found.size());
        return !*removed || !*announceSql() || sql(announceSql(), {}, nullptr, error);
    }, error);
}

bool ScoreStore::backup(const std::string&, std::string* error) {
    *error = "this store has no backup of its own";
    return false;
}

bool isPostgresUrl(const std::string& where) {
    return where.rfind("postgresql://", 0) == 0 || where.rfind("postgres://", 0) == 0;
}

std::unique_ptr<ScoreStore> openStore(const std::string& where, std::string* error) {
    if (isPostgresUrl(where)) return openPgStore(where, error);
    return openSqliteStore(where, error);
}
