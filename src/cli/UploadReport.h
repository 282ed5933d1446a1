#pragma once

#include <QElapsedTimer>
#include <QJsonObject>
#include <QString>

// What an upload tells its user: JSON events for scripts, or one line per uploaded file with,
// on a terminal, a live progress line beneath. Failures always go to standard error.
class UploadReport {
public:
    UploadReport(bool json, int fileCount, qint64 totalBytes);
    UploadReport(const UploadReport &) = delete;
    UploadReport &operator=(const UploadReport &) = delete;

    void batchStarted(const QJsonObject &category);
    void fileStarted(const QString &path, int index, qint64 bytes);
    // Bytes of the file sent so far (a share of the encoded body, scaled to the file).
    void fileProgress(qint64 sentOfFile);
    void fileUploaded(const QString &path, int index, qint64 bytes, const QString &importStatusID);
    void fileFailed(const QString &path, int index, const QString &reason);
    // Sent whole without an answer: not sent again by itself.
    void fileMayHaveArrived(const QString &path, int index, const QString &reason);
    // The batch waits before trying again (kind: retry, paused or offline); seconds -1: until
    // the network is back.
    void retryWait(const QString &path, int index, const QString &kind, qint64 seconds, int attempt,
                   const QString &reason);
    // skipped: sent before, so left out of the batch; notAdded: items that could not be queued.
    void batchDone(int uploaded, int failed, const QStringList &notSent, int skipped, int notAdded,
                   int exitStatus, int mayHaveArrived = 0);
    // A line for standard error that does not tear the live line.
    void note(const QString &text);

    static void event(const QJsonObject &object);
    // A name as text output shows it, as ls -b does: \n, \t and \\, and any other control
    // character as the octal of its bytes, so one name stays on one line and one field.
    [[nodiscard]] static QString escaped(const QString &text);

private:
    void clearLiveLine();
    void drawLiveLine();

    bool m_json;
    bool m_live; // standard output is a terminal
    int m_fileCount;
    qint64 m_totalBytes;
    qint64 m_doneBytes = 0; // bytes of files finished, either way
    qint64 m_currentBytes = 0;
    qint64 m_currentSent = 0;
    int m_currentIndex = 0;
    QString m_currentName;
    bool m_liveShown = false;
    QElapsedTimer m_clock;
    QElapsedTimer m_redraw;
};
