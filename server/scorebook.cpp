#include "server/scorebook.h"

#include "server/log.h"
#include "server/page.h"

bool ScoreBook::start(std::string* error, std::function<void()> queued) {
    queued_ = std::move(queued);
    if (!render(error)) return false;
    committer_ = std::thread(&ScoreBook::commitLoop, this);
    watcher_ = std::thread([this] {
        store_.watchOthers(stopWatch_, [this] { refresh(); });
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

void ScoreBook::upload(const Upload& upload, Uploaded done) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!stopping_) {
            uploads_.push_back({upload, std::move(done)});
            wake_.notify_one();
            return;
        }
    }
    done({500, "database error"});
}

void ScoreBook::fetch(int64_t id, Fetched done) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!stopping_) {
            fetches_.push_back({id, std::move(done)});
            wake_.notify_one();
            return;
        }
    }
    done(false, "");
}

void ScoreBook::refresh(bool wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    stale_ = true;
    const uint64_t mine = ++asked_;
    wake_.notify_one();
    if (wait) renderedWake_.wait(lock, [&] { return rendered_ >= mine || stopping_; });
}

std::shared_ptr<const std::string> ScoreBook::table() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return table_;
}

std::shared_ptr<const std::string> ScoreBook::page() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return page_;
}

void ScoreBook::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        wake_.notify_one();
        renderedWake_.notify_all();
    }
    stopWatch_ = true;
    if (watcher_.joinable()) watcher_.join();
    if (committer_.joinable()) committer_.join();
}

void ScoreBook::commitLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] {
            return !queue_.empty() || !uploads_.empty() || !fetches_.empty() || stale_ || stopping_;
        });
        if (queue_.empty() && uploads_.empty() && fetches_.empty() && !stale_) return;  // stopping, all answered
        // Everything waiting, at most one request per open connection.
        std::vector<Pending> posts;
        std::vector<PendingUpload> uploads;
        std::vector<PendingFetch> fetches;
        posts.swap(queue_), uploads.swap(uploads_), fetches.swap(fetches_);
        bool changed = stale_;
        stale_ = false;
        const uint64_t asked = asked_;
        lock.unlock();

        commit(posts, uploads);
        std::string error;
        if (changed && !render(&error)) logLine("database error: %s\n", error.c_str());
        for (PendingFetch& f : fetches) {
            std::string bytes;
            const bool found = store_.matchedReplay(f.id, &bytes);
            f.done(found, bytes);
        }
        lock.lock();
        rendered_ = asked;
        renderedWake_.notify_all();
    }
}

void ScoreBook::commit(std::vector<Pending>& posts, std::vector<PendingUpload>& uploads) {
    int status = 200, added = 0;
    std::string error;
    if (!posts.empty()) {
        std::vector<Score> scores;
        scores.reserve(posts.size());
        for (const Pending& p : posts) scores.push_back(p.score);
        if (!store_.add(scores, &added, &error)) {
            logLine("database error: %s\n", error.c_str());
            status = 500;
        }
    }
    std::vector<UploadAnswer> answers;
    if (!uploads.empty()) {
        std::vector<Upload> group;
        for (const PendingUpload& u : uploads) group.push_back(u.upload);
        if (!store_.addReplays(group, waitingMost_, &answers, &error)) {
            logLine("database error: %s\n", error.c_str());
            answers.assign(uploads.size(), {500, "database error"});
        }
    }
    // In any mode a new post changes the table, which shows a post before it is answered.
    if (!checkedOnly_ && added > 0 && !render(&error)) logLine("database error: %s\n", error.c_str());
    for (Pending& p : posts) p.done(status);
    bool queued = false;
    for (size_t i = 0; i < uploads.size(); i++) {
        uploads[i].done(answers[i]);
        queued = queued || answers[i].status == 202;
    }
    if (queued && queued_) queued_();
}

bool ScoreBook::render(std::string* error) {
    std::vector<TableRow> rows;
    if (!store_.rows(checkedOnly_, &rows, error)) return false;
    std::string text;
    for (const TableRow& r : rows)
        text += (text.empty() ? "" : " ") + r.score.nick + " " + std::to_string(r.score.flies) + " " +
                std::to_string(r.score.time);
    auto table = std::make_shared<const std::string>(text.empty() ? " " : text);
    auto page = std::make_shared<const std::string>(renderPage(rows, checkedOnly_));
    std::lock_guard<std::mutex> lock(mutex_);
    table_ = std::move(table);
    page_ = std::move(page);
    return true;
}
