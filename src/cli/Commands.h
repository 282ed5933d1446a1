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
// The same for a run that ends before its batch does; with --json also as an "exit" event, so
// a script reads why from standard output.
int exitEarly(const Failure &failure, bool json);
} // namespace Commands
