// The scores in a PostgreSQL database, which several server processes (on
// several machines) may share. A repeat is refused by a unique key, so two
// servers taking the same post store it once; every commit waits for the
// database's own durable flush; each group of new rows is announced with
// NOTIFY, so the other servers render their tables again.
#include <libpq-fe.h>
#include <poll.h>

#include <chrono>
#include <thread>

#include "server/store.h"

namespace {

const char* const channel = "bzykolot2_scores";

const char* const schema =
    // Two servers starting on a fresh database would race to create the table.
    "SELECT pg_advisory_xact_lock(4242424242);"
    "CREATE TABLE IF NOT EXISTS scores ("
    " id BIGSERIAL PRIMARY KEY,"
    " nick TEXT NOT NULL,"
    " flies INTEGER NOT NULL,"
    " time INTEGER NOT NULL,"
    " posted TIMESTAMPTZ NOT NULL DEFAULT now(),"
    " UNIQUE (nick, flies, time));"
    "CREATE INDEX IF NOT EXISTS scores_by_flies ON scores (flies DESC, id);"
    "CREATE INDEX IF NOT EXISTS scores_by_time ON scores (time DESC, id);";

// Adds what checking recordings needs to a database of any earlier version:
// its posts stay, unlisted in checked mode, with the reason why.
std::string upgrade() {
    return std::string("DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM information_schema.columns"
                       " WHERE table_schema = current_schema() AND table_name = 'scores' AND column_name = 'replay') THEN"
                       " ALTER TABLE scores ADD COLUMN replay BIGINT;"
                       " ALTER TABLE scores ADD COLUMN reason TEXT;"
                       " UPDATE scores SET reason = '") + olderPostReason + "'; END IF; END $$;" +
           replaysSchema("BIGSERIAL", "BYTEA");
}

// The connection's last error, without libpq's closing line break.
std::string lastError(PGconn* conn) {
    std::string e = PQerrorMessage(conn);
    while (!e.empty() && e.back() == '\n') e.pop_back();
    return e;
}

// Owns one result.
struct Result {
    PGresult* r;
    explicit Result(PGresult* res) : r(res) {}
    ~Result() { PQclear(r); }
    bool ok() const {
        ExecStatusType s = PQresultStatus(r);
        return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK;
    }
};

// A connection, opened again after it broke.
class Connection {
public:
    explicit Connection(std::string url) : url_(std::move(url)) {}
    ~Connection() { PQfinish(conn_); }

    // Connected and ready, reconnecting when needed; false with the reason.
    bool ready(std::string* error) {
        if (conn_ && PQstatus(conn_) == CONNECTION_OK) return true;
        if (conn_)
            PQreset(conn_);
        else
            conn_ = PQconnectdb(url_.c_str());
        if (PQstatus(conn_) != CONNECTION_OK) {
            *error = lastError(conn_);
            return false;
        }
        // Whatever the database's default, a commit returns once it is durable;
        // notices ("already exists, skipping") are no news for the log.
        return run("SET synchronous_commit TO on; SET client_min_messages TO warning", error);
    }

    // Runs statements without parameters; false with the reason.
    bool run(const std::string& sql, std::string* error) {
        Result res(PQexec(conn_, sql.c_str()));
        if (res.ok()) return true;
        *error = lastError(conn_);
        return false;
    }

    PGconn* get() const { return conn_; }

private:
    std::string url_;
    PGconn* conn_ = nullptr;
};

class PgStore : public ScoreStore {
public:
    explicit PgStore(const std::string& url) : url_(url), conn_(url) {}

    bool open(std::string* error) {
        if (!conn_.ready(error)) return false;
        where_ = std::string("postgresql://") + PQhost(conn_.get()) + ":" + PQport(conn_.get()) +
                 "/" + PQdb(conn_.get());
        return conn_.run(std::string("BEGIN;") + schema + upgrade() + "COMMIT;", error);
    }

    bool add(const std::vector<Score>& scores, int* added, std::string* error) override {
        std::lock_guard<std::mutex> lock(mutex_);
        *added = 0;
        if (scores.empty()) return true;
        if (!conn_.ready(error)) return false;
        ownPid_ = PQbackendPID(conn_.get());
        // One statement, so one transaction: the rows and their announcement.
        // Nicks are letters, digits and underscores; quoted all the same.
        std::string sql = "WITH new AS (INSERT INTO scores (nick, flies, time) VALUES ";
        for (size_t i = 0; i < scores.size(); i++) {
            char* nick = PQescapeLiteral(conn_.get(), scores[i].nick.c_str(), scores[i].nick.size());
            if (!nick) {
                *error = lastError(conn_.get());
                return false;
            }
            sql += (i ? ",(" : "(") + std::string(nick) + "," + std::to_string(scores[i].flies) +
                   "," + std::to_string(scores[i].time) + ")";
            PQfreemem(nick);
        }
        sql += " ON CONFLICT DO NOTHING RETURNING 1)"
               " SELECT n, CASE WHEN n > 0 THEN pg_notify('" + std::string(channel) +
               "', '') END FROM (SELECT count(*) AS n FROM new) AS c";
        Result res(PQexec(conn_.get(), sql.c_str()));
        if (PQresultStatus(res.r) != PGRES_TUPLES_OK || PQntuples(res.r) != 1) {
            *error = lastError(conn_.get());
            return false;
        }
        *added = std::atoi(PQgetvalue(res.r, 0, 0));
        return true;
    }

    void watchOthers(const std::atomic<bool>& stop, const std::function<void()>& changed) override {
        Connection listener(url_);
        bool listening = false;
        while (!stop) {
            std::string error;
            if (!listening) {
                listening = listener.ready(&error) &&
                            listener.run(std::string("LISTEN ") + channel, &error);
                // Whatever was announced while nobody listened.
                if (listening) changed();
                else std::this_thread::sleep_for(std::chrono::seconds(1));
                continue;
            }
            pollfd p{PQsocket(listener.get()), POLLIN, 0};
            if (poll(&p, 1, 250) < 0 || !PQconsumeInput(listener.get())) {
                listening = false;
                continue;
            }
            bool others = false;
            while (PGnotify* n = PQnotifies(listener.get())) {
                others = others || n->be_pid != ownPid_;
                PQfreemem(n);
            }
            if (others) changed();
        }
    }

    std::string where() const override { return where_; }

protected:
    bool sql(const std::string& statement, const std::vector<Param>& params, std::vector<Row>* out,
             std::string* error) override {
        if (!conn_.ready(error)) return false;
        ownPid_ = PQbackendPID(conn_.get());
        std::vector<const char*> values;
        std::vector<int> lengths, formats;
        for (const Param& p : params) {
            values.push_back(p.value.c_str());
            lengths.push_back(static_cast<int>(p.value.size()));
            formats.push_back(p.blob ? 1 : 0);
        }
        Result res(PQexecParams(conn_.get(), statement.c_str(), static_cast<int>(params.size()), nullptr,
                                values.data(), lengths.data(), formats.data(), 0));
        if (!res.ok()) {
            *error = lastError(conn_.get());
            return false;
        }
        if (!out) return true;
        out->clear();
        const Oid bytea = 17;
        for (int i = 0; i < PQntuples(res.r); i++) {
            Row row;
            for (int c = 0; c < PQnfields(res.r); c++) {
                const char* text = PQgetvalue(res.r, i, c);
                if (PQftype(res.r, c) != bytea || PQgetisnull(res.r, i, c)) {
                    row.emplace_back(text, static_cast<size_t>(PQgetlength(res.r, i, c)));
                    continue;
                }
                size_t size = 0;
                unsigned char* bytes = PQunescapeBytea(reinterpret_cast<const unsigned char*>(text), &size);
                if (!bytes) return *error = "out of memory", false;
                row.emplace_back(reinterpret_cast<char*>(bytes), size);
                PQfreemem(bytes);
            }
            out->push_back(std::move(row));
        }
        return true;
    }
    const char* beginSql() const override { return "BEGIN"; }
    const char* nowSql() const override { return "CAST(EXTRACT(EPOCH FROM now()) AS BIGINT)"; }
    const char* skipLockedSql() const override { return " FOR UPDATE SKIP LOCKED"; }
    std::string postedEpochSql() const override { return "CAST(EXTRACT(EPOCH FROM posted) AS BIGINT)"; }
    const char* announceSql() const override {
        static const std::string announce = std::string("SELECT pg_notify('") + channel + "', '')";
        return announce.c_str();
    }

private:
    std::string url_, where_;
    Connection conn_;
    std::atomic<int> ownPid_{0};  // the backend of conn_, whose announcements are our own
};

}  // namespace

std::unique_ptr<ScoreStore> openPgStore(const std::string& url, std::string* error) {
    auto store = std::make_unique<PgStore>(url);
    if (!store->open(error)) return nullptr;
    return store;
}
