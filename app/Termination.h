// SIGTERM, SIGINT and SIGHUP quit like File > Quit (exit code 0, the worker stopped
// at its next pause), so a logout or a kill never leaves a document half written;
// also when one comes before the event loop runs. A launch that one ends while it
// hands its documents over ends at once, without them handed over (see Startup).
#pragma once

namespace qmk {

// The first thing a run does: from here on a termination signal is taken, and held
// for whoever looks (the signals are unblocked, should the parent have blocked
// them). Needs nothing else; a second call does nothing.
void CatchTerminationSignals();

// True once a termination signal has come.
bool TerminationRequested();
// The number of the first termination signal that came, 0 while none has.
int TerminationSignal();

// Readable once a termination signal has come: for waits outside the event loop.
// Reading it is for QuitOnTerminationSignals alone.
int TerminationDescriptor();

// Once a QCoreApplication exists: a termination signal, also one that came
// before, quits the event loop with 0. A second call does nothing.
void QuitOnTerminationSignals();

} // namespace qmk
