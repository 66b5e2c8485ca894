// The scores as the server answers them: posts stored in groups, one durable
// transaction for all the posts waiting at that moment, none answered before
// it is synced; and the table text, rendered once per change and served from
// memory.
#pragma once
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "server/store.h"

class ScoreBook {
public:
    // Called once per post, on the committer's thread: 200 once the score is
    // durably stored (or was already), 500 when it may not be.
    using Done = std::function<void(int status)>;

    explicit ScoreBook(ScoreStore& store) : store_(store) {}
    ~ScoreBook() { stop(); }
    ScoreBook(const ScoreBook&) = delete;
    ScoreBook& operator=(const ScoreBook&) = delete;

    // Renders the first table and starts the committer and, for a store that
    // other servers write too, its watcher. False with the reason.
    bool start(std::string* error);
    // Queues a checked score for the next group. After stop() it is answered
    // 500 at once, on the caller's thread.
    void post(const Score& score, Done done);
    // The table as last rendered; a single space when there are no scores, so
    // the game still receives a body and replaces its old table with none.
    std::shared_ptr<const std::string> table() const;
    // Answers every queued post, then stops the threads.
    void stop();

private:
    struct Pending {
        Score score;
        Done done;
    };
    void commitLoop();
    void render();

    ScoreStore& store_;
    mutable std::mutex mutex_;  // guards everything below but the threads
    std::condition_variable wake_;
    std::vector<Pending> queue_;
    bool stale_ = false;     // another server changed the scores
    bool stopping_ = false;
    std::shared_ptr<const std::string> table_;
    std::atomic<bool> stopWatch_{false};
    std::thread committer_, watcher_;
};
