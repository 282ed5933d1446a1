#include "DisplayName.h"

namespace {

bool shownAsCodePoint(char16_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x061c || c == 0x200e || c == 0x200f ||
           (c >= 0x2028 && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069);
}

} // namespace

namespace DisplayName {

QString visible(const QString &name)
{
    QString shown;
    shown.reserve(name.size());
    for (const QChar c : name) {
        if (shownAsCodePoint(c.unicode()))
            shown += QStringLiteral("<U+%1>").arg(uint(c.unicode()), 4, 16, QLatin1Char('0')).toUpper();
        else
            shown += c;
    }
    return shown;
}

QString isolated(const QString &name)
{
    return QChar(0x2068) + visible(name) + QChar(0x2069);
}

} // namespace DisplayName
