#include "ConsoleLog.h"

namespace ConsoleLog {
namespace {
std::FILE *g_stream = stdout;
}

QByteArray render(const QString &text)
{
    QString shown;
    shown.reserve(qMin<qsizetype>(text.size(), MaxLineBytes + 16));
    qsizetype used = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7f && u <= 0x9f))
            shown += QStringLiteral("\\x%1").arg(int(u), 2, 16, QLatin1Char('0'));
        else
            shown += c;
        // Enough for the cut below; a megabyte reply is not copied whole.
        if (++used > MaxLineBytes)
            break;
    }
    QByteArray utf8 = shown.toUtf8();
    const QByteArray whole = text.toUtf8();
    if (utf8.size() <= MaxLineBytes && used == text.size())
        return utf8;
    qsizetype cut = MaxLineBytes;
    // Never in the middle of a character.
    while (cut > 0 && (static_cast<unsigned char>(utf8.at(cut)) & 0xC0) == 0x80)
        --cut;
    utf8.truncate(cut);
    return utf8 + QStringLiteral("… (%1 bytes in all)").arg(whole.size()).toUtf8();
}

void line(const QString &text)
{
    if (!g_stream)
        return;
    const QByteArray utf8 = render(text);
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), g_stream);
    std::fputc('\n', g_stream);
    std::fflush(g_stream);
}

void setStream(std::FILE *stream)
{
    g_stream = stream;
}

} // namespace ConsoleLog
