#pragma once

#include "engine/DataSources.h"

// One attribute of a driver's section of the driver manager ("" when absent).
QString OdbcDriverAttribute(const QString& driver, const QString& attribute);
