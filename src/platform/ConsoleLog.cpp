#include "ConsoleLog.h"

namespace ConsoleLog {
namespace {
std::FILE *g_stream = stdout;
}

void line(const QString &text)
{
    if (!g_stream)
        return;
    const QByteArray utf8 = text.toUtf8();
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), g_stream);
    std::fputc('\n', g_stream);
    std::fflush(g_stream);
}

void setStream(std::FILE *stream)
{
    g_stream = stream;
}
} // namespace ConsoleLog
