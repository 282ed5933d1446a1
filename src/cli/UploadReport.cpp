#include "UploadReport.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>

#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

QString size(qint64 bytes)
{
    return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}

void write(std::FILE *stream, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stream);
    std::fflush(stream);
}

int terminalWidth()
{
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 20)
        return size.ws_col;
    return 80;
}

QString duration(qint64 seconds)
{
    if (seconds >= 3600)
        return QStringLiteral("%1:%2:%3").arg(seconds / 3600).arg(seconds / 60 % 60, 2, 10, QLatin1Char('0')).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

UploadReport::UploadReport(bool json, int fileCount, qint64 totalBytes)
    : m_json(json), m_live(!json && ::isatty(STDOUT_FILENO)), m_fileCount(fileCount), m_totalBytes(totalBytes)
{
}

void UploadReport::event(const QJsonObject &object)
{
    write(stdout, QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) + QLatin1Char('\n'));
}

QString UploadReport::escaped(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\n')
            shown += QLatin1String("\\n");
        else if (u == u'\t')
            shown += QLatin1String("\\t");
        else if (u == u'\\')
            shown += QLatin1String("\\\\");
        else if (u < 0x20 || (u >= 0x7f && u < 0xa0)) {
            for (const char byte : QString(c).toUtf8())
                shown += QStringLiteral("\\%1").arg(uint(uchar(byte)), 3, 8, QLatin1Char('0'));
        } else
            shown += c;
    }
    return shown;
}

void UploadReport::batchStarted(const QJsonObject &category)
{
    m_clock.start();
    if (m_json) {
        event({{"event", "batch-started"}, {"files", m_fileCount}, {"bytes", double(m_totalBytes)}, {"category", category}});
        return;
    }
    if (m_live) {
        write(stdout, QStringLiteral("Uploading %1 files (%2) into %3\n")
                          .arg(m_fileCount)
                          .arg(size(m_totalBytes), escaped(category.value("path").toString())));
    }
}

void UploadReport::fileStarted(const QString &path, int index, qint64 bytes)
{
    m_currentIndex = index;
    m_currentBytes = bytes;
    m_currentSent = 0;
    m_currentName = escaped(QFileInfo(path).fileName());
    if (m_json)
        event({{"event", "file-started"}, {"file", path}, {"index", index}, {"of", m_fileCount}, {"bytes", double(bytes)}});
    drawLiveLine();
}

void UploadReport::fileProgress(qint64 sentOfFile)
{
    m_currentSent = sentOfFile;
    // A few redraws a second are plenty for a person.
    if (m_redraw.isValid() && m_redraw.elapsed() < 200)
        return;
    drawLiveLine();
}

void UploadReport::fileUploaded(const QString &path, int index, qint64 bytes, const QString &importStatusID)
{
    m_doneBytes += bytes;
    m_currentBytes = m_currentSent = 0;
    if (m_json) {
        event({{"event", "file-uploaded"}, {"file", path}, {"index", index}, {"of", m_fileCount},
               {"bytes", double(bytes)}, {"importStatusID", importStatusID}});
        return;
    }
    clearLiveLine();
    write(stdout, QStringLiteral("uploaded %1 (%2 of %3, %4)\n").arg(escaped(path)).arg(index).arg(m_fileCount).arg(size(bytes)));
    drawLiveLine();
}

void UploadReport::fileFailed(const QString &path, int index, const QString &reason)
{
    if (index == m_currentIndex) {
        m_doneBytes += m_currentBytes;
        m_currentBytes = m_currentSent = 0;
    }
    if (m_json)
        event({{"event", "file-failed"}, {"file", path}, {"index", index}, {"of", m_fileCount}, {"reason", reason}});
    note(QStringLiteral("failed: %1: %2").arg(escaped(path), reason));
}

void UploadReport::fileMayHaveArrived(const QString &path, int index, const QString &reason)
{
    if (index == m_currentIndex) {
        m_doneBytes += m_currentBytes;
        m_currentBytes = m_currentSent = 0;
    }
    if (m_json)
        event({{"event", "may-have-arrived"},
               {"file", path},
               {"index", index},
               {"of", m_fileCount},
               {"reason", reason}});
    note(QStringLiteral(
             "may have arrived: %1: %2 (not sent again; later runs skip it unless --upload-duplicates)")
             .arg(escaped(path), reason));
}

void UploadReport::retryWait(const QString &path, int index, const QString &kind, qint64 seconds, int attempt,
                             const QString &reason)
{
    if (m_json) {
        QJsonObject object{{"event", "retry-wait"}, {"wait", kind},       {"file", path},    {"index", index},
                           {"of", m_fileCount},     {"attempt", attempt}, {"reason", reason}};
        if (seconds >= 0)
            object.insert("seconds", double(seconds));
        event(object);
        return;
    }
    if (kind == QLatin1String("offline"))
        note(QStringLiteral("waiting for the network to come back"));
    else if (kind == QLatin1String("paused"))
        note(QStringLiteral("paused: %1; checking the server again in %2 s").arg(reason).arg(seconds));
    else
        note(QStringLiteral("sending %1 again in %2 s (try %3: %4)")
                 .arg(escaped(path))
                 .arg(seconds)
                 .arg(attempt)
                 .arg(reason));
}

void UploadReport::batchDone(int uploaded, int failed, const QStringList &notSent, int skipped, int notAdded,
                             int exitStatus, int mayHaveArrived)
{
    m_currentIndex = 0;
    clearLiveLine();
    for (const QString &path : notSent)
        note(QStringLiteral("not sent: %1").arg(escaped(path)));
    if (m_json) {
        event({{"event", "batch-done"},
               {"uploaded", uploaded},
               {"failed", failed},
               {"mayHaveArrived", mayHaveArrived},
               {"notSent", QJsonArray::fromStringList(notSent)},
               {"skipped", skipped},
               {"notAdded", notAdded},
               {"exitStatus", exitStatus}});
    }
    if (failed || mayHaveArrived || !notSent.isEmpty() || notAdded) {
        note(QStringLiteral("%1 of %2 files uploaded, %3, %4 not sent%5")
                 .arg(uploaded)
                 .arg(m_fileCount)
                 .arg(mayHaveArrived
                          ? QStringLiteral("%1 failed, %2 may have arrived").arg(failed).arg(mayHaveArrived)
                          : QStringLiteral("%1 failed").arg(failed))
                 .arg(notSent.size())
                 .arg(notAdded ? QStringLiteral("; %1 items not added (listed above)").arg(notAdded)
                               : QString()));
    } else if (m_live) {
        write(stdout, QStringLiteral("%1 files uploaded (%2) in %3\n")
                          .arg(uploaded)
                          .arg(size(m_doneBytes), duration(m_clock.elapsed() / 1000)));
    }
}

void UploadReport::note(const QString &text)
{
    clearLiveLine();
    write(stderr, QStringLiteral("lumaro-import: ") + text + QLatin1Char('\n'));
    drawLiveLine();
}

void UploadReport::clearLiveLine()
{
    if (!m_liveShown)
        return;
    write(stdout, QStringLiteral("\r\033[K"));
    m_liveShown = false;
}

void UploadReport::drawLiveLine()
{
    if (!m_live || m_currentIndex == 0 || m_currentIndex > m_fileCount || !m_clock.isValid())
        return;
    m_redraw.start();
    const qint64 done = m_doneBytes + m_currentSent;
    const double seconds = double(m_clock.elapsed()) / 1000.0;
    const double rate = seconds > 0.5 ? double(done) / seconds : 0;
    const QString left = rate > 0 ? duration(qint64(double(m_totalBytes - done) / rate)) + QStringLiteral(" left")
                                  : QStringLiteral("--:-- left");
    const QString tail = QStringLiteral("  %1 of %2  %3/s  %4")
                             .arg(size(done), size(m_totalBytes), size(qint64(rate)), left);
    QString head = QStringLiteral("file %1 of %2 ").arg(m_currentIndex).arg(m_fileCount);
    const int room = terminalWidth() - 1 - int(head.size() + tail.size());
    QString name = m_currentName;
    if (room < 4)
        name.clear();
    else if (name.size() > room)
        name = name.left(room - 1) + QChar(0x2026);
    write(stdout, QStringLiteral("\r\033[K") + head + name + tail);
    m_liveShown = true;
}
