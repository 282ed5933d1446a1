#pragma once

#include "CliOptions.h"

// The commands of lumaro-import; each returns the exit status, having said why on standard
// error when it is not 0.
namespace Commands {
[[nodiscard]] int upload(const CliOptions &options);
[[nodiscard]] int categories(const CliOptions &options);
[[nodiscard]] int bookmarks();
[[nodiscard]] int log(const CliOptions &options);

// "lumaro-import: " + message on standard error; returns the failure's status.
int report(const Failure &failure);
} // namespace Commands
