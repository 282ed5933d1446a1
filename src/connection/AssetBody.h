#pragma once

#include <QByteArray>
#include <QFile>
#include <QJsonObject>
#include <QString>

#include <functional>

// The JSON body of one asset request, produced front to back while it is sent: the small
// members are serialised by the JSON library and the Base64 of the file is generated block by
// block between them, so memory stays flat whatever the file's size. Its length is known up
// front. It only goes forward: a body that was handed out in part cannot be sent again.
// Used on one thread at a time (the upload worker's).
class AssetBody {
public:
    // members: every member of the body except the file data, which goes under dataKey.
    AssetBody(const QString &filePath, const QJsonObject &members, const QString &dataKey);
    AssetBody(const AssetBody &) = delete;
    AssetBody &operator=(const AssetBody &) = delete;

    // Opens the file; false with a readable reason when it cannot be read.
    [[nodiscard]] bool open(QString *error);

    [[nodiscard]] qint64 size() const { return m_head.size() + m_encodedSize + m_tail.size(); }
    // The file's own size, known once it is open.
    [[nodiscard]] qint64 fileSize() const { return m_fileSize; }
    // Bytes handed out so far.
    [[nodiscard]] qint64 position() const { return m_position; }
    // Fills out with up to maxSize next bytes of the body; 0 at its end, -1 when the file could
    // not be read as promised (errorString() says why).
    qint64 read(char *out, qint64 maxSize);
    [[nodiscard]] const QString &errorString() const { return m_error; }

    // Called with each block of the file's own bytes as it is read, once and in order: the one
    // place the content passes through, e.g. for a digest computed while the file is sent.
    using FileBlockHook = std::function<void(const char *data, qint64 size)>;
    void setFileBlockHook(FileBlockHook hook) { m_fileBlockHook = std::move(hook); }

    [[nodiscard]] static qint64 encodedLength(qint64 rawSize) { return (rawSize + 2) / 3 * 4; }
    // Standard alphabet with "=" padding; output must hold encodedLength(length) bytes.
    static qint64 encodeBase64(const char *input, qint64 length, char *output);

private:
    // Reads the next rawLength bytes of the file and encodes them into out.
    bool encodeNext(qint64 rawLength, char *out);

    QString m_filePath;
    QJsonObject m_members;
    QString m_dataKey;
    QFile m_file;
    qint64 m_fileSize = 0;
    qint64 m_rawLeft = 0;
    qint64 m_encodedSize = 0;
    QByteArray m_head;
    QByteArray m_tail;
    qint64 m_position = 0;
    QByteArray m_raw;
    // Encoded bytes that did not fit the caller's buffer, handed out first on the next read.
    char m_spill[4] = {};
    qint64 m_spillAt = 0;
    qint64 m_spillSize = 0;
    QString m_error;
    FileBlockHook m_fileBlockHook;
};
