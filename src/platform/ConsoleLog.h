#pragma once

#include <QString>

#include <cstdio>

// The few fixed diagnostic lines the application writes to standard output.
namespace ConsoleLog {

// A line never runs longer than this many bytes of UTF-8: a server's reply is quoted in a log
// line, and a reply can be megabytes long.
inline constexpr int MaxLineBytes = 400;

// Writes one line. Control characters (line breaks, terminal escapes) are shown as \xNN, so text
// from a server is one line and cannot drive the terminal; a longer line is cut and says so.
void line(const QString &text);
// Where the lines go; nullptr silences them (the command line keeps standard output for its
// own results).
void setStream(std::FILE *stream);

// The line as line() writes it, without the line break.
[[nodiscard]] QByteArray render(const QString &text);

} // namespace ConsoleLog
