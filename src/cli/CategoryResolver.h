#pragma once

#include "CliOptions.h"

#include "connection/CategoryTreeResolver.h"
#include "connection/LMServerConnection.h"

#include <QEventLoop>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <memory>
#include <optional>

class LMServerConnection;
struct Notification;

// Runs the event loop until the connection posts one of the named notifications, or a tree
// resolver finishes, or until abort() (the user's Ctrl+C) ends the wait. A certificate question
// is refused at once, since nobody is there to answer it: the requests it held fail, so no wait
// hangs on it, and the question is kept for the message.
class NotificationWaiter {
public:
    explicit NotificationWaiter(LMServerConnection *connection);
    NotificationWaiter(const NotificationWaiter &) = delete;
    NotificationWaiter &operator=(const NotificationWaiter &) = delete;

    [[nodiscard]] std::optional<Notification> waitFor(const QStringList &names);
    // Starts the resolver and waits for it; false when the wait was aborted. An abort cancels
    // the resolver and still waits for it to finish, since its request in flight refers to it.
    [[nodiscard]] bool run(CategoryTreeResolver *resolver);
    void abort();
    [[nodiscard]] bool aborted() const { return m_aborted; }
    // The CertificateNeedsTrust information of the certificate refused; empty when none was.
    [[nodiscard]] const QVariantMap &refusedCertificate() const { return m_refusedCertificate; }

private:
    LMServerConnection *m_connection;
    QObject m_observer;
    QVariantMap m_refusedCertificate;
    QEventLoop *m_loop = nullptr;
    CategoryTreeResolver *m_resolver = nullptr;
    bool m_aborted = false;
};

// Brings the connection to the category a command names, with the requests the session window
// makes: the server check, then the core's tree resolver for a path of names (or the climb from
// an id), leaving the target selected for an upload.
class CategoryResolver {
public:
    // passwordSource: where the login's password came from, for a refused login.
    CategoryResolver(LMServerConnection *connection, NotificationWaiter *waiter, const QString &passwordSource)
        : m_connection(connection), m_waiter(waiter), m_passwordSource(passwordSource)
    {
    }

    [[nodiscard]] std::optional<Failure> checkServer();
    [[nodiscard]] std::optional<Failure> loadCategoryTypes();
    // Finds the category at names (with create, makes the missing levels) and selects it.
    [[nodiscard]] std::optional<Failure> findTarget(const QStringList &names, bool create);
    [[nodiscard]] std::optional<Failure> climbTo(qint64 categoryID);
    // The children of a category (none: the top level) as the server lists them now.
    [[nodiscard]] std::optional<Failure> listChildren(const std::optional<CategoryRecord> &parent,
                                                      CategoryLevel *children);

    // What an upload would find and make: the target path (names, or none after climbTo) with
    // each folder of a kept tree below it, looked at without creating anything. The target
    // must be usable (with create, it may be missing), else the failure says why.
    [[nodiscard]] std::optional<Failure> preview(const QStringList &names, bool create,
                                                 const QStringList &folders,
                                                 std::unique_ptr<CategoryTreeResolver> *resolver);

    // Why nothing can go to that category (twins, or a level that could not be listed or made),
    // in the command line's words; where: its parent's path, or "the top level".
    [[nodiscard]] static QString obstacle(const CategoryTreeResolver::Node &node, const QString &where);

    // Why the server cannot be used, in the command line's words: a refused certificate (with
    // its fingerprint and how to trust it) or login (with the password's source) before reason.
    [[nodiscard]] Failure serverFailure(const QString &reason) const;

private:
    // The first level of names that was not found or made, as the failure a user reads; none
    // when the whole path is there (or, with missingAllowed, would be created).
    [[nodiscard]] std::optional<Failure> targetFailure(const CategoryTreeResolver &resolver,
                                                       const QStringList &names, bool missingAllowed);

    LMServerConnection *m_connection;
    NotificationWaiter *m_waiter;
    QString m_passwordSource;
};
