#include "TestEnvironment.h"
#include "connection/AssetBody.h"
#include "connection/SendOnceBuffer.h"

#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

class TestAssetBody : public QObject {
    Q_OBJECT
private slots:
    void encoderMatchesReference();
    void bodyIsTheCompactJsonObject_data();
    void bodyIsTheCompactJsonObject();
    void sendOnceBufferNeverRewoundOnceRead();
    void unreadableFileIsReported();
};

void TestAssetBody::encoderMatchesReference()
{
    QRandomGenerator rng(4);
    for (int length : {0, 1, 2, 3, 4, 5, 6, 7, 255, 256, 257, 4096, 65537}) {
        QByteArray input(length, Qt::Uninitialized);
        for (char &c : input)
            c = char(rng.bounded(256));
        QByteArray out(AssetBody::encodedLength(length), '?');
        QCOMPARE(AssetBody::encodeBase64(input.constData(), length, out.data()), out.size());
        QCOMPARE(out, input.toBase64());
    }
}

void TestAssetBody::bodyIsTheCompactJsonObject_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("readSize");
    // Around the block of 786432 bytes, in libcurl's 2 MiB reads and in reads that straddle
    // every boundary, some too small for one group of Base64.
    for (qint64 size : {0, 1, 2, 3, 786431, 786432, 786433, 1600001}) {
        QTest::addRow("%lld bytes, 2 MiB reads", size) << size << 2 * 1024 * 1024;
        QTest::addRow("%lld bytes, 16385-byte reads", size) << size << 16385;
        QTest::addRow("%lld bytes, 3-byte reads", size) << size << 3;
    }
}

void TestAssetBody::bodyIsTheCompactJsonObject()
{
    QFETCH(qint64, size);
    QFETCH(int, readSize);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("file with space.bin"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QByteArray content(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        content[i] = char((i * 131 + 7) % 256);
    file.write(content);
    file.close();

    const QJsonObject category{{"id", 3}, {"name", QString::fromUtf8("Fr\xc3\xbchling \"assetData\":\"x\"")}};
    const QJsonObject members{{"assetFileName", "file with space.bin"}, {"category", category}, {"importStatusID", "12"}};
    AssetBody asset(path, members, QStringLiteral("assetData"));
    QByteArray seen;
    asset.setFileBlockHook([&](const char *data, qint64 length) { seen.append(data, length); });
    QString error;
    QVERIFY2(asset.open(&error), qPrintable(error));
    QByteArray body;
    QByteArray piece(readSize, Qt::Uninitialized);
    while (const qint64 n = asset.read(piece.data(), readSize)) {
        QVERIFY(n > 0);
        body.append(piece.constData(), n);
    }
    QCOMPARE(body.size(), asset.size());
    QJsonObject expected = members;
    expected.insert("assetData", QString::fromLatin1(content.toBase64()));
    QCOMPARE(body, QJsonDocument(expected).toJson(QJsonDocument::Compact));
    // The hook saw the file's bytes once each, in order.
    QCOMPARE(seen, content);
}

void TestAssetBody::sendOnceBufferNeverRewoundOnceRead()
{
    // Qt rewinds a body to send the request again on a fresh connection: before the first byte
    // went out that is harmless, after it the server may already have acted on it.
    QByteArray whole(500000, Qt::Uninitialized);
    for (int i = 0; i < whole.size(); ++i)
        whole[i] = char(i * 7);
    SendOnceBuffer small(whole);
    QVERIFY(small.seek(1000));
    QVERIFY(small.reset());
    const QByteArray head = small.read(70000);
    QVERIFY(!small.reset());
    QVERIFY(!small.seek(10));
    QVERIFY(small.seek(small.pos()));
    QCOMPARE(head + small.readAll(), whole);
}

void TestAssetBody::unreadableFileIsReported()
{
    AssetBody missing(QStringLiteral("/nonexistent/dir/x.jpg"), {}, QStringLiteral("assetData"));
    QString error;
    QVERIFY(!missing.open(&error));
    QVERIFY(error.contains(QLatin1String("/nonexistent/dir/x.jpg")));
    AssetBody folder(QDir::tempPath(), {}, QStringLiteral("assetData"));
    QVERIFY(!folder.open(&error));

    // A file that shrinks while it is sent cannot give the length promised to the server.
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("shrinks")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(3000000, 'x'));
    file.flush();
    AssetBody shrinking(file.fileName(), {}, QStringLiteral("assetData"));
    QVERIFY(shrinking.open(&error));
    QByteArray buffer(2 * 1024 * 1024, Qt::Uninitialized);
    QVERIFY(shrinking.read(buffer.data(), buffer.size()) > 0);
    QVERIFY(file.resize(1000));
    qint64 n = 0;
    while ((n = shrinking.read(buffer.data(), buffer.size())) > 0) {
    }
    QCOMPARE(n, qint64(-1));
    QVERIFY(shrinking.errorString().contains(QLatin1String("changed while it was being sent")));
}

LUMARO_TEST_MAIN(TestAssetBody)
#include "tst_assetbody.moc"
