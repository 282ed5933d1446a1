#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// What a list of added paths (files and folders, as dropped, chosen or named on the command
// line) contributes to an upload queue: every regular, visible file, folders walked with all their
// sub-folders in path order, hidden entries and symbolic links skipped as a file manager hides
// them, and every other item that cannot be queued named with its reason. The window and
// lumaro-import both add through here, so both leave out the same things and say so alike.
namespace AddedFiles {

struct File {
    // Absolute and clean; the name it can be opened by.
    QString path;
    // Where the file sits below the added folder, the added folder's own name first
    // ("card/DCIM/100CANON"); empty for a file that was added by itself.
    QString folder;
};

struct Problem {
    QString path;
    // In words a person can act on: "cannot be read: Permission denied", "is a named pipe",
    // "its name is not valid UTF-8; rename it to upload it".
    QString reason;
};

struct Result {
    // In the order added, each folder's files in path order; a file reached twice (by itself and
    // through its folder, or through two added folders) is listed once, where it came first.
    QList<File> files;
    QList<Problem> problems;
    // Whether some file lies in a sub-folder of an added folder, so there is a structure a person
    // may want to keep; files directly inside an added folder alone do not make one.
    bool hasSubfolders = false;
};

// Never opens a file: only lists folders and looks at what each entry is, so a named pipe or a
// device cannot block. Paths are taken as given on this system (bytes in the locale's encoding).
[[nodiscard]] Result collect(const QStringList &paths);

} // namespace AddedFiles
