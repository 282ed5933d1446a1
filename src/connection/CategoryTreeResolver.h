#pragma once

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <optional>

class LMServerConnection;
using CategoryRecord = QJsonObject;

// Finds, and in Create mode makes, the categories a tree of folders needs below a base category
// (or below the top level), with the requests the window already makes: a listing of each
// existing category the tree reaches, and one creation per missing category, each under its
// parent, level by level. It never guesses: two siblings of one name, or a listing that cannot
// prove a name absent (it failed, or a record in it lacks a name or an id), stop that branch with
// the reason, and nothing is created there. A creation whose answer was lost is never sent again:
// the parent is listed anew and the name looked for first.
//
// Driven by replies on the event loop: the window runs it without blocking, lumaro-import waits
// for finished(). It leaves the connection's browser model alone.
class CategoryTreeResolver : public QObject {
    Q_OBJECT
public:
    enum class Mode { Preview, Create };
    enum class State {
        Exists,  // on the server; record as it was listed
        Missing, // Preview: absent from a complete listing, so it would be created
        Created, // Create: made by this run; record is the server's answer
        Twins,   // several siblings carry the name: twinIds; the branch is not used
        Unknown, // Preview: its parent's listing could not say (reason), or a level above is unknown
        Failed,  // Create: it, or a level above, could not be found or made (reason)
    };
    struct Node {
        QString folder; // relative path below the base, "card/DCIM"
        QString name;   // its last component
        State state = State::Unknown;
        std::optional<CategoryRecord> record;
        QList<qint64> twinIds;
        QString reason;
    };

    // folders: relative paths, "/"-separated, without empty components; their ancestors are
    // implied. base: the category they go below, none for the top level.
    CategoryTreeResolver(LMServerConnection *connection, std::optional<CategoryRecord> base,
                         const QStringList &folders, Mode mode, QObject *parent = nullptr);
    // The same with each path given as its names, for names that hold a "/" (a category's may).
    CategoryTreeResolver(LMServerConnection *connection, std::optional<CategoryRecord> base,
                         const QList<QStringList> &paths, Mode mode, QObject *parent = nullptr);
    ~CategoryTreeResolver() override;
    CategoryTreeResolver(const CategoryTreeResolver &) = delete;
    CategoryTreeResolver &operator=(const CategoryTreeResolver &) = delete;

    // The path reasons name the base by, as the upload target is shown ("/Photos/2026"); by
    // default "/" and the base's name, or nothing for the top level. Set before start().
    void setBasePath(const QString &path) { m_basePath = path; }
    [[nodiscard]] const QString &basePath() const { return m_basePath; }

    // finished() always follows later, never inside start().
    void start();
    // No request is started after this; the one in flight is let finish. finished() still comes.
    void cancel();
    [[nodiscard]] bool isFinished() const { return m_finished; }
    [[nodiscard]] bool wasCancelled() const { return m_cancelled; }

    // Every folder and implied ancestor, parents before children, siblings in path order.
    [[nodiscard]] const QList<Node> &nodes() const { return m_nodes; }
    [[nodiscard]] const Node *node(const QString &folder) const;
    [[nodiscard]] const Node *node(const QStringList &names) const;
    // The record a file in that folder is sent with (the base itself for ""), or none with why
    // (the first reason found from the base down).
    [[nodiscard]] std::optional<CategoryRecord> categoryFor(const QString &folder, QString *why = nullptr) const;
    // The records from the base's child down to that folder, for a path shown or logged.
    [[nodiscard]] QList<CategoryRecord> recordsTo(const QString &folder) const;
    [[nodiscard]] QList<CategoryRecord> recordsTo(const QStringList &names) const;
    // The base path, then the name of each record down to that folder as the server gave it.
    [[nodiscard]] QString categoryPathOf(const QString &folder) const;
    // How many categories this run created (one POST each).
    [[nodiscard]] int createdCount() const { return m_created; }

signals:
    // Categories settled (found, created or failed) out of all nodes.
    void progress(int done, int total);
    void finished();

private:
    // One request: the children of a node (-1: the base), a creation, or the parent of a
    // creation whose answer was lost, listed again to see whether it was made.
    struct Task {
        enum Kind { List, Create, Relist } kind;
        int index;
    };

    void settle(int index, State state, const QString &reason = {});
    void settleBelow(int parent, State state, const QString &reason);
    void settleRest(const QString &reason);
    void next();
    void planLevel(int depth);
    void run(const Task &task);
    void listed(int parent, const std::optional<QList<CategoryRecord>> &children, const QString &failure);
    void created(int index, const std::optional<CategoryRecord> &record, const QString &failure,
                 bool answered);
    void relisted(int index, const std::optional<QList<CategoryRecord>> &children, const QString &failure);
    // Looks for the node's name among its parent's children: Exists, Twins, or false when absent.
    bool match(int index, const QList<CategoryRecord> &children);
    [[nodiscard]] std::optional<CategoryRecord> parentRecord(int index) const;
    [[nodiscard]] QString pathOf(int index) const;
    // "in "/Photos/card"", or "at the top level".
    [[nodiscard]] QString placeOf(int index) const;
    [[nodiscard]] bool isFinal(State state) const;
    void stepDone();
    void finish();
    void reportProgress();

    QPointer<LMServerConnection> m_connection;
    std::optional<CategoryRecord> m_base;
    QString m_basePath;
    Mode m_mode;
    QList<Node> m_nodes;
    QHash<QStringList, int> m_index; // by the names from the base down
    QList<int> m_parent;               // -1: the base
    QHash<int, QList<int>> m_children; // by parent, -1 for the base; in node order
    QList<int> m_depth;
    QList<bool> m_final;
    QList<int> m_attempts;
    QHash<int, QString> m_lostAnswer; // why a creation got no answer, while its parent is listed again
    QList<Task> m_tasks;
    int m_level = -1;
    int m_maxDepth = -1;
    bool m_creating = true; // the current level is past its listings
    int m_settled = 0;
    int m_reported = -1;
    int m_created = 0;
    bool m_started = false;
    bool m_busy = false;
    bool m_finished = false;
    bool m_cancelled = false;
};
