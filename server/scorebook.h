// The scores as the server answers them: posts and uploaded recordings stored
// in groups, one durable transaction for all those waiting at that moment,
// none answered before it is synced; and the table, as text and as a web
// page, rendered once per change and served from memory.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
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
    // Called once per upload, on the committer's thread (500: not stored).
    using Uploaded = std::function<void(const UploadAnswer& answer)>;
    // Called once per fetch: whether the recording is a matched one, its bytes.
    using Fetched = std::function<void(bool found, const std::string& bytes)>;

    // `checkedOnly`: the table lists only posts whose recording matched.
    // `waitingMost`: recordings of one client that may wait to be checked.
    ScoreBook(ScoreStore& store, bool checkedOnly = true, int waitingMost = 4)
        : store_(store), checkedOnly_(checkedOnly), waitingMost_(waitingMost) {}
    ~ScoreBook() { stop(); }
    ScoreBook(const ScoreBook&) = delete;
    ScoreBook& operator=(const ScoreBook&) = delete;

    // Renders the first table and starts the committer and, for a store that
    // other servers write too, its watcher. False with the reason. `queued` is
    // called after a commit that queued recordings.
    bool start(std::string* error, std::function<void()> queued = {});
    // Queues a checked score for the next group. After stop() it is answered
    // 500 at once, on the caller's thread; so are the two below.
    void post(const Score& score, Done done);
    // Queues a decoded recording for the next group.
    void upload(const Upload& upload, Uploaded done);
    // Looks up a matched recording.
    void fetch(int64_t id, Fetched done);
    // A check listed a post: render again. With `wait`, returns once the table
    // shows it (or the book stops), so a log line after it tells the truth.
    void refresh(bool wait = false);
    // The table as last rendered; a single space when there are no scores, so
    // the game still receives a body and replaces its old table with none.
    std::shared_ptr<const std::string> table() const;
    // The web page as last rendered, its address marks unfilled (server/page.h).
    std::shared_ptr<const std::string> page() const;
    // Answers everything queued, then stops the threads.
    void stop();

private:
    struct Pending {
        Score score;
        Done done;
    };
    struct PendingUpload {
        Upload upload;
        Uploaded done;
    };
    struct PendingFetch {
        int64_t id;
        Fetched done;
    };
    void commitLoop();
    // Stores the group's posts and uploads and answers them.
    void commit(std::vector<Pending>& posts, std::vector<PendingUpload>& uploads);
    // The table and the page from the store; false with the reason.
    bool render(std::string* error);

    ScoreStore& store_;
    const bool checkedOnly_;
    const int waitingMost_;
    std::function<void()> queued_;
    mutable std::mutex mutex_;  // guards everything below but the threads
    std::condition_variable wake_;
    std::vector<Pending> queue_;
    std::vector<PendingUpload> uploads_;
    std::vector<PendingFetch> fetches_;
    bool stale_ = false;     // another server, or a check, changed the scores
    uint64_t asked_ = 0, rendered_ = 0;  // renders asked for and done, by refresh(true)
    std::condition_variable renderedWake_;
    bool stopping_ = false;
    std::shared_ptr<const std::string> table_, page_;
    std::atomic<bool> stopWatch_{false};
    std::thread committer_, watcher_;
};
