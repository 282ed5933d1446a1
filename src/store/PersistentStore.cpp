#include "PersistentStore.h"

#include "ObjectContext.h"
#include "StoreFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <unistd.h>

QString StoreOpenError::description()
{
    return QCoreApplication::translate("PersistentStore",
                                       "Failed to initialize the application's saved data");
}

QString StoreOpenError::generalReason()
{
    return QCoreApplication::translate(
        "PersistentStore", "There was an error creating or loading the application's saved data.");
}

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
            QCoreApplication::translate("PersistentStore",
                                        "Expected a folder to store application data, found a file %1.")
                .arg(folder),
            {}};
    }
    if (!info.exists()) {
        std::error_code created;
        std::filesystem::create_directories(folder.toStdString(), created);
        if (created) {
            return StoreOpenError{
                StoreOpenError::generalReason(),
                QCoreApplication::translate("PersistentStore", "Could not create the folder %1: %2")
                    .arg(folder, QString::fromLocal8Bit(created.message().c_str()))};
        }
    }
    // The folder holds the passwords of every bookmark.
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // The store writes its journal beside the file: a folder it may not write is the cause to
    // name, not whatever SQLite stumbles over first.
    if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0) {
        const QString cause = QString::fromLocal8Bit(std::strerror(errno));
        return StoreOpenError{
            QCoreApplication::translate("PersistentStore", "The data folder %1 cannot be written: %2")
                .arg(folder, cause),
            cause};
    }

    auto store = std::make_unique<StoreFile>();
    QString reason;
    const bool opened = store->open(folder + QLatin1Char('/') + FileName, &reason);
    auto context = opened ? std::make_unique<ObjectContext>(std::move(store)) : nullptr;
    if (context && (contents == Contents::Everything ? context->load(&reason) : context->loadBookmarks(&reason)))
        return context;
    const StoreFile::Failure kind = context ? context->storeFile()->lastFailure() : store->lastFailure();
    // A lock held by another program, or a file that cannot be written, is said as it is; the
    // store itself is never touched in reply.
    if (kind == StoreFile::Failure::InUse || kind == StoreFile::Failure::Unwritable)
        return StoreOpenError{reason, {}};
    return StoreOpenError{StoreOpenError::generalReason(), reason};
}

} // namespace PersistentStore
