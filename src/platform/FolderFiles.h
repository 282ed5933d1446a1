#pragma once

#include <QString>
#include <QStringList>

// Which files a folder contributes when it is added for upload: regular, visible files, never
// symbolic links, hidden files, sockets or devices. The window takes a folder's own files;
// the command line also walks its visible sub-folders. Paths come in path order.
namespace FolderFiles {

enum class Depth { TopLevel, Recursive };

// Nothing when the folder cannot be read.
[[nodiscard]] QStringList list(const QString &folder, Depth depth);

} // namespace FolderFiles
