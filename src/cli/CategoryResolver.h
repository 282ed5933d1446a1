#pragma once

#include "CliOptions.h"

#include <QEventLoop>
#include <QObject>
#include <QStringList>

#include <optional>

class LMServerConnection;
struct Notification;

// Runs the event loop until the connection posts one of the named notifications, or until
// abort() (the user's Ctrl+C) ends the wait.
class NotificationWaiter {
public:
    explicit NotificationWaiter(LMServerConnection *connection) : m_connection(connection) {}
    NotificationWaiter(const NotificationWaiter &) = delete;
    NotificationWaiter &operator=(const NotificationWaiter &) = delete;

    [[nodiscard]] std::optional<Notification> waitFor(const QStringList &names);
    void abort();
    [[nodiscard]] bool aborted() const { return m_aborted; }

private:
    LMServerConnection *m_connection;
    QEventLoop *m_loop = nullptr;
    bool m_aborted = false;
};

// Brings the connection to the category a command names, with the requests the session window
// makes: the server check, the top level, then one selection per level (or the climb from an id).
class CategoryResolver {
public:
    CategoryResolver(LMServerConnection *connection, NotificationWaiter *waiter)
        : m_connection(connection), m_waiter(waiter)
    {
    }

    [[nodiscard]] std::optional<Failure> checkServer();
    [[nodiscard]] std::optional<Failure> loadCategoryTypes();
    [[nodiscard]] std::optional<Failure> loadTopLevel();
    // Selects each name in turn. With create, a missing name is created under its parent (or,
    // when dryRun, the missing rest of the path is put into wouldCreate and the walk stops).
    [[nodiscard]] std::optional<Failure> walk(const QStringList &names, bool create, bool dryRun,
                                              QStringList *wouldCreate);
    [[nodiscard]] std::optional<Failure> climbTo(qint64 categoryID);

private:
    [[nodiscard]] std::optional<Failure> select(qint64 column, qint64 row);
    [[nodiscard]] std::optional<Failure> create(qint64 column, const QString &name, qint64 *row);
    [[nodiscard]] Failure serverFailure(const QString &reason) const;
    [[nodiscard]] QString levelPath(qint64 column) const;

    LMServerConnection *m_connection;
    NotificationWaiter *m_waiter;
    QList<qint64> m_rows; // row selected in each column so far
};
