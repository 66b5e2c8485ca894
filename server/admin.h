// The admin's commands: list the stored posts, remove a nick's posts (or one
// of them), take a consistent backup. Local only: a running server takes them
// on a Unix socket beside its SQLite file that only its own user (and root)
// may open, since it holds that file locked; a stopped server's file, and a
// PostgreSQL database at any time, are opened directly.
#pragma once
#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "server/store.h"

// Runs "list", "remove NICK [FLIES TIME]" or "backup FILE" with the options
// that follow (--db, --admin-socket); the exit code.
int adminMain(int argc, char** argv);
// Whether argv[1] names an admin command.
bool isAdminCommand(const char* word);

// The socket of a server on the SQLite file `db`, unless given.
std::string adminSocketFor(const std::string& db);

// A running server's end of the socket: one request at a time, answered from
// the server's own store; `changed` is called after a removal, once the table
// shows it.
class AdminSocket {
public:
    AdminSocket(ScoreStore& store, std::function<void()> changed) : store_(store), changed_(std::move(changed)) {}
    ~AdminSocket() { stop(); }
    AdminSocket(const AdminSocket&) = delete;
    AdminSocket& operator=(const AdminSocket&) = delete;

    // Binds `path` (a stale socket there is replaced) and starts; false with the reason.
    bool start(const std::string& path, std::string* error);
    void stop();

private:
    void serve();

    ScoreStore& store_;
    std::function<void()> changed_;
    std::string path_;
    int fd_ = -1;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};
