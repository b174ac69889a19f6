#include "StatementWait.h"

#include "Exception.h"

namespace {

TStatementWait* Installed = nullptr;
bool Inside = false;

} // namespace

void SetStatementWait(TStatementWait* wait) {
    Installed = wait;
}

bool PollStatementWait() {
    if (!Installed || Inside) return false;
    Inside = true;
    struct TLeave {
        ~TLeave() { Inside = false; }
    } leave;
    return Installed->Poll();
}

bool InStatementWait() {
    return Inside;
}

void RefuseInsideStatementWait() {
    if (Inside) throw EDatabaseError(QStringLiteral("The connection is busy with a running statement"));
}
