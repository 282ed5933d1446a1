#include "BookmarkPasswords.h"

#include "ObjectContext.h"
#include "SecretStore.h"
#include "ServerBookmark.h"
#include "StoreFile.h"

#include <QLoggingCategory>

#include <utility>

Q_DECLARE_LOGGING_CATEGORY(lcSecrets)

BookmarkPasswords::BookmarkPasswords(ObjectContext *context, SecretStore *secrets, QObject *parent)
    : QObject(parent), m_context(context), m_secrets(secrets)
{
    connect(secrets, &SecretStore::becameUnavailable, this, &BookmarkPasswords::keyringUnavailable);
}

BookmarkPasswords::~BookmarkPasswords() = default;

void BookmarkPasswords::start()
{
    if (m_started || !m_context)
        return;
    m_started = true;
    connect(m_context, &ObjectContext::didSave, this, [this] {
        removeAfterSave();
        moveStoredPasswords();
    });
    connect(m_context, &ObjectContext::objectDeleted, this, [this](ManagedObject *record) {
        if (auto *bookmark = qobject_cast<ServerBookmark *>(record))
            m_retired.append({record, bookmark->uuid()});
    });
    connect(m_context, &ObjectContext::objectChanged, this, [this](ManagedObject *record, const QString &key) {
        auto *bookmark = qobject_cast<ServerBookmark *>(record);
        if (bookmark && key == ServerBookmark::kAskForPassword && bookmark->askForPassword())
            m_retired.append({record, bookmark->uuid()});
    });
    moveStoredPasswords();
}

void BookmarkPasswords::moveStoredPasswords()
{
    for (ServerBookmark *bookmark : m_context->fetchAllBookmarks()) {
        const QVariant stored = bookmark->committedValues().value(ServerBookmark::kPassword);
        if (bookmark->isInserted() || !stored.isValid() || bookmark->askForPassword() || bookmark->uuid().isEmpty())
            continue;
        const QString uuid = bookmark->uuid();
        const QString value = stored.toString();
        if (m_writing.contains(uuid) && m_writing.value(uuid) == value)
            continue;
        // Without a keyring the file keeps its passwords; that was said once already.
        if (!m_secrets->isAvailable())
            return;
        m_writing.insert(uuid, value);
        QPointer<ServerBookmark> record(bookmark);
        m_secrets->write(uuid, value, this, [this, record, uuid, value](const SecretStore::Result &result) {
            if (m_writing.value(uuid) == value)
                m_writing.remove(uuid);
            if (!record || result.status != SecretStore::Status::Ok)
                return;
            record->setKeyringPassword(value);
            // The file's copy goes only now, and only while the file and the record both hold the
            // value the keyring confirmed; an edit since then is moved after its own save.
            if (record->isDeleted() || record->password() != value ||
                record->committedValues().value(ServerBookmark::kPassword) != QVariant(value))
                return;
            QString error;
            if (!m_context->saveObjects({record.data()}, &error)) {
                qCWarning(lcSecrets) << "a password is in the keyring, but the store file could not drop its copy:"
                                     << error;
                return;
            }
            if (StoreFile *file = m_context->storeFile())
                file->truncateJournal();
            emit passwordMoved(record);
        });
    }
}

void BookmarkPasswords::removeAfterSave()
{
    QList<Retired> keep;
    for (const Retired &retired : std::exchange(m_retired, {})) {
        QPointer<ServerBookmark> bookmark = qobject_cast<ServerBookmark *>(retired.record.data());
        if (retired.record && retired.record->isDeleted()) {
            // Until the deletion is saved the bookmark may still be in the file.
            if (m_context->isPendingDeletion(retired.record)) {
                keep.append(retired);
                continue;
            }
        } else if (bookmark) {
            if (!bookmark->askForPassword())
                continue;
            if (!bookmark->committedValues().value(ServerBookmark::kAskForPassword).toBool()) {
                keep.append(retired);
                continue;
            }
        }
        m_secrets->remove(retired.uuid, this, [bookmark](const SecretStore::Result &result) {
            if (bookmark && result.status != SecretStore::Status::Failed)
                bookmark->setKeyringPassword(std::nullopt);
        });
    }
    m_retired = keep;
}

void BookmarkPasswords::passwordFor(ServerBookmark *bookmark, QObject *receiver,
                                    std::function<void(const Answer &)> done, bool takeIntoRecord)
{
    QPointer<QObject> guard(receiver);
    auto later = [this, guard, done](const Answer &answer) {
        QMetaObject::invokeMethod(
            this,
            [guard, done, answer] {
                if (guard)
                    done(answer);
            },
            Qt::QueuedConnection);
    };
    if (!bookmark) {
        later({});
        return;
    }
    if (bookmark->askForPassword()) {
        later({std::nullopt, true, {}});
        return;
    }
    if (!bookmark->passwordIsInKeyring()) {
        later({bookmark->password(), false, {}});
        return;
    }
    QPointer<ServerBookmark> record(bookmark);
    m_secrets->read(bookmark->uuid(), receiver, [record, done, takeIntoRecord](const SecretStore::Result &result) {
        switch (result.status) {
        case SecretStore::Status::Ok:
            // Known from now on, so the editor shows it and an undo of an edit can restore it.
            if (takeIntoRecord && record && record->passwordIsInKeyring())
                record->adoptKeyringPassword(result.secret);
            done({result.secret, false, {}});
            return;
        case SecretStore::Status::NotFound:
            done({});
            return;
        case SecretStore::Status::Failed:
            done({std::nullopt, true,
                  tr("The password could not be read from the desktop keyring. %1").arg(result.error)});
            return;
        }
    });
}
