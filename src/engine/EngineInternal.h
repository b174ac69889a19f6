#pragma once

#include "Exception.h"

[[noreturn]] inline void NotYet(const char* what) {
    throw EDatabaseError(QStringLiteral("%1: not implemented yet").arg(QLatin1String(what)));
}
