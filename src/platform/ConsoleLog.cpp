#include "ConsoleLog.h"

#include <cstdio>

namespace ConsoleLog {
void line(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}
} // namespace ConsoleLog
