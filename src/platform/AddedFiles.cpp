#include "AddedFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace AddedFiles {

namespace {

// Why an item was not added; the window shows it after the item's name, as "fifo (is a named pipe)".
QString reasonText(const char *text)
{
    return QCoreApplication::translate("AddedFiles", text);
}

QString cannotRead(int error)
{
    return reasonText(QT_TRANSLATE_NOOP("AddedFiles", "cannot be read: %1")).arg(qt_error_string(error));
}

QString notUtf8()
{
    return reasonText(QT_TRANSLATE_NOOP(
        "AddedFiles",
        "its name is not valid UTF-8, so it cannot be opened by that name here; rename it to upload it"));
}

// The reason an entry that is neither a folder nor a regular file is refused; it is never opened.
QString specialReason(mode_t mode)
{
    if (S_ISFIFO(mode))
        return reasonText(QT_TRANSLATE_NOOP("AddedFiles", "is a named pipe"));
    if (S_ISSOCK(mode))
        return reasonText(QT_TRANSLATE_NOOP("AddedFiles", "is a socket"));
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return reasonText(QT_TRANSLATE_NOOP("AddedFiles", "is a device"));
    return reasonText(QT_TRANSLATE_NOOP("AddedFiles", "is not a regular file"));
}

// A walked entry, keyed by the bytes of its path so that every run lists a folder alike.
struct Found {
    QByteArray raw;
    QString path;
    QString folder; // files only
    QString reason; // problems only
};

class Walk {
public:
    explicit Walk(Result *result) : m_result(result) {}

    void addPath(const QString &given)
    {
        const QString path = QDir::cleanPath(QFileInfo(given).absoluteFilePath());
        const QByteArray raw = QFile::encodeName(path);
        // A name the user gave is followed if it is a link: they meant what it points to.
        struct stat st {};
        if (::stat(raw.constData(), &st) != 0) {
            const int error = errno;
            if (error != ENOENT && error != ENOTDIR)
                problem(path, cannotRead(error));
            // A name given in bytes that are not UTF-8 reaches here already decoded with
            // replacement characters, which no file on disk is likely to carry.
            else if (path.contains(QChar::ReplacementCharacter))
                problem(path, reasonText(QT_TRANSLATE_NOOP("AddedFiles",
                                                           "does not exist by that name here; if its name is "
                                                           "not valid UTF-8, rename it to upload it")));
            else
                problem(path, reasonText(QT_TRANSLATE_NOOP("AddedFiles", "does not exist")));
            return;
        }
        if (S_ISDIR(st.st_mode)) {
            addFolder(path, raw);
        } else if (!S_ISREG(st.st_mode)) {
            problem(path, specialReason(st.st_mode));
        } else if (::access(raw.constData(), R_OK) != 0) {
            problem(path, cannotRead(errno));
        } else {
            file(path, QString());
        }
    }

private:
    void addFolder(const QString &path, const QByteArray &raw)
    {
        const QString name = path == QLatin1String("/") ? QString() : path.mid(path.lastIndexOf(u'/') + 1);
        QList<Found> files;
        QList<Found> problems;
        walk(raw, path, name, 0, &files, &problems);
        // Byte order of the whole path, not the order of one folder's entries: the same on
        // every file system and every run.
        const auto byBytes = [](const Found &a, const Found &b) { return a.raw < b.raw; };
        std::sort(files.begin(), files.end(), byBytes);
        std::sort(problems.begin(), problems.end(), byBytes);
        for (const Found &found : std::as_const(problems))
            problem(found.path, found.reason);
        for (const Found &found : std::as_const(files))
            file(found.path, found.folder);
    }

    void walk(const QByteArray &raw, const QString &path, const QString &folder, int depth,
              QList<Found> *files, QList<Found> *problems)
    {
        DIR *dir = ::opendir(raw.constData());
        if (!dir) {
            problems->append({raw, path, {}, cannotRead(errno)});
            return;
        }
        const int fd = ::dirfd(dir);
        QList<std::pair<QByteArray, QString>> folders;
        for (;;) {
            errno = 0;
            const dirent *entry = ::readdir(dir);
            if (!entry) {
                if (errno != 0)
                    problems->append({raw, path, {}, cannotRead(errno)});
                break;
            }
            const char *name = entry->d_name;
            // Hidden entries, and "." and "..", as a file manager leaves them out.
            if (name[0] == '.')
                continue;
            unsigned char type = entry->d_type;
            mode_t mode = 0;
            if (type == DT_UNKNOWN) {
                struct stat st {};
                if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                    const QByteArray childRaw = raw + '/' + name;
                    problems->append({childRaw, QFile::decodeName(childRaw), {}, cannotRead(errno)});
                    continue;
                }
                mode = st.st_mode;
                type = S_ISDIR(mode) ? DT_DIR : S_ISREG(mode) ? DT_REG : S_ISLNK(mode) ? DT_LNK : DT_UNKNOWN;
            }
            if (type == DT_LNK)
                continue;
            const QByteArray childRaw = raw.endsWith('/') ? raw + name : raw + '/' + name;
            const QByteArray nameBytes(name);
            const QString decoded = QFile::decodeName(nameBytes);
            const QString childPath = path.endsWith(u'/') ? path + decoded : path + u'/' + decoded;
            if (QFile::encodeName(decoded) != nameBytes) {
                problems->append({childRaw, childPath, {}, notUtf8()});
                continue;
            }
            if (type == DT_DIR) {
                folders.append({childRaw, decoded});
            } else if (type == DT_REG) {
                if (::faccessat(fd, name, R_OK, 0) != 0) {
                    problems->append({childRaw, childPath, {}, cannotRead(errno)});
                    continue;
                }
                if (depth > 0)
                    m_result->hasSubfolders = true;
                files->append({childRaw, childPath, folder, {}});
            } else {
                problems->append({childRaw, childPath, {}, specialReason(mode ? mode : DTTOIF(type))});
            }
        }
        ::closedir(dir);
        for (const auto &[childRaw, name] : std::as_const(folders)) {
            const QString childPath = path.endsWith(u'/') ? path + name : path + u'/' + name;
            walk(childRaw, childPath, folder.isEmpty() ? name : folder + u'/' + name, depth + 1, files,
                 problems);
        }
    }

    void file(const QString &path, const QString &folder)
    {
        if (!m_seen.contains(path)) {
            m_seen.insert(path);
            m_result->files.append({path, folder});
        }
    }

    void problem(const QString &path, const QString &reason)
    {
        if (!m_seen.contains(path)) {
            m_seen.insert(path);
            m_result->problems.append({path, reason});
        }
    }

    Result *m_result;
    QSet<QString> m_seen;
};

} // namespace

Result collect(const QStringList &paths)
{
    Result result;
    Walk walk(&result);
    for (const QString &path : paths)
        walk.addPath(path);
    return result;
}

} // namespace AddedFiles
