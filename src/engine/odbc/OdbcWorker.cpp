#include "OdbcWorker.h"

#include "engine/StatementWait.h"

#include <QElapsedTimer>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

struct TOdbcWorker::TState {
    std::mutex Mutex;
    std::condition_variable Wake, Finished;
    std::function<SQLRETURN()> Task;
    bool Done = false;
    bool CancelPending = false; // a cancel still on its way: the handle is in use
    bool Stop = false;
    SQLRETURN Rc = SQL_ERROR;
};

TOdbcWorker::TOdbcWorker() : FState(std::make_shared<TState>()) {
    // The thread holds the state: a call that never returns keeps only
    // what it holds, and the thread ends whenever the call does.
    std::thread([state = FState] {
        for (;;) {
            std::function<SQLRETURN()> task;
            {
                std::unique_lock lock(state->Mutex);
                state->Wake.wait(lock, [&] { return state->Task || state->Stop; });
                if (!state->Task) return;
                task = std::move(state->Task);
                state->Task = nullptr;
            }
            const SQLRETURN rc = task();
            task = nullptr; // may free the connection, and so this worker
            {
                const std::lock_guard lock(state->Mutex);
                state->Rc = rc;
                state->Done = true;
            }
            state->Finished.notify_all();
        }
    }).detach();
}

TOdbcWorker::~TOdbcWorker() {
    {
        const std::lock_guard lock(FState->Mutex);
        FState->Stop = true;
    }
    FState->Wake.notify_all();
}

TOdbcWorker::TOutcome TOdbcWorker::Run(std::function<SQLRETURN()> call, const std::function<void()>& cancel) {
    Start(std::move(call));
    return Wait(cancel);
}

void TOdbcWorker::Start(std::function<SQLRETURN()> call) {
    TState& state = *FState;
    {
        const std::lock_guard lock(state.Mutex);
        state.Task = std::move(call);
        state.Done = false;
    }
    state.Wake.notify_all();
}

TOdbcWorker::TOutcome TOdbcWorker::Wait(const std::function<void()>& cancel) {
    TState& state = *FState;
    TOutcome outcome;
    QElapsedTimer sinceCancel;
    for (;;) {
        {
            std::unique_lock lock(state.Mutex);
            if (state.Finished.wait_for(lock, std::chrono::milliseconds(10),
                                        [&] { return state.Done && !state.CancelPending; })) {
                outcome.Rc = state.Rc;
                return outcome;
            }
        }
        // The windows answer meanwhile; a cancel is asked once, from a
        // thread of its own: reaching the server may itself hang.
        if (PollStatementWait() && !outcome.CancelAsked) {
            outcome.CancelAsked = true;
            sinceCancel.start();
            if (cancel) {
                {
                    const std::lock_guard lock(state.Mutex);
                    state.CancelPending = true;
                }
                std::thread([cancel, state = FState] {
                    cancel();
                    {
                        const std::lock_guard lock(state->Mutex);
                        state->CancelPending = false;
                    }
                    state->Finished.notify_all();
                }).detach();
            }
        }
        if (outcome.CancelAsked && (!cancel || sinceCancel.elapsed() >= GiveUpMs)) {
            outcome.GivenUp = true;
            return outcome;
        }
    }
}
