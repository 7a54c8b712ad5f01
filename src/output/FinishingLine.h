#pragma once
// Documents whose pages are all added, finished away from their writer: each waits for
// the recognition of its pages, is completed and published, strictly one after another
// in the order they were handed over, on a thread of the line's own. The owner takes
// them back, oldest first, once finished. After a document that could not be written,
// the later ones are dropped. A document therefore never appears in its
// folder before the one handed over before it, and the owner goes on with the next
// document meanwhile.
//
// Memory: a waiting document holds its pages in its working files, not in memory; the
// recognition engines are shared and at most two recognise at once, however many
// documents wait.
//
// Thread contract: every member may be called from any thread; the listener is called
// on the line's thread after each document is finished, never after SetListener has
// returned with another one.

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "output/ImageCompressioner.h"

namespace output {

class FinishingLine {
public:
    // How a document handed over ended.
    struct Finished {
        enum class End { Published, Failed, Dropped };
        End end = End::Dropped;
        std::string path; // Published: the document's final name
        int error = 0;    // Failed: the system error, 0 when the user has been told
    };
    // How far the recognition of the documents handed over since the last Reset has
    // come, in pages.
    struct Progress {
        int pages = 0, recognised = 0;
    };

    FinishingLine() = default;
    ~FinishingLine(); // drops every document not yet finished and waits for the thread
    FinishingLine(const FinishingLine&) = delete;
    FinishingLine& operator=(const FinishingLine&) = delete;

    // Takes an open job whose pages are all added (and the watch of its recognition, if
    // any); it is finished after those handed over before it.
    void Add(std::unique_ptr<IF_ImageCompressioner> job, std::shared_ptr<RecognitionWatch> watch);
    // The oldest document handed over, once it is finished; false while it is still being
    // finished or when none waits.
    bool Take(Finished& out);
    // Documents handed over and not yet taken.
    int Waiting() const;
    // Blocks until every document handed over is finished (or dropped).
    void WaitAll();
    // Stops every document not yet finished: its recognition is cancelled and nothing of
    // it is kept (it is taken back as Dropped). Documents already finished stay as they
    // are. False when there was nothing to stop.
    bool DropUnfinished();
    void SetListener(std::function<void()> listener);
    Progress Recognition() const;
    // Starts afresh (no document may be waiting): the counts of Recognition, and after a
    // document that could not be written (every later one is dropped) documents are
    // finished again.
    void Reset();

private:
    struct Entry {
        std::unique_ptr<IF_ImageCompressioner> job;
        std::shared_ptr<RecognitionWatch> watch;
        bool finished = false;
        bool dropped = false;
        Finished result;
    };
    void Run();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::shared_ptr<Entry>> entries_; // oldest first, until taken
    size_t next_ = 0;                            // entries_[next_] is the next to finish
    bool stop_ = false;
    bool failed_ = false; // a document could not be written
    int takenPages_ = 0, handedPages_ = 0;
    std::thread thread_;
    std::mutex listenerMutex_;
    std::function<void()> listener_;
};

} // namespace output
