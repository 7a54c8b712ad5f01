#pragma once
// The print system's fax queues. The only place that speaks to the print system: its
// library is loaded on the first use and kept for the rest of the process, so programs
// and commands that never fax never load it.
//
// A fax modem or fax gateway is a print queue whose type carries the fax bit; the fax
// software behind the queue asks for the recipient when the job arrives. A session
// finds the first such queue, reads the geometry of its default page and sends one
// job to it, document bytes streamed as they are produced.
//
// One session is used by one thread at a time (the library keeps its error state per
// thread, so a call and the error it reports stay on one thread).

#include <cstddef>
#include <memory>
#include <string>

namespace delivery {

enum class FaxQueueLookup {
    Found,       // the session's queue is the first queue that can fax
    NoQueue,     // the print server answered, and none of its queues can fax
    ListFailure, // the print server gave no list of queues
};

// The default page of a queue, in points (1/72 inch) from the page's top-left corner.
struct FaxPageGeometry {
    double mediaWidth = 0, mediaLength = 0;
    double left = 0, top = 0, right = 0, bottom = 0; // margins the queue cannot print on
    double xDpi = 0, yDpi = 0;                       // 0 when the queue states no resolution
};

class FaxPrintSession {
public:
    FaxPrintSession();
    ~FaxPrintSession(); // cancels a job still open and closes the connection

    // Loads the print system's library now (once per process); false when it is missing.
    static bool LoadLibrary();
    FaxPrintSession(const FaxPrintSession&) = delete;
    FaxPrintSession& operator=(const FaxPrintSession&) = delete;

    // Connects to the print server named by the environment and the user's print
    // settings, looked up afresh each time; false when the print system's library is
    // missing or no server answers.
    bool Connect();
    FaxQueueLookup FindFaxQueue();
    const std::string& QueueName() const { return queueName_; }
    // The geometry of the found queue's default page; false when the queue's
    // description or its default page cannot be read.
    bool ReadGeometry(FaxPageGeometry& geometry);

    // Creates the job on the found queue and opens its one document (PDF).
    bool StartJob(const std::string& title);
    // Sends the next bytes of the document.
    bool Write(const unsigned char* data, size_t size);
    // Closes the document: the job is complete and goes to the fax software.
    bool FinishJob();
    // Withdraws the job from the server; nothing of it reaches a recipient.
    void CancelJob();
    bool JobOpen() const { return jobId_ > 0; }
    int JobId() const { return jobId_; }
    // The print system's text for its last failure on this thread.
    std::string LastErrorText() const;

private:
    struct Connection;
    std::unique_ptr<Connection> connection_;
    std::string queueName_;
    int jobId_ = 0;
    bool documentOpen_ = false;
};

} // namespace delivery
