#include "CategoryTreeResolver.h"

#include "LMRequestRules.h"
#include "LMServerConnection.h"

#include <QLoggingCategory>
#include <QSet>

#include <algorithm>

Q_DECLARE_LOGGING_CATEGORY(lcConnection)

using LMRequestRules::integerValue;

namespace {
QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// Component by component, so a folder's sub-folders follow it directly; names in byte order,
// as the added files are.
bool pathBefore(const QStringList &left, const QStringList &right)
{
    return std::lexicographical_compare(
        left.cbegin(), left.cend(), right.cbegin(), right.cend(),
        [](const QString &l, const QString &r) { return l.toUtf8() < r.toUtf8(); });
}

QList<QStringList> splitFolders(const QStringList &folders)
{
    QList<QStringList> paths;
    for (const QString &folder : folders)
        paths.append(folder.split(QLatin1Char('/'), Qt::SkipEmptyParts));
    return paths;
}

// Names are compared as text, not as code points: a server (or a file system) may store "É"
// decomposed while a person types it composed.
QString comparable(const QString &name)
{
    return name.normalized(QString::NormalizationForm_C);
}
} // namespace

CategoryTreeResolver::CategoryTreeResolver(LMServerConnection *connection, std::optional<CategoryRecord> base,
                                           const QStringList &folders, Mode mode, QObject *parent)
    : CategoryTreeResolver(connection, std::move(base), splitFolders(folders), mode, parent)
{
}

CategoryTreeResolver::CategoryTreeResolver(LMServerConnection *connection, std::optional<CategoryRecord> base,
                                           const QList<QStringList> &paths, Mode mode, QObject *parent)
    : QObject(parent), m_connection(connection), m_base(std::move(base)), m_mode(mode)
{
    if (m_base)
        m_basePath = QLatin1Char('/') + m_base->value(QLatin1String("name")).toString();

    QList<QStringList> all;
    QSet<QStringList> seen;
    for (const QStringList &parts : paths) {
        for (qsizetype n = 1; n <= parts.size(); ++n) {
            const QStringList prefix = parts.first(n);
            if (!seen.contains(prefix)) {
                seen.insert(prefix);
                all.append(prefix);
            }
        }
    }
    std::sort(all.begin(), all.end(), pathBefore);
    for (const QStringList &parts : std::as_const(all)) {
        Node node;
        node.folder = parts.join(QLatin1Char('/'));
        node.name = parts.last();
        const int index = int(m_nodes.size());
        const int parentIndex = parts.size() < 2 ? -1 : m_index.value(parts.first(parts.size() - 1), -1);
        m_nodes.append(node);
        m_index.insert(parts, index);
        m_parent.append(parentIndex);
        m_children[parentIndex].append(index);
        m_depth.append(int(parts.size() - 1));
        m_final.append(false);
        m_attempts.append(0);
        m_maxDepth = std::max(m_maxDepth, m_depth.last());
    }
    if (connection) {
        // A session that goes away takes its replies with it: no answer will come.
        connect(connection, &QObject::destroyed, this, [this] {
            if (!m_started || m_finished)
                return;
            m_busy = false;
            settleRest(QStringLiteral("the session ended before this category was settled"));
            finish();
        });
    }
}

CategoryTreeResolver::~CategoryTreeResolver() = default;

const CategoryTreeResolver::Node *CategoryTreeResolver::node(const QString &folder) const
{
    return node(folder.split(QLatin1Char('/'), Qt::SkipEmptyParts));
}

const CategoryTreeResolver::Node *CategoryTreeResolver::node(const QStringList &names) const
{
    const auto it = m_index.constFind(names);
    return it == m_index.constEnd() ? nullptr : &m_nodes.at(*it);
}

void CategoryTreeResolver::start()
{
    if (m_started)
        return;
    m_started = true;
    QMetaObject::invokeMethod(this, &CategoryTreeResolver::next, Qt::QueuedConnection);
}

void CategoryTreeResolver::cancel()
{
    m_cancelled = true;
}

bool CategoryTreeResolver::isFinal(State state) const
{
    return state != State::Missing || m_mode == Mode::Preview;
}

void CategoryTreeResolver::settle(int index, State state, const QString &reason)
{
    Node &node = m_nodes[index];
    node.state = state;
    node.reason = reason;
    if (!m_final.at(index) && isFinal(state)) {
        m_final[index] = true;
        ++m_settled;
    }
}

void CategoryTreeResolver::settleBelow(int parent, State state, const QString &reason)
{
    for (int child : m_children.value(parent)) {
        settle(child, state, reason);
        settleBelow(child, state, reason);
    }
}

void CategoryTreeResolver::settleRest(const QString &reason)
{
    const State state = m_mode == Mode::Preview ? State::Unknown : State::Failed;
    for (int i = 0; i < m_nodes.size(); ++i) {
        if (!m_final.at(i))
            settle(i, state, reason);
    }
}

QString CategoryTreeResolver::pathOf(int index) const
{
    if (index < 0)
        return m_basePath.isEmpty() ? QStringLiteral("/") : m_basePath;
    return m_basePath + QLatin1Char('/') + m_nodes.at(index).folder;
}

QString CategoryTreeResolver::placeOf(int index) const
{
    if (index < 0 && m_basePath.isEmpty())
        return QStringLiteral("at the top level");
    return QStringLiteral("in ") + quoted(pathOf(index));
}

std::optional<CategoryRecord> CategoryTreeResolver::parentRecord(int index) const
{
    const int parent = m_parent.at(index);
    return parent < 0 ? m_base : m_nodes.at(parent).record;
}

void CategoryTreeResolver::next()
{
    if (m_busy || m_finished)
        return;
    for (;;) {
        if (m_cancelled || !m_connection) {
            settleRest(m_cancelled ? QStringLiteral("stopped before this category was settled")
                                   : QStringLiteral("the session ended before this category was settled"));
            finish();
            return;
        }
        if (!m_tasks.isEmpty()) {
            m_busy = true;
            run(m_tasks.takeFirst());
            return;
        }
        if (!m_creating) {
            // The level's listings are in: its missing categories are made in node order.
            m_creating = true;
            if (m_mode == Mode::Create) {
                for (int i = 0; i < m_nodes.size(); ++i) {
                    if (m_depth.at(i) == m_level && m_nodes.at(i).state == State::Missing && !m_final.at(i))
                        m_tasks.append({Task::Create, i});
                }
            }
            continue;
        }
        if (m_level >= m_maxDepth) {
            finish();
            return;
        }
        planLevel(++m_level);
        m_creating = false;
    }
}

void CategoryTreeResolver::planLevel(int depth)
{
    QList<int> parents;
    if (depth == 0) {
        parents.append(-1);
    } else {
        for (int i = 0; i < m_nodes.size(); ++i) {
            if (m_depth.at(i) == depth - 1)
                parents.append(i);
        }
    }
    for (int parent : std::as_const(parents)) {
        const QList<int> children = m_children.value(parent);
        if (children.isEmpty())
            continue;
        const State state = parent < 0 ? State::Exists : m_nodes.at(parent).state;
        switch (state) {
        case State::Exists:
            m_tasks.append({Task::List, parent});
            break;
        case State::Missing:
        case State::Created:
            // A category made by this run, or still to be made, has no children yet.
            for (int child : children)
                settle(child, State::Missing);
            break;
        case State::Twins:
        case State::Unknown:
        case State::Failed:
            // Settled with their parent already.
            break;
        }
    }
}

void CategoryTreeResolver::run(const Task &task)
{
    QPointer<CategoryTreeResolver> self(this);
    switch (task.kind) {
    case Task::List:
        m_connection->listChildren(
            task.index < 0 ? m_base : m_nodes.at(task.index).record,
            [self, parent = task.index](const LMServerConnection::ChildListing &listing) {
                if (self && !self->m_finished)
                    self->listed(parent, listing.children, listing.failure);
            });
        break;
    case Task::Create:
        ++m_attempts[task.index];
        m_connection->createCategory(
            m_nodes.at(task.index).name, parentRecord(task.index),
            [self, index = task.index](const LMServerConnection::Creation &creation) {
                if (self && !self->m_finished)
                    self->created(index, creation.record, creation.failure, creation.answered);
            });
        break;
    case Task::Relist:
        m_connection->listChildren(
            parentRecord(task.index),
            [self, index = task.index](const LMServerConnection::ChildListing &listing) {
                if (self && !self->m_finished)
                    self->relisted(index, listing.children, listing.failure);
            });
        break;
    }
}

bool CategoryTreeResolver::match(int index, const QList<CategoryRecord> &children)
{
    const QString &name = m_nodes.at(index).name;
    const QString wanted = comparable(name);
    QList<CategoryRecord> found;
    for (const CategoryRecord &child : children) {
        if (comparable(child.value(QLatin1String("name")).toString()) == wanted)
            found.append(child);
    }
    if (found.isEmpty())
        return false;
    if (found.size() == 1) {
        m_nodes[index].record = found.first();
        settle(index, State::Exists);
        return true;
    }
    // Which one was meant only a person can say.
    QStringList ids;
    for (const CategoryRecord &twin : std::as_const(found)) {
        const qint64 id = integerValue(twin.value(QLatin1String("id"))).value_or(-1);
        m_nodes[index].twinIds.append(id);
        ids << QString::number(id);
    }
    const int parent = m_parent.at(index);
    const QString reason = QStringLiteral("%1 categories %2 are named %3 (ids %4)")
                               .arg(found.size())
                               .arg(placeOf(parent), quoted(name), ids.join(QStringLiteral(", ")));
    settle(index, State::Twins, reason);
    settleBelow(index, m_mode == Mode::Preview ? State::Unknown : State::Failed, reason);
    return true;
}

void CategoryTreeResolver::listed(int parent, const std::optional<QList<CategoryRecord>> &children,
                                  const QString &failure)
{
    m_busy = false;
    if (!children) {
        const QString reason =
            QStringLiteral("could not list the categories %1: %2").arg(placeOf(parent), failure);
        qCWarning(lcConnection) << reason;
        settleBelow(parent, m_mode == Mode::Preview ? State::Unknown : State::Failed, reason);
    } else {
        for (int child : m_children.value(parent)) {
            if (!match(child, *children))
                settle(child, State::Missing);
        }
    }
    stepDone();
}

void CategoryTreeResolver::created(int index, const std::optional<CategoryRecord> &record,
                                   const QString &failure, bool answered)
{
    m_busy = false;
    if (record) {
        m_nodes[index].record = record;
        ++m_created;
        settle(index, State::Created);
    } else if (answered) {
        const QString reason =
            QStringLiteral("could not create the category %1: %2").arg(quoted(pathOf(index)), failure);
        settle(index, State::Failed, reason);
        settleBelow(index, State::Failed, reason);
    } else {
        // The server may hold it all the same: never sent again before the parent says it does not.
        m_lostAnswer.insert(index, failure);
        m_tasks.prepend({Task::Relist, index});
    }
    stepDone();
}

void CategoryTreeResolver::relisted(int index, const std::optional<QList<CategoryRecord>> &children,
                                    const QString &failure)
{
    m_busy = false;
    const QString lost = m_lostAnswer.take(index);
    if (!children) {
        const QString reason =
            QStringLiteral("no answer came when creating the category %1 (%2), and %3 could not be "
                           "listed to see whether it was made: %4")
                .arg(quoted(pathOf(index)), lost, quoted(pathOf(m_parent.at(index))), failure);
        settle(index, State::Failed, reason);
        settleBelow(index, State::Failed, reason);
    } else if (!match(index, *children)) {
        // Proven absent, so it may go once more; a second lost answer ends it.
        if (m_attempts.at(index) < 2) {
            m_tasks.prepend({Task::Create, index});
        } else {
            const QString reason =
                QStringLiteral("could not create the category %1: %2").arg(quoted(pathOf(index)), lost);
            settle(index, State::Failed, reason);
            settleBelow(index, State::Failed, reason);
        }
    }
    stepDone();
}

void CategoryTreeResolver::stepDone()
{
    // The next request goes out before the progress is told, so a stop asked for on hearing it
    // comes after that request, as it would a moment later.
    next();
    if (!m_finished)
        reportProgress();
}

void CategoryTreeResolver::reportProgress()
{
    if (m_settled == m_reported)
        return;
    m_reported = m_settled;
    emit progress(m_settled, int(m_nodes.size()));
}

void CategoryTreeResolver::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_tasks.clear();
    reportProgress();
    emit finished();
}

std::optional<CategoryRecord> CategoryTreeResolver::categoryFor(const QString &folder, QString *why) const
{
    const QStringList parts = folder.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.isEmpty()) {
        if (!m_base && why)
            *why = QStringLiteral("files cannot go to the top level");
        return m_base;
    }
    std::optional<CategoryRecord> record;
    for (qsizetype n = 1; n <= parts.size(); ++n) {
        const int index = m_index.value(parts.first(n), -1);
        if (index < 0) {
            if (why)
                *why = QStringLiteral("the folder %1 is not part of this tree").arg(quoted(folder));
            return std::nullopt;
        }
        const Node &node = m_nodes.at(index);
        if ((node.state != State::Exists && node.state != State::Created) || !node.record) {
            if (why)
                *why = node.reason.isEmpty()
                           ? QStringLiteral("the category %1 does not exist").arg(quoted(pathOf(index)))
                           : node.reason;
            return std::nullopt;
        }
        record = node.record;
    }
    return record;
}

QList<CategoryRecord> CategoryTreeResolver::recordsTo(const QString &folder) const
{
    return recordsTo(folder.split(QLatin1Char('/'), Qt::SkipEmptyParts));
}

QList<CategoryRecord> CategoryTreeResolver::recordsTo(const QStringList &parts) const
{
    QList<CategoryRecord> records;
    for (qsizetype n = 1; n <= parts.size(); ++n) {
        const int index = m_index.value(parts.first(n), -1);
        if (index < 0 || !m_nodes.at(index).record)
            break;
        records.append(*m_nodes.at(index).record);
    }
    return records;
}

QString CategoryTreeResolver::categoryPathOf(const QString &folder) const
{
    QString path = m_basePath;
    for (const CategoryRecord &record : recordsTo(folder))
        path += QLatin1Char('/') + record.value(QLatin1String("name")).toString();
    return path;
}
