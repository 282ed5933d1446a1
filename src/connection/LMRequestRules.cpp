#include "LMRequestRules.h"

#include <QDateTime>

#include <cmath>

namespace LMRequestRules {

QString percentEncodeQueryValue(const QString &value)
{
    static const char hex[] = "0123456789ABCDEF";
    const QByteArray utf8 = value.toUtf8();
    QString out;
    out.reserve(utf8.size() * 3);
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                                c == '-' || c == '.' || c == '_' || c == '~';
        if (unreserved) {
            out.append(QLatin1Char(char(c)));
        } else {
            out.append(QLatin1Char('%'));
            out.append(QLatin1Char(hex[c >> 4]));
            out.append(QLatin1Char(hex[c & 0xF]));
        }
    }
    return out;
}

QString loginQuery(const QString &userName, const QString &password)
{
    return QStringLiteral("?loginName=") + percentEncodeQueryValue(userName) + QStringLiteral("&password=") +
           percentEncodeQueryValue(password) + QStringLiteral("&roleName=CategoryAdmin");
}

QString appPathFromRootReply(int httpStatus, const std::optional<QByteArray> &location, const QUrl &finalUrl)
{
    QString path;
    if (httpStatus == 302) {
        if (!location)
            return {};
        const QString value = QString::fromUtf8(*location);
        const QUrl url(value);
        // The path is later appended to scheme, host and port, so a whole address is no use.
        path = (url.isValid() && !url.scheme().isEmpty() && !url.host().isEmpty()) ? url.path(QUrl::FullyDecoded)
                                                                                   : value;
    } else if (httpStatus == 200) {
        path = finalUrl.path(QUrl::FullyDecoded);
        if (path.endsWith(QLatin1Char('/')))
            path.chop(1);
    }
    if (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    return path;
}

QString categoryTimestamp(const QDateTime &moment)
{
    return moment.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"));
}

std::optional<qint64> integerValue(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double d = value.toDouble();
    // Beyond 2^53 a double no longer holds every integer, so such an id cannot be trusted.
    if (!std::isfinite(d) || std::floor(d) != d || std::fabs(d) > 9007199254740992.0)
        return std::nullopt;
    return static_cast<qint64>(d);
}

std::optional<QList<QJsonObject>> objectList(const QJsonValue &value)
{
    if (!value.isArray())
        return std::nullopt;
    QList<QJsonObject> out;
    const QJsonArray array = value.toArray();
    out.reserve(array.size());
    for (const QJsonValue &element : array) {
        if (!element.isObject())
            return std::nullopt;
        out.append(element.toObject());
    }
    return out;
}

std::optional<QList<QJsonObject>> childRecords(const QJsonObject &record)
{
    QJsonValue list;
    if (record.contains(QLatin1String("directChildCategoryStructuresSorted")))
        list = record.value(QLatin1String("directChildCategoryStructuresSorted"));
    else if (objectList(record.value(QLatin1String("visibleChildCategoryStructures"))))
        list = record.value(QLatin1String("visibleChildCategoryStructures"));
    else
        return std::nullopt;
    QList<QJsonObject> children;
    const QJsonArray array = list.toArray();
    for (const QJsonValue &structure : array) {
        const QJsonValue child = structure.toObject().value(QLatin1String("childCategory"));
        if (child.isObject())
            children.append(child.toObject());
    }
    return children;
}

} // namespace LMRequestRules
