#include "server/scorebook.h"

#include "server/log.h"

bool ScoreBook::start(std::string* error) {
    std::string text;
    if (!store_.table(&text, error)) return false;
    table_ = std::make_shared<const std::string>(text.empty() ? " " : text);
    committer_ = std::thread(&ScoreBook::commitLoop, this);
    watcher_ = std::thread([this] {
        store_.watchOthers(stopWatch_, [this] {
            std::lock_guard<std::mutex> lock(mutex_);
            stale_ = true;
            wake_.notify_one();
        });
    });
    return true;
}

void ScoreBook::post(const Score& score, Done done) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!stopping_) {
            queue_.push_back({score, std::move(done)});
            wake_.notify_one();
            return;
        }
    }
    done(500);
}

std::shared_ptr<const std::string> ScoreBook::table() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return table_;
}

void ScoreBook::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        wake_.notify_one();
    }
    stopWatch_ = true;
    if (watcher_.joinable()) watcher_.join();
    if (committer_.joinable()) committer_.join();
}

void ScoreBook::commitLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return !queue_.empty() || stale_ || stopping_; });
        if (queue_.empty() && !stale_) return;  // stopping, nothing left to answer
        // Everything waiting, at most one post per open connection.
        std::vector<Pending> group;
        group.swap(queue_);
        bool changed = stale_;
        stale_ = false;
        lock.unlock();

        int status = 200;
        if (!group.empty()) {
            std::vector<Score> scores;
            scores.reserve(group.size());
            for (const Pending& p : group) scores.push_back(p.score);
            int added = 0;
            std::string error;
            if (!store_.add(scores, &added, &error)) {
                logLine("database error: %s\n", error.c_str());
                status = 500;
            }
            changed = changed || added > 0;
        }
        // The table shows a post before the post is answered.
        if (changed) render();
        for (Pending& p : group) p.done(status);
        lock.lock();
    }
}

void ScoreBook::render() {
    std::string text, error;
    if (!store_.table(&text, &error)) {
        logLine("database error: %s\n", error.c_str());
        return;
    }
    auto fresh = std::make_shared<const std::string>(text.empty() ? " " : text);
    std::lock_guard<std::mutex> lock(mutex_);
    table_ = std::move(fresh);
}
