// What added paths contribute to a queue, walked on the real file system: order, the folder each
// file sits in, and every item left out with its reason.
#include "TestEnvironment.h"
#include "platform/AddedFiles.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <fcntl.h>
#include <ftw.h>
#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString NotUtf8 = QStringLiteral(
    "its name is not valid UTF-8, so it cannot be opened by that name here; rename it to upload it");
const QString Denied = QStringLiteral("cannot be read: Permission denied");

// One line per file ("F path | folder") and per problem ("P path | reason"), paths below root
// shown relative to it, then whether there are sub-folders.
QStringList describe(const AddedFiles::Result &result, const QString &root)
{
    auto shown = [&](const QString &path) {
        return path.startsWith(root + u'/') ? path.mid(root.size() + 1) : path;
    };
    QStringList lines;
    for (const AddedFiles::File &file : result.files)
        lines << QStringLiteral("F %1 | %2").arg(shown(file.path), file.folder);
    for (const AddedFiles::Problem &problem : result.problems)
        lines << QStringLiteral("P %1 | %2").arg(shown(problem.path), problem.reason);
    lines << (result.hasSubfolders ? QStringLiteral("subfolders") : QStringLiteral("flat"));
    return lines;
}

// Root is not stopped by permissions, so there the walk runs in a child that has become nobody.
QStringList collectAsUser(const QStringList &paths, const QString &root)
{
    if (::geteuid() != 0)
        return describe(AddedFiles::collect(paths), root);
    QTemporaryFile out;
    if (!out.open())
        return {QStringLiteral("no file for the child's answer")};
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        const QByteArray text = describe(AddedFiles::collect(paths), root).join(u'\n').toUtf8();
        ::_exit(::write(out.handle(), text.constData(), text.size()) == text.size() ? 0 : 3);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {QStringLiteral("child failed with status %1").arg(status)};
    out.seek(0);
    return QString::fromUtf8(out.readAll()).split(u'\n');
}

// Entries below root, as bytes so that a name may be invalid UTF-8: "dir/" a folder, "a->b" a
// symbolic link, "name|p" a named pipe, "name|s" a socket, "name|-" made unreadable at the end;
// anything else a file holding its own path.
bool makeTree(const QByteArray &root, const QList<QByteArray> &entries)
{
    QList<QByteArray> locked;
    for (QByteArray entry : entries) {
        bool ok = true;
        const bool lock = entry.endsWith("|-");
        if (lock)
            entry.chop(2);
        const QByteArray path =
            root + '/' + (entry.contains("->") ? entry.left(entry.indexOf("->")) : entry.split('|').first());
        // Folder by folder in bytes: QDir would re-encode a name that is not UTF-8.
        for (qsizetype slash = root.size() + 1; (slash = path.indexOf('/', slash)) > 0; ++slash)
            ::mkdir(path.left(slash).constData(), 0755);
        if (entry.endsWith('/')) {
            ok = QFileInfo(QFile::decodeName(path)).isDir();
        } else if (entry.contains("->")) {
            ok = ::symlink(entry.mid(entry.indexOf("->") + 2).constData(), path.constData()) == 0;
        } else if (entry.endsWith("|p")) {
            ok = ::mkfifo(path.constData(), 0644) == 0;
        } else if (entry.endsWith("|s")) {
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            qstrncpy(address.sun_path, path.constData(), sizeof address.sun_path);
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            ok = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
            ::close(fd);
        } else {
            const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ok = fd >= 0 && ::write(fd, entry.constData(), entry.size()) == entry.size();
            ::close(fd);
        }
        if (!ok)
            return false;
        if (lock)
            locked << path;
    }
    for (const QByteArray &path : std::as_const(locked))
        if (::chmod(path.constData(), 0) != 0)
            return false;
    return true;
}

} // namespace

class TestAddedFiles : public QObject {
    Q_OBJECT
private slots:
    void collect_data()
    {
        QTest::addColumn<QList<QByteArray>>("entries");
        QTest::addColumn<QStringList>("added"); // relative to the tree, or absolute
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("card with hidden entries and links")
            << QList<QByteArray>{"card/DCIM/100CANON/IMG_0002.CR3",
                                 "card/DCIM/100CANON/IMG_0001.CR3",
                                 "card/DCIM/101CANON/IMG_0101.CR3",
                                 "card/DCIM/.thumbs/t.jpg",
                                 "card/.hidden.jpg",
                                 "card/top.jpg",
                                 "card/a/x.jpg",
                                 "card/a.b.jpg",
                                 "card/MISC/",
                                 "card/MISC/link.jpg->../top.jpg",
                                 "card/linked->DCIM"}
            << QStringList{"card"}
            << QStringList{"F card/DCIM/100CANON/IMG_0001.CR3 | card/DCIM/100CANON",
                           "F card/DCIM/100CANON/IMG_0002.CR3 | card/DCIM/100CANON",
                           "F card/DCIM/101CANON/IMG_0101.CR3 | card/DCIM/101CANON",
                           // Byte order of the whole path: "." sorts before "/".
                           "F card/a.b.jpg | card", "F card/a/x.jpg | card/a", "F card/top.jpg | card",
                           "subfolders"};
        QTest::newRow("a file named by itself and through its folder")
            << QList<QByteArray>{"shoot/one.jpg", "shoot/two.jpg", "alias.jpg->shoot/one.jpg"}
            << QStringList{"shoot/two.jpg", "shoot", "shoot/./one.jpg", "shoot/../shoot", "alias.jpg"}
            << QStringList{"F shoot/two.jpg | ", "F shoot/one.jpg | shoot", "F alias.jpg | ", "flat"};
        QTest::newRow("pipe, socket and device are never opened")
            << QList<QByteArray>{"pipes/a.jpg", "pipes/fifo|p", "pipes/sock|s", "pipes/deeper/fifo|p"}
            << QStringList{"pipes/fifo", "pipes", "/dev/null"}
            << QStringList{"F pipes/a.jpg | pipes",
                           "P pipes/fifo | is a named pipe",
                           "P pipes/deeper/fifo | is a named pipe",
                           "P pipes/sock | is a socket",
                           "P /dev/null | is a device",
                           "flat"};
        QTest::newRow("name that is not UTF-8")
            << QList<QByteArray>{"raw/ok.jpg", "raw/caf\xe9.jpg", "raw/\xff\xfe/inside.jpg"}
            << QStringList{"raw"}
            << QStringList{"F raw/ok.jpg | raw", QStringLiteral("P raw/caf\uFFFD.jpg | ") + NotUtf8,
                           QStringLiteral("P raw/\uFFFD\uFFFD | ") + NotUtf8, "flat"};
        QTest::newRow("missing path")
            << QList<QByteArray>{"there/one.jpg"}
            << QStringList{"nothing.jpg", "there/one.jpg", "there/one.jpg/x", "caf\uFFFD.jpg"}
            << QStringList{"F there/one.jpg | ", "P nothing.jpg | does not exist",
                           "P there/one.jpg/x | does not exist",
                           "P caf\uFFFD.jpg | does not exist by that name here; if its name is "
                           "not valid UTF-8, rename it to upload it",
                           "flat"};
        // Run as nobody when the test runs as root.
        QTest::newRow("unreadable sub-folder and file")
            << QList<QByteArray>{"locked/open/a.jpg", "locked/shut/b.jpg", "locked/shut/|-", "locked/c.jpg|-",
                                 "alone.jpg|-"}
            << QStringList{"locked", "alone.jpg"}
            << QStringList{"F locked/open/a.jpg | locked/open", "P locked/c.jpg | " + Denied,
                           "P locked/shut | " + Denied, "P alone.jpg | " + Denied, "subfolders"};
    }

    void collect()
    {
        QFETCH(QList<QByteArray>, entries);
        QFETCH(QStringList, added);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        // Open to the unprivileged child.
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                      QFile::ReadOther | QFile::ExeOther));
        const QString root = QDir(dir.path()).canonicalPath();
        // Removed in bytes, and unlocked first for a user that is not root: QTemporaryDir can do neither.
        const auto remove = qScopeGuard([&] {
            for (const QByteArray &entry : std::as_const(entries))
                if (entry.endsWith("|-"))
                    ::chmod((QFile::encodeName(root) + '/' + entry.chopped(2)).constData(), 0700);
            ::nftw(
                QFile::encodeName(root).constData(),
                [](const char *path, const struct stat *, int, FTW *) { return ::remove(path); }, 16,
                FTW_DEPTH | FTW_PHYS);
        });
        QVERIFY(makeTree(QFile::encodeName(root), entries));
        QStringList paths;
        for (const QString &path : std::as_const(added))
            paths << (path.startsWith(u'/') ? path : root + u'/' + path);
        const QStringList lines = collectAsUser(paths, root);
        QCOMPARE(lines, expected);
    }
};

LUMARO_TEST_MAIN(TestAddedFiles)
#include "tst_addedfiles.moc"
