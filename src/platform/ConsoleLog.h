#pragma once

#include <QString>

// The few fixed diagnostic lines the application writes to standard output.
namespace ConsoleLog {
void line(const QString &text);
}
