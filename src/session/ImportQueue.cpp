#include "session/ImportQueue.h"

#include "platform/FolderFiles.h"
#include "store/Asset.h"
#include "store/ObjectContext.h"

#include <QFileInfo>

ImportQueue::ImportQueue(QObject *parent) : QObject(parent) {}

ImportQueue::~ImportQueue() = default;

void ImportQueue::watch(ObjectContext *context)
{
    if (context)
        connect(context, &ObjectContext::objectDeleted, this, &ImportQueue::forget, Qt::UniqueConnection);
}

QStringList ImportQueue::filesToQueue(const QList<QUrl> &urls)
{
    QStringList paths;
    for (const QUrl &url : urls) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        if (!QFileInfo(path).isDir()) {
            paths.append(path);
            continue;
        }
        paths.append(FolderFiles::list(path, FolderFiles::Depth::TopLevel));
    }
    return paths;
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
    if (!record)
        return -1;
    for (int row = 0; row < m_records.size(); ++row)
        if (m_records.at(row) == record)
            return row;
    return -1;
}

void ImportQueue::append(Asset *record)
{
    if (record)
        m_records.append(record);
}

void ImportQueue::removeAt(int row)
{
    if (row < 0 || row >= m_records.size())
        return;
    m_failures.remove(m_records.at(row).data());
    m_records.removeAt(row);
}

void ImportQueue::setFailure(const Asset *record, const QString &reason)
{
    if (rowOf(record) >= 0)
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
    emit recordsDropped();
}
