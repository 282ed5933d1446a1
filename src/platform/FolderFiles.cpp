#include "FolderFiles.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace FolderFiles {

namespace {
void collect(const QDir &dir, Depth depth, QStringList *paths)
{
    // Without QDir::Hidden and QDir::System: no dot files, sockets or devices.
    const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QFileInfo &entry : files)
        paths->append(dir.filePath(entry.fileName()));
    if (depth != Depth::Recursive)
        return;
    const QFileInfoList folders = dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QFileInfo &entry : folders) {
        const QDir sub(dir.filePath(entry.fileName()));
        if (sub.isReadable())
            collect(sub, depth, paths);
    }
}
} // namespace

QStringList list(const QString &folder, Depth depth)
{
    const QDir dir(folder);
    if (!dir.isReadable())
        return {};
    QStringList paths;
    collect(dir, depth, &paths);
    // One order for every run, whatever the file system lists first.
    std::sort(paths.begin(), paths.end());
    return paths;
}

} // namespace FolderFiles
