#include "TestEnvironment.h"
#include "connection/AssetBodyDevice.h"
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
    void neverRewoundOnceRead();
    void unreadableFileIsReported();
};

void TestAssetBody::encoderMatchesReference()
{
    QRandomGenerator rng(4);
    for (int length : {0, 1, 2, 3, 4, 5, 6, 7, 255, 256, 257, 4096, 65537}) {
        QByteArray input(length, Qt::Uninitialized);
        for (char &c : input)
            c = char(rng.bounded(256));
        QByteArray out(AssetBodyDevice::encodedLength(length), '?');
        QCOMPARE(AssetBodyDevice::encodeBase64(input.constData(), length, out.data()), out.size());
        QCOMPARE(out, input.toBase64());
    }
}

void TestAssetBody::bodyIsTheCompactJsonObject_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("readSize");
    // Around the encoder's chunk of 196608 bytes, and reads that straddle every boundary.
    for (qint64 size : {0, 1, 2, 3, 196607, 196608, 196609, 600001}) {
        QTest::addRow("%lld bytes, 16 KiB reads", size) << size << 16384;
        QTest::addRow("%lld bytes, 7-byte reads", size) << size << 7;
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
    AssetBodyDevice device(path, members, QStringLiteral("assetData"));
    QString error;
    QVERIFY2(device.openBody(&error), qPrintable(error));
    QByteArray body;
    while (!device.atEnd()) {
        const QByteArray piece = device.read(readSize);
        QVERIFY(!piece.isEmpty());
        body += piece;
    }
    QCOMPARE(body.size(), device.size());
    QJsonObject expected = members;
    expected.insert("assetData", QString::fromLatin1(content.toBase64()));
    QCOMPARE(body, QJsonDocument(expected).toJson(QJsonDocument::Compact));
    QCOMPARE(device.contentHash(), sha256(content));
}

void TestAssetBody::neverRewoundOnceRead()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("f"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QByteArray content(500000, Qt::Uninitialized);
    for (int i = 0; i < content.size(); ++i)
        content[i] = char(i * 7);
    file.write(content);
    file.close();
    const QJsonObject members{{"assetFileName", "f"}};
    AssetBodyDevice reference(path, members, QStringLiteral("assetData"));
    QVERIFY(reference.openBody(nullptr));
    const QByteArray whole = reference.readAll();

    // The HTTP stack rewinds a body to send the request again on a fresh connection: before the
    // first byte went out that is harmless, after it the server may already hold the file.
    AssetBodyDevice asset(path, members, QStringLiteral("assetData"));
    QVERIFY(asset.openBody(nullptr));
    SendOnceBuffer small(whole);
    for (QIODevice *device : std::initializer_list<QIODevice *>{&asset, &small}) {
        QVERIFY(device->seek(1000));
        QVERIFY(device->reset());
        const QByteArray head = device->read(70000);
        QVERIFY(!device->reset());
        QVERIFY(!device->seek(10));
        QVERIFY(device->seek(device->pos()));
        QCOMPARE(head + device->readAll(), whole);
    }
    // Rewound only before the first byte: hashed once, in order.
    QCOMPARE(asset.contentHash(), sha256(content));
}

void TestAssetBody::unreadableFileIsReported()
{
    AssetBodyDevice missing(QStringLiteral("/nonexistent/dir/x.jpg"), {}, QStringLiteral("assetData"));
    QString error;
    QVERIFY(!missing.openBody(&error));
    QVERIFY(error.contains(QLatin1String("/nonexistent/dir/x.jpg")));
    AssetBodyDevice folder(QDir::tempPath(), {}, QStringLiteral("assetData"));
    QVERIFY(!folder.openBody(&error));
}

LUMARO_TEST_MAIN(TestAssetBody)
#include "tst_assetbody.moc"
