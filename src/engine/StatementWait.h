#pragma once

// The program keeps answering while a statement runs: the drivers call
// PollStatementWait() often while the server works (the embedded driver
// from its progress handler, the ODBC driver while its worker thread waits
// on the server), and the window layers answer with what the user did. All
// of it runs on the thread of the windows; the engine itself shows nothing.

// What the window layers do while a statement runs: keep painting, hold off
// the user's other input, show that the work goes on, and say whether the
// user asked to cancel.
class TStatementWait {
public:
    virtual ~TStatementWait() = default;
    // Called often (every few milliseconds of the server's work); true once
    // the user asked to cancel what runs.
    virtual bool Poll() = 0;
};

// Installs the wait (none: statements block as they run).
void SetStatementWait(TStatementWait* wait);

// For the drivers: lets the windows answer; true when the running statement
// is to be cancelled. Never re-enters the wait.
bool PollStatementWait();

// Whether the windows are answering from inside a statement: what they show
// then comes only from what is already read, and no statement may start.
bool InStatementWait();

// Raises when a statement would start from inside the wait (a paint, a
// timer): the connection is busy with the one that runs.
void RefuseInsideStatementWait();
