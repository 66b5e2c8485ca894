#include "server/store.h"

const char* const tableQuery =
    "SELECT nick, flies, time FROM scores"
    " WHERE id IN (SELECT id FROM scores ORDER BY flies DESC, id ASC LIMIT 10)"
    "    OR id IN (SELECT id FROM scores ORDER BY time DESC, id ASC LIMIT 10)"
    " ORDER BY time DESC, id ASC";

void ScoreStore::watchOthers(const std::atomic<bool>&, const std::function<void()>&) {}

std::unique_ptr<ScoreStore> openStore(const std::string& where, std::string* error) {
    if (where.rfind("postgresql://", 0) == 0 || where.rfind("postgres://", 0) == 0)
        return openPgStore(where, error);
    return openSqliteStore(where, error);
}
