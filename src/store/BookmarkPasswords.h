#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

class ManagedObject;
class ObjectContext;
class SecretStore;
class ServerBookmark;

// Keeps bookmark passwords in the desktop keyring, one entry per bookmark under its uuid, and out
// of the store file. A password reaches the keyring from the store file: whenever the file holds
// one (an old store at launch, or a save after an edit), it is written to the keyring, and only
// once the keyring confirms it is the file's copy cleared and saved. Without a usable keyring the
// file keeps it, as before. A saved deletion removes the bookmark's entry; a bookmark that asks
// for its password each time has none.
class BookmarkPasswords : public QObject {
    Q_OBJECT
public:
    BookmarkPasswords(ObjectContext *context, SecretStore *secrets, QObject *parent = nullptr);
    ~BookmarkPasswords() override;
    BookmarkPasswords(const BookmarkPasswords &) = delete;
    BookmarkPasswords &operator=(const BookmarkPasswords &) = delete;

    [[nodiscard]] SecretStore *secrets() const { return m_secrets; }

    // Moves what the store file holds now, and from then on follows every save.
    void start();

    // The password a session uses, answered later and never inside the call: the record's own
    // when it has one, else the keyring's (taken into the record), else none. mustAsk when the
    // bookmark asks each time, or when the keyring could not be read (reason says why).
    struct Answer {
        std::optional<QString> password;
        bool mustAsk = false;
        QString reason;
    };
    // takeIntoRecord false leaves the record as it is (an editor whose user may be typing).
    void passwordFor(ServerBookmark *bookmark, QObject *receiver, std::function<void(const Answer &)> done,
                     bool takeIntoRecord = true);

signals:
    // A bookmark's password is in the keyring now and the store file keeps no copy.
    void passwordMoved(ServerBookmark *bookmark);
    // Once per run: passwords stay in the store file because the keyring cannot be used.
    void keyringUnavailable(const QString &reason);

private:
    void moveStoredPasswords();
    void removeAfterSave();

    ObjectContext *m_context;
    SecretStore *m_secrets;
    bool m_started = false;
    // uuid → the value on its way to the keyring.
    QHash<QString, QString> m_writing;
    // Entries to remove once the change that retired them is saved.
    struct Retired {
        QPointer<ManagedObject> record;
        QString uuid;
    };
    QList<Retired> m_retired;
};
