#include "PersistentStore.h"

#include "ObjectContext.h"
#include "StoreFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace PersistentStore {

QString applicationDocumentsDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QLatin1Char('/') + FolderName;
}

OpenResult open(const QString &folder, Contents contents)
{
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir()) {
        return StoreOpenError{
            QStringLiteral("Expected a folder to store application data, found a file ") + folder + QLatin1Char('.'),
            {}};
    }
    if (!info.exists()) {
        if (!QDir().mkpath(folder))
            return StoreOpenError{StoreOpenError::GeneralReason, QStringLiteral("Could not create the folder ") + folder};
    }
    // The folder holds the passwords of every bookmark.
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    auto store = std::make_unique<StoreFile>();
    QString reason;
    if (!store->open(folder + QLatin1Char('/') + FileName, &reason))
        return StoreOpenError{StoreOpenError::GeneralReason, reason};
    auto context = std::make_unique<ObjectContext>(std::move(store));
    const bool loaded = contents == Contents::Everything ? context->load(&reason) : context->loadBookmarks(&reason);
    if (!loaded)
        return StoreOpenError{StoreOpenError::GeneralReason, reason};
    return context;
}

} // namespace PersistentStore
