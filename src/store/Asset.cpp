#include "Asset.h"

#include "ServerBookmark.h"

#include <QCoreApplication>

Asset::Asset(ObjectContext *context, const QVariantMap &stored, qint64 objectId)
    : ManagedObject(EntityName, context, stored, objectId)
{
    connect(this, &ManagedObject::valueChanged, this, &Asset::fieldChanged);
}

std::optional<QString> Asset::filePath() const
{
    const QVariant v = value(kFilePath);
    return v.isValid() ? std::optional<QString>(v.toString()) : std::nullopt;
}

void Asset::setFilePath(const std::optional<QString> &path)
{
    setValue(kFilePath, path ? QVariant(*path) : QVariant());
}

ServerBookmark *Asset::bookmark() const
{
    return qobject_cast<ServerBookmark *>(value(kBookmark).value<QObject *>());
}

void Asset::setBookmark(ServerBookmark *bookmark)
{
    setValue(kBookmark, bookmark ? QVariant::fromValue<QObject *>(bookmark) : QVariant());
}

std::optional<qint64> Asset::categoryID() const
{
    const QVariant v = value(kCategoryID);
    return v.isValid() ? std::optional<qint64>(v.toLongLong()) : std::nullopt;
}

void Asset::setCategoryID(const std::optional<qint64> &id)
{
    setValue(kCategoryID, id ? QVariant::fromValue(*id) : QVariant());
}

std::optional<QString> Asset::folderPath() const
{
    const QVariant v = value(kFolderPath);
    return v.isValid() ? std::optional<QString>(v.toString()) : std::nullopt;
}

void Asset::setFolderPath(const std::optional<QString> &folder)
{
    setValue(kFolderPath, folder ? QVariant(*folder) : QVariant());
}

std::optional<QString> Asset::categoryPath() const
{
    const QVariant v = value(kCategoryPath);
    return v.isValid() ? std::optional<QString>(v.toString()) : std::nullopt;
}

void Asset::setCategoryPath(const std::optional<QString> &path)
{
    setValue(kCategoryPath, path ? QVariant(*path) : QVariant());
}

std::optional<QDateTime> Asset::uploadDateTime() const
{
    const QVariant v = value(kUploadDateTime);
    return v.isValid() ? std::optional<QDateTime>(v.toDateTime()) : std::nullopt;
}

void Asset::setUploadDateTime(const std::optional<QDateTime> &when)
{
    setValue(kUploadDateTime, when ? QVariant(*when) : QVariant());
}

std::optional<qint64> Asset::fileSize() const
{
    const QVariant v = value(kFileSize);
    return v.isValid() ? std::optional<qint64>(v.toLongLong()) : std::nullopt;
}

std::optional<QString> Asset::contentHash() const
{
    const QVariant v = value(kContentHash);
    return v.isValid() ? std::optional<QString>(v.toString()) : std::nullopt;
}

std::optional<QString> Asset::serverKey() const
{
    const QVariant v = value(kServerKey);
    return v.isValid() ? std::optional<QString>(v.toString()) : std::nullopt;
}

void Asset::setFingerprint(qint64 size, const std::optional<QString> &hash, const QString &serverKey)
{
    setValue(kFileSize, size);
    setValue(kContentHash, hash ? QVariant(*hash) : QVariant());
    setValue(kServerKey, serverKey);
}

QString Asset::endedWhileSending()
{
    return QCoreApplication::translate("Asset", "The program ended while the file was being sent.");
}

QString Asset::stateText(UploadState state)
{
    switch (state) {
    case UploadState::Sending:
        return QStringLiteral("sending");
    case UploadState::MayHaveArrived:
        return QStringLiteral("may-have-arrived");
    case UploadState::Waiting:
        break;
    }
    return {};
}

Asset::UploadState Asset::uploadState() const
{
    const QString text = value(kUploadState).toString();
    if (text == stateText(UploadState::Sending))
        return UploadState::Sending;
    if (text == stateText(UploadState::MayHaveArrived))
        return UploadState::MayHaveArrived;
    return UploadState::Waiting;
}

void Asset::setUploadState(UploadState state, const QString &reason)
{
    const QString text = stateText(state);
    setValue(kUploadState, text.isEmpty() ? QVariant() : QVariant(text));
    setValue(kUploadStateReason, reason.isEmpty() ? QVariant() : QVariant(reason));
}

QString Asset::fileName() const
{
    const QString path = filePath().value_or(QString());
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}
