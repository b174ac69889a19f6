#pragma once

// The calls of one ODBC connection that wait on the server (connect,
// execute, fetch) run on a thread of their own, one at a time, while the
// thread of the windows waits for them and keeps answering the user. Only
// one thread uses the connection at any moment: the caller waits until the
// call is over, or gives it up.

#include <functional>
#include <memory>
#include <sql.h>

class TOdbcWorker {
public:
    // How long a server may take to answer a cancel before it is given up.
    static constexpr int GiveUpMs = 3000;

    struct TOutcome {
        SQLRETURN Rc = SQL_ERROR;
        bool CancelAsked = false; // the user asked to cancel while it ran
        bool GivenUp = false;     // still running: the server did not answer
    };

    TOdbcWorker();
    // Tells the thread to end once it is free; never waits for it.
    ~TOdbcWorker();
    TOdbcWorker(const TOdbcWorker&) = delete;
    TOdbcWorker& operator=(const TOdbcWorker&) = delete;

    // Runs call on the worker. A cancel the user asks meanwhile calls
    // cancel (none: the call cannot be cancelled and is given up at once);
    // a call still running GiveUpMs after that is given up. What call
    // holds stays alive until it ends, given up or not.
    TOutcome Run(std::function<SQLRETURN()> call, const std::function<void()>& cancel);
    // Run in two halves: the call starts and the caller goes on; Wait then
    // waits for it as Run does.
    void Start(std::function<SQLRETURN()> call);
    TOutcome Wait(const std::function<void()>& cancel);

private:
    struct TState;
    std::shared_ptr<TState> FState;
};
