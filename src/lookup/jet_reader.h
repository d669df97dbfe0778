#pragma once

#include "sqlite.h"

#include <string>

namespace somnara {

// True when this build can read Access (Jet) files.
bool jetSupported();

// Copies table Somnara of the Jet file at `path`, every column in its order and every row,
// into a new in-memory SQLite database with the same table and column names. Text columns
// compare ignoring ASCII letter case, as Access does. `displayName` is the name the user gave
// the file, for messages. Throws StoreError, worded for the user, on any failure.
sqlite::Database loadJetTable(const std::string &path, const std::string &displayName);

} // namespace somnara
