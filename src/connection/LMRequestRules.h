#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QUrl>

#include <optional>

// The small pure rules of the wire protocol, kept apart from the connection so they can be
// checked on their own.
namespace LMRequestRules {

// Every byte outside A-Z a-z 0-9 - . _ ~ as %XX (upper-case hex) of the UTF-8 form.
[[nodiscard]] QString percentEncodeQueryValue(const QString &value);

[[nodiscard]] QString loginQuery(const QString &userName, const QString &password);

// The application path a root-page reply points to; "" when it points nowhere usable.
[[nodiscard]] QString appPathFromRootReply(int httpStatus, const std::optional<QByteArray> &location,
                                           const QUrl &finalUrl);

// "yyyy-MM-dd'T'HH:mm:ss'Z'" in UTC.
[[nodiscard]] QString categoryTimestamp(const QDateTime &moment);

// JSON integer, or nothing for any other type or a fractional or out-of-range number.
[[nodiscard]] std::optional<qint64> integerValue(const QJsonValue &value);

// The records of a child list: the preferred list when present, else the visible one.
// Structures that are no object, or carry no object under "childCategory", are skipped.
[[nodiscard]] std::optional<QList<QJsonObject>> childRecords(const QJsonObject &record);

// An array whose every element is an object.
[[nodiscard]] std::optional<QList<QJsonObject>> objectList(const QJsonValue &value);

} // namespace LMRequestRules
