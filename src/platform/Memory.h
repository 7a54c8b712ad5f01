#pragma once
// How the process's heap treats page-sized buffers.
//
// A scanned page is tens of megabytes. By default the C library maps every block that
// large afresh and unmaps it when freed, so each page of a run pays for zero-filling
// and faulting in a new mapping. Programs that scan keep such blocks in the heap
// instead, where the next page reuses them, and give the memory back once a scan is
// over.

namespace platform {

// Called once at start-up, before any page is allocated. Blocks up to 128 MiB (an A4
// colour page at 600 dpi) are then reused rather than mapped afresh. False when the C library did not take the setting
// (e.g. under a sanitizer's own allocator).
bool KeepPageBuffersForReuse();

// Hands the heap's unused memory back to the system, e.g. after a scan has ended.
void ReturnFreeMemory();

} // namespace platform
