#include "session/ImportQueue.h"

#include "store/Asset.h"
#include "store/ObjectContext.h"

#include <algorithm>

ImportQueue::ImportQueue(QObject *parent) : QObject(parent) {}

ImportQueue::~ImportQueue() = default;

void ImportQueue::watch(ObjectContext *context)
{
    if (context)
        connect(context, &ObjectContext::objectDeleted, this, &ImportQueue::forget, Qt::UniqueConnection);
}

QList<Asset *> ImportQueue::records() const
{
    QList<Asset *> out;
    out.reserve(m_records.size());
    for (const QPointer<Asset> &record : m_records)
        if (record)
            out.append(record);
    return out;
}

Asset *ImportQueue::at(int row) const
{
    return row >= 0 && row < m_records.size() ? m_records.at(row).data() : nullptr;
}

int ImportQueue::rowOf(const QObject *record) const
{
    if (!contains(record))
        return -1;
    for (int row = 0; row < m_records.size(); ++row)
        if (m_records.at(row) == record)
            return row;
    return -1;
}

void ImportQueue::append(Asset *record)
{
    if (record && !m_listed.contains(record)) {
        m_records.append(record);
        m_listed.insert(record);
        const QString path = record->filePath().value_or(QString());
        m_recordPaths.append(path);
        ++m_paths[path];
    }
}

void ImportQueue::removeRows(int first, int count)
{
    count = std::min(count, size() - first);
    if (first < 0 || count <= 0)
        return;
    for (int row = first; row < first + count; ++row) {
        m_failures.remove(m_records.at(row).data());
        m_sent.remove(m_records.at(row).data());
        m_listed.remove(m_records.at(row).data());
        const auto path = m_paths.find(m_recordPaths.at(row));
        if (path != m_paths.end() && --*path <= 0)
            m_paths.erase(path);
    }
    m_records.remove(first, count);
    m_recordPaths.remove(first, count);
}

bool ImportQueue::markSent(const QObject *record)
{
    if (!contains(record) || m_sent.contains(record))
        return false;
    m_sent.insert(record);
    return true;
}

int ImportQueue::firstUnsentRow() const
{
    for (int row = 0; row < size(); ++row)
        if (!m_sent.contains(m_records.at(row).data()))
            return row;
    return -1;
}

QList<std::pair<int, int>> ImportQueue::sentRuns() const
{
    // Sent records gather near the top (only failed ones stay above them): stop once all are found.
    QList<std::pair<int, int>> runs;
    qsizetype found = 0;
    for (int row = 0; row < size() && found < m_sent.size(); ++row) {
        if (!m_sent.contains(m_records.at(row).data()))
            continue;
        ++found;
        if (!runs.isEmpty() && runs.constLast().first + runs.constLast().second == row)
            ++runs.last().second;
        else
            runs.append({row, 1});
    }
    std::reverse(runs.begin(), runs.end());
    return runs;
}

void ImportQueue::setFailure(const Asset *record, const QString &reason)
{
    if (contains(record))
        m_failures.insert(record, reason.isEmpty() ? tr("The file could not be uploaded.") : reason);
}

QString ImportQueue::failure(int row) const
{
    return m_failures.value(at(row));
}

void ImportQueue::forget(ManagedObject *record)
{
    const int row = rowOf(record);
    if (row < 0)
        return;
    removeAt(row);
    emit recordDropped(row);
}
