#pragma once

// SQLite's declared types as the engine's field kinds.

#include "engine/Driver.h"

// The field kind and sizes of an SQLite declared type.
TColumnInfo ColumnFromDeclaration(const QString& name, const QString& declaredType);
