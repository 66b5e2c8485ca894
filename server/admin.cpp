#include "server/admin.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "base/signature.h"
#include "server/fdio.h"
#include "server/log.h"

namespace {

const char* const adminUsage =
    "Usage: bzykolot2-scores list [--db FILE|URL] [--admin-socket PATH]\n"
    "       bzykolot2-scores remove NICK [FLIES TIME] [--db FILE|URL] [--admin-socket PATH]\n"
    "       bzykolot2-scores backup FILE [--db FILE|URL] [--admin-socket PATH]\n"
    "\n"
    "  list     every stored post: id, nick, flies, time, when it was posted (UTC)\n"
    "           and whether it is checked, waiting for its recording or why not\n"
    "  remove   the posts of NICK (only the one of FLIES and TIME when given) and\n"
    "           the recordings sent for them; the table shows it at once\n"
    "  backup   a consistent copy of the scores into the new file FILE: an SQLite\n"
    "           database, or for PostgreSQL pg_dump's custom format (pg_restore)\n"
    "\n"
    "A server running on the SQLite file answers through its admin socket (by\n"
    "default FILE.admin, which only its user and root may open); a stopped\n"
    "server's file and a PostgreSQL database are opened directly.\n";

std::string utc(int64_t seconds) {
    const time_t t = static_cast<time_t>(seconds);
    tm parts;
    char text[32];
    gmtime_r(&t, &parts);
    strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

// The request as words: the command and its arguments.
using Words = std::vector<std::string>;

// Answers list and remove from `store`: true with the text for the admin, or
// false with the reason. `*removed` counts removed posts.
bool answer(ScoreStore& store, const Words& words, std::string* out, int* removed) {
    *removed = 0;
    if (words[0] == "list") {
        std::vector<StoredPost> posts;
        if (!store.posts(&posts, out)) return false;
        out->clear();
        for (const StoredPost& p : posts) {
            const std::string state = p.replay ? "checked, recording " + std::to_string(p.replay)
                                      : p.reason.empty() ? "waiting for its recording"
                                                         : p.reason;
            *out += std::to_string(p.id) + " " + logSafe(p.score.nick) + " " + std::to_string(p.score.flies) + " " +
                    std::to_string(p.score.time) + " " + utc(p.postedAt) + " " + state + "\n";
        }
        return true;
    }
    Score exact;
    if (words.size() == 4) {
        if (!parseCount(words[2], &exact.flies) || !parseCount(words[3], &exact.time)) {
            *out = "FLIES and TIME are counts";
            return false;
        }
    }
    if (!store.remove(words[1], words.size() == 4 ? &exact : nullptr, removed, out)) return false;
    *out = "removed " + std::to_string(*removed) + (*removed == 1 ? " post\n" : " posts\n");
    return true;
}

// The socket's address; false when the path does not fit.
bool addressOf(const std::string& path, sockaddr_un* addr) {
    std::memset(addr, 0, sizeof *addr);
    addr->sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof addr->sun_path) return false;
    std::memcpy(addr->sun_path, path.c_str(), path.size());
    return true;
}

// Requests travel as one line of tab-separated words; answers as a line,
// "ok" or "error REASON", then the body until the server closes.
std::string requestLine(const Words& words) {
    std::string line;
    for (const std::string& w : words) line += (line.empty() ? "" : "\t") + w;
    return line + "\n";
}

// A file written whole or not at all: FILE.part, synced, then renamed.
bool writeFile(const std::string& path, int from, const std::string& head, std::string* error) {
    const std::string part = path + ".part";
    FILE* out = std::fopen(part.c_str(), "wb");
    if (!out) {
        *error = part + ": " + std::strerror(errno);
        return false;
    }
    bool ok = std::fwrite(head.data(), 1, head.size(), out) == head.size();
    char buffer[65536];
    for (ssize_t n; ok && (n = read(from, buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0 && std::fwrite(buffer, 1, static_cast<size_t>(n), out) == static_cast<size_t>(n);
    }
    ok = std::fflush(out) == 0 && fsync(fileno(out)) == 0 && ok;
    ok = std::fclose(out) == 0 && ok;
    if (!ok || std::rename(part.c_str(), path.c_str()) != 0) {
        *error = path + ": " + std::strerror(errno ? errno : EIO);
        std::remove(part.c_str());
        return false;
    }
    return true;
}

// Sends the request to a running server. -1 when none listens there (go to
// the database directly); otherwise the exit code.
int throughSocket(const std::string& path, const Words& words, const std::string& file) {
    sockaddr_un addr;
    if (!addressOf(path, &addr)) return -1;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        const int why = errno;
        close(fd);
        if (why == ENOENT || why == ECONNREFUSED) return -1;
        std::fprintf(stderr, "bzykolot2-scores: cannot open the server's admin socket %s: %s (run as root or as the server's user)\n",
                     path.c_str(), std::strerror(why));
        return 1;
    }
    std::string head, error;
    char c;
    bool ok = writeAll(fd, requestLine(words));
    for (ssize_t n; ok && (n = read(fd, &c, 1)) != 0 && c != '\n';)
        if (n > 0) head += c;
        else if (errno != EINTR) ok = false;
    if (ok && head == "ok") {
        if (words[0] == "backup") {
            ok = writeFile(file, fd, "", &error);
        } else {
            char buffer[4096];
            for (ssize_t n; ok && (n = read(fd, buffer, sizeof buffer)) != 0;)
                ok = (n > 0 && writeAll(1, buffer, static_cast<size_t>(n))) || (n < 0 && errno == EINTR);
            if (!ok) error = "the answer was cut short";
        }
    } else {
        error = head.rfind("error ", 0) == 0 ? head.substr(6) : "the server answered nothing";
        ok = false;
    }
    close(fd);
    if (!ok) std::fprintf(stderr, "bzykolot2-scores: %s: %s\n", words[0].c_str(), error.c_str());
    return ok ? 0 : 1;
}

// A backup of a PostgreSQL database: pg_dump's own consistent snapshot.
int pgDump(const std::string& url, const std::string& file) {
    const std::string part = file + ".part";
    const pid_t pid = fork();
    if (pid == 0) {
        execlp("pg_dump", "pg_dump", "--format=custom", "--file", part.c_str(), "--dbname", url.c_str(),
               static_cast<char*>(nullptr));
        std::fprintf(stderr, "bzykolot2-scores: backup: cannot run pg_dump (Debian package postgresql-client): %s\n",
                     std::strerror(errno));
        _exit(127);
    }
    int status = -1;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        std::rename(part.c_str(), file.c_str()) != 0) {
        std::remove(part.c_str());
        std::fprintf(stderr, "bzykolot2-scores: backup: pg_dump failed\n");
        return 1;
    }
    return 0;
}

}  // namespace

bool isAdminCommand(const char* word) {
    return word && (!std::strcmp(word, "list") || !std::strcmp(word, "remove") || !std::strcmp(word, "backup"));
}

std::string adminSocketFor(const std::string& db) { return isPostgresUrl(db) ? "" : db + ".admin"; }

int adminMain(int argc, char** argv) {
    Words words = {argv[1]};
    std::string db = "scores.db", socketPath;
    bool socketGiven = false;
    for (int i = 2; i < argc; i++) {
        const std::string a = argv[i];
        if ((a == "--db" || a == "--admin-socket") && i + 1 < argc) {
            (a == "--db" ? db : socketPath) = argv[++i];
            socketGiven = socketGiven || a == "--admin-socket";
        } else if (a == "--help" || a == "-h") {
            std::fputs(adminUsage, stdout);
            return 0;
        } else if (a.rfind("--", 0) == 0 || a.find_first_of("\t\n") != std::string::npos) {
            std::fprintf(stderr, "bzykolot2-scores: bad argument: %s\n\n%s", a.c_str(), adminUsage);
            return 2;
        } else {
            words.push_back(a);
        }
    }
    const std::string& cmd = words[0];
    const size_t n = words.size();
    if (!(cmd == "list" ? n == 1 : cmd == "backup" ? n == 2 : n == 2 || n == 4)) {
        std::fprintf(stderr, "%s", adminUsage);
        return 2;
    }
    const std::string file = cmd == "backup" ? words[1] : "";
    if (cmd == "backup") words.pop_back();  // the file is the admin's, written here
    if (cmd == "backup" && isPostgresUrl(db)) return pgDump(db, file);
    if (!socketGiven) socketPath = adminSocketFor(db);
    if (!isPostgresUrl(db)) {
        const int code = throughSocket(socketPath, words, file);
        if (code >= 0) return code;
        struct stat st;
        if (stat(db.c_str(), &st) != 0) {
            std::fprintf(stderr, "bzykolot2-scores: no database at %s\n", db.c_str());
            return 1;
        }
    }
    std::string error;
    std::unique_ptr<ScoreStore> store = openStore(db, &error);
    if (!store) {
        std::fprintf(stderr, "bzykolot2-scores: cannot open database %s: %s\n", db.c_str(), error.c_str());
        return 1;
    }
    if (cmd == "backup") {
        const std::string part = file + ".part";
        std::remove(part.c_str());
        if (!store->backup(part, &error) || std::rename(part.c_str(), file.c_str()) != 0) {
            std::remove(part.c_str());
            std::fprintf(stderr, "bzykolot2-scores: backup: %s\n", error.empty() ? std::strerror(errno) : error.c_str());
            return 1;
        }
        return 0;
    }
    std::string out;
    int removed;
    if (!answer(*store, words, &out, &removed)) {
        std::fprintf(stderr, "bzykolot2-scores: %s: %s\n", cmd.c_str(), out.c_str());
        return 1;
    }
    std::fputs(out.c_str(), stdout);
    return 0;
}

bool AdminSocket::start(const std::string& path, std::string* error) {
    sockaddr_un addr;
    if (!addressOf(path, &addr)) {
        *error = "the path is too long for a socket: " + path;
        return false;
    }
    fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    // Only this process's user may connect (root passes any mode); the file
    // lock already keeps a second server off this database and so off its socket.
    unlink(path.c_str());
    const mode_t mask = umask(0177);
    const bool bound = fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    umask(mask);
    if (!bound || listen(fd_, 4) != 0) {
        *error = path + ": " + std::strerror(errno);
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
        return false;
    }
    path_ = path;
    thread_ = std::thread(&AdminSocket::serve, this);
    return true;
}

void AdminSocket::stop() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) {
        close(fd_);
        unlink(path_.c_str());
        fd_ = -1;
    }
}

void AdminSocket::serve() {
    while (!stopping_) {
        pollfd p = {fd_, POLLIN, 0};
        if (poll(&p, 1, 200) <= 0) continue;
        const int c = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (c < 0) continue;
        // The request line within 5 s, so a stuck admin cannot hold the socket.
        const timeval wait = {5, 0};
        setsockopt(c, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        setsockopt(c, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
        std::string line;
        char ch;
        while (line.size() < 1024 && read(c, &ch, 1) == 1 && ch != '\n') line += ch;
        Words words;
        for (size_t at = 0; at <= line.size();) {
            const size_t tab = std::min(line.find('\t', at), line.size());
            words.push_back(line.substr(at, tab - at));
            at = tab + 1;
        }
        const std::string& cmd = words[0];
        std::string out;
        bool ok = false;
        if (cmd == "backup" && words.size() == 1) {
            // A snapshot beside the database, sent whole, then gone.
            const std::string copy = path_ + ".backup";
            std::remove(copy.c_str());
            ok = store_.backup(copy, &out);
            FILE* in = ok ? std::fopen(copy.c_str(), "rb") : nullptr;
            std::remove(copy.c_str());
            if (in) {
                bool sent = writeAll(c, "ok\n");
                char buffer[65536];
                for (size_t n; sent && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) sent = writeAll(c, buffer, n);
                std::fclose(in);
                logLine("admin: backup %s\n", sent ? "sent" : "cut short");
                close(c);
                continue;
            }
            if (ok) out = std::strerror(errno);
            ok = false;
        } else if ((cmd == "list" && words.size() == 1) || (cmd == "remove" && (words.size() == 2 || words.size() == 4))) {
            int removed = 0;
            ok = answer(store_, words, &out, &removed);
            if (ok && cmd == "remove") {
                if (removed) changed_();
                logLine("admin: removed %d of %s\n", removed, logSafe(words[1]).c_str());
            }
        } else {
            out = "unknown request";
        }
        if (!ok) logLine("admin: %s failed: %s\n", logSafe(cmd).c_str(), out.c_str());
        writeAll(c, ok ? "ok\n" + out : "error " + out + "\n");
        close(c);
    }
}
