#include "DbTableUnit.h"

#include <QMdiArea>
#include <QMdiSubWindow>

QStringList FilterHistory;
