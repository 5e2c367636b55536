#pragma once
// Process-wide settings the network code relies on.

namespace pelrion::transport {

// Once, in main, before any thread starts: SIGPIPE is ignored (a write to a peer that has gone,
// also from inside the TLS library, must become an error, not the end of the program), and the
// soft descriptor limit is raised to the hard limit (hundreds of relay sessions hold two
// descriptors each).
void PrepareProcessForNetwork();

// First thing in a worker thread: block the signals the main thread handles, so that they are
// always delivered there.
void BlockMainThreadSignals();

}  // namespace pelrion::transport
