#pragma once

#include <QString>

#include <cstdio>

// The few fixed diagnostic lines the application writes to standard output.
namespace ConsoleLog {
void line(const QString &text);
// Where the lines go; nullptr silences them (the command line keeps standard output for its
// own results).
void setStream(std::FILE *stream);
}
