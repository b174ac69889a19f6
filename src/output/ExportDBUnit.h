#pragma once

class TDatabase;

// Runs the table unload dialog modally on the connection; does nothing
// when it has no database name.
void ShowUnloadDialog(TDatabase* connection);
