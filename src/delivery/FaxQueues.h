#pragma once
// The print system's fax queues. The only place that speaks to the print system: its
// library is loaded on the first lookup and kept for the rest of the process, so
// programs and commands that never fax never load it.

#include <string>

namespace delivery {

enum class FaxQueueLookup {
    Found,         // `name` holds the first queue that can fax
    NoQueue,       // the print system answered, and none of its queues can fax
    NoPrintSystem, // no list of queues: the print system is unreachable or not installed
};

FaxQueueLookup FindFaxQueue(std::string& name);

} // namespace delivery
