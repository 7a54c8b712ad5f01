#pragma once
// Support for runs under AddressSanitizer's leak checker.

namespace platform {

// In sanitizer builds: loads the SANE backends named in the active dll.conf once, never to
// be unloaded, so that a leak inside a backend can still be named (and suppressed) at
// exit after SANE has closed it. Does nothing in ordinary builds.
void KeepSaneBackendsLoadedForLeakReports();

} // namespace platform
