#include "GuiTestMain.h"

#include "AccessibleTree.h"
#include "UploadTestKit.h"

#include "session/ImportLogModel.h"
#include "session/LMImportLogViewController.h"
#include "session/LMImportLogWindowController.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QSignalSpy>
#include <QTableView>

using namespace UploadTestKit;

namespace {
QStringList columnOf(const QAbstractItemModel *model, int column)
{
    QStringList texts;
    for (int row = 0; row < model->rowCount(); ++row)
        texts.append(model->index(row, column).data().toString());
    return texts;
}

bool uploadAll(UploadSession &s, const QStringList &paths)
{
    s.upload()->AddAssetsToImportQueue(fileUrls(paths));
    QTest::mouseClick(s.upload()->startUploadButton(), Qt::LeftButton);
    return QTest::qWaitFor(
        [&] { return !s.upload()->uploadInProgress() && s.upload()->importQueue().isEmpty(); }, kTimeout);
}
} // namespace

// The import log window over the shared store: what it lists, finds, exports and clears, and how
// it shows changes the context has not saved yet.
class TestImportLog : public QObject {
    Q_OBJECT

private:
    AppDelegate m_app;
    QTemporaryDir m_files;
    QList<QUrl> m_opened;

public slots:
    // Stands in for the desktop's file manager.
    void openUrl(const QUrl &url) { m_opened.append(url); }

private slots:
    void initTestCase()
    {
        registerSessionControllers(Storyboard::main());
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openUrl");
    }

    void withoutAStoreTheLogIsEmpty()
    {
        LMImportLogWindowController log(nullptr);
        log.showWindow();
        log.importLogView()->clearLogButtonWasClicked();
        QCOMPARE(log.importLogView()->ImportLogArrayController()->rowCount(), 0);
        QVERIFY(!log.importLogView()->exportButton()->isEnabled());
    }

    void listsFindsExportsAndClears()
    {
        ObjectContext *context = m_app.managedObjectContext();
        QVERIFY(context);
        UploadSession harbour(context, QStringLiteral("Harbour"));
        UploadSession office(context, QStringLiteral("Office"));
        QVERIFY(harbour.waitUntilReady() && office.waitUntilReady());
        // Sent, stored, exported and copied as it is; shown with its override spelled out.
        const QString oddName = QString::fromUtf8("St\xc3\xa4"
                                                  "dte, \"Nacht\"\xe2\x80\xae.txt");
        const QString shownOdd = QString(oddName).replace(QChar(0x202e), QStringLiteral("<U+202E>"));
        const QString odd = writeFile(m_files.filePath(QStringLiteral("h/") + oddName), "odd");
        QVERIFY(uploadAll(harbour,
                          writeFiles(m_files.filePath(QStringLiteral("h")), 1, 64, QStringLiteral("harbour"))
                              << odd));
        QVERIFY(uploadAll(
            office, writeFiles(m_files.filePath(QStringLiteral("o")), 1, 64, QStringLiteral("office"))));
        // One file waits in Harbour's queue: not in the log, and Clear Log leaves it alone.
        harbour.upload()->AddAssetsToImportQueue(fileUrls({writeFile(m_files.filePath("waiting.txt"), "w")}));
        Asset *pending = harbour.upload()->importQueue().constFirst();

        LMImportLogWindowController log(context);
        log.showWindow();
        QCOMPARE(log.frameAutosaveName(), QStringLiteral("AssetImportLogWindow"));
        LMImportLogViewController *view = log.importLogView();
        QTableView *table = view->ImportLogTableView();
        auto *model = static_cast<ImportLogModel *>(table->model());
        QTRY_COMPARE(columnOf(model, ImportLogModel::FileColumn),
                     (QStringList{"office-01.txt", shownOdd, "harbour-01.txt"}));
        QCOMPARE(QAccessible::queryAccessibleInterface(table)->tableInterface()->cellAt(1, 0)->text(
                     QAccessible::Name),
                 shownOdd);
        QCOMPARE(columnOf(model, ImportLogModel::BookmarkColumn),
                 (QStringList{"Office", "Harbour", "Harbour"}));
        QCOMPARE(columnOf(model, ImportLogModel::SizeColumn),
                 (QStringList{"64 bytes", "3 bytes", "64 bytes"}));
        const QString path = harbour.connection()->getSelectedCategoryPath();
        QCOMPARE(columnOf(model, ImportLogModel::CategoryColumn), (QStringList{path, path, path}));
        QCOMPARE(view->countLabel()->text(), QStringLiteral("3 files"));
        QCOMPARE(AccessibleTree::nameOf(view->countLabel()), QStringLiteral("3 files"));

        // Stamped while the log is open: one row inserted at its place, on top.
        QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
        QSignalSpy reset(model, &QAbstractItemModel::modelReset);
        QVERIFY(uploadAll(office,
                          writeFiles(m_files.filePath(QStringLiteral("o2")), 1, 64, QStringLiteral("late"))));
        QTRY_COMPARE(model->rowCount(), 4);
        QCOMPARE(columnOf(model, ImportLogModel::FileColumn).first(), QStringLiteral("late-01.txt"));
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(inserted.first().at(1).toInt(), 0);
        QCOMPARE(reset.size(), 0);

        // A deleted bookmark's uploads stay in the log without it.
        QVERIFY(closeSession(office.session));
        context->deleteObject(office.bookmark);
        QTRY_COMPARE(columnOf(model, ImportLogModel::BookmarkColumn).count(ImportLogModel::NoBookmark), 2);

        // Searched by bookmark name, sorted by file name, exported as shown.
        QTest::keyClicks(view->searchField(), QStringLiteral("harb"));
        QTRY_COMPARE(view->countLabel()->text(), QStringLiteral("2 of 4 files"));
        QCOMPARE(AccessibleTree::nameOf(view->countLabel()), QStringLiteral("2 of 4 files"));
        table->sortByColumn(ImportLogModel::FileColumn, Qt::AscendingOrder);
        QTRY_COMPARE(columnOf(model, ImportLogModel::FileColumn), (QStringList{"harbour-01.txt", shownOdd}));
        QVERIFY(saveScreenshot(log.window(), QStringLiteral("import-log-filtered")));
        QSignalSpy exported(model, &ImportLogModel::exportFinished);
        view->exportToFile(m_files.filePath(QStringLiteral("log.csv")));
        QVERIFY(exported.wait(kTimeout));
        QFile csv(m_files.filePath(QStringLiteral("log.csv")));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = csv.readAll().split('\n');
        QCOMPARE(lines.size(), 4); // header, two rows, the end of the last line
        QCOMPARE(lines.at(0),
                 "File Path,File Name,Size,Category ID,Category Path,Bookmark,Upload Time,Content Hash\r");
        const QString csvName = QString(oddName).replace(QStringLiteral("\""), QStringLiteral("\"\""));
        const QByteArray quoted = (QStringLiteral("\"%1/%2\",\"%2\",3,3,%3,Harbour,")
                                       .arg(QFileInfo(odd).absolutePath(), csvName, path))
                                      .toUtf8();
        QVERIFY2(lines.at(2).startsWith(quoted), lines.at(2).constData());
        QVERIFY(lines.at(2).endsWith("Z," + sha256("odd")->toLatin1() + '\r'));

        // Copy and Show in Folder act on the selected row; a file that is gone has no folder.
        table->selectRow(1);
        view->copySelection();
        QVERIFY(
            QApplication::clipboard()->text().startsWith(odd + QLatin1Char('\t') + path + QLatin1Char('\t')));
        QTest::mouseClick(view->showInFolderButton(), Qt::LeftButton);
        QCOMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile(QFileInfo(odd).absolutePath())});
        QVERIFY(QFile::remove(odd));
        table->selectRow(0);
        table->selectRow(1);
        QVERIFY(!view->showInFolderButton()->isEnabled());

        QCOMPARE(AccessibleTree::unnamedControls(log.window()), QString());
        // Clear Log: gone at once, the waiting file untouched, nothing saved.
        QVERIFY(context->save());
        QTest::mouseClick(view->clearLogButton(), Qt::LeftButton);
        QCOMPARE(model->rowCount(), 0);
        QCOMPARE(AccessibleTree::nameOf(view->countLabel()), view->countLabel()->text());
        QCOMPARE(context->fetchPendingAssets(harbour.bookmark), QList<Asset *>{pending});
        QVERIFY(context->hasChanges());
        auto reopened = openStore();
        QVERIFY(reopened);
        QCOMPARE(reopened->fetchUploadedAssets().size(), 4);
        log.close();
    }

    // Over a context that has loaded none of the log: an unsaved stamp and rename show, search
    // and sort like saved ones, and the stamped record is the queue's own object.
    void showsUnsavedChangesOverTheFile()
    {
        {
            auto seed = openStore();
            ServerBookmark *quay = seed->insertBookmark();
            quay->setBookmarkName(QStringLiteral("Quay"));
            for (int minutes : {-2, -1, 0}) {
                Asset *asset = seed->insertAsset();
                asset->setFilePath(QStringLiteral("/q/%1.jpg").arg(-minutes));
                asset->setBookmark(quay);
                if (minutes < 0)
                    asset->setUploadDateTime(QDateTime::currentDateTimeUtc().addSecs(60 * minutes));
            }
            QVERIFY(seed->save());
        }
        auto context = openStore();
        ServerBookmark *quay = context->fetchAllBookmarks().constLast();
        Asset *waiting = context->fetchPendingAssets(quay).constFirst();
        LMImportLogWindowController log(context.get());
        log.showWindow();
        auto *model = log.importLogView()->ImportLogArrayController();
        model->setSearchText(QStringLiteral("quay"));
        QTRY_COMPARE(columnOf(model, ImportLogModel::FileColumn), (QStringList{"1.jpg", "2.jpg"}));
        QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
        waiting->setUploadDateTime(QDateTime::currentDateTimeUtc());
        QTRY_COMPARE(model->rowCount(), 3);
        QCOMPARE(inserted.first().at(1).toInt(), 0);
        QCOMPARE(model->record(0), waiting);
        quay->setBookmarkName(QStringLiteral("Pier"));
        model->setSearchText(QStringLiteral("pier"));
        QTRY_COMPARE(columnOf(model, ImportLogModel::BookmarkColumn), (QStringList{"Pier", "Pier", "Pier"}));
        QCOMPARE(columnOf(model, ImportLogModel::FileColumn), (QStringList{"0.jpg", "1.jpg", "2.jpg"}));
        log.importLogView()->clearLogButtonWasClicked();
        QCOMPARE(model->rowCount(), 0);
        QVERIFY(context->save());
        QTRY_VERIFY(!context->isDeletingLog());
        auto reopened = openStore();
        QVERIFY(reopened->fetchUploadedAssets().isEmpty());
        log.close();
    }

    void newEntryTakesItsPlace_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<Qt::SortOrder>("order");
        QTest::addColumn<QString>("search");
        QTest::newRow("newest first")
            << int(ImportLogModel::UploadTimeColumn) << Qt::DescendingOrder << QString();
        QTest::newRow("by name") << int(ImportLogModel::FileColumn) << Qt::AscendingOrder << QString();
        QTest::newRow("by name, searched") << int(ImportLogModel::FileColumn) << Qt::DescendingOrder << "ä";
        QTest::newRow("largest first") << int(ImportLogModel::SizeColumn) << Qt::DescendingOrder << QString();
        QTest::newRow("by category") << int(ImportLogModel::CategoryColumn) << Qt::AscendingOrder
                                     << QString();
        QTest::newRow("by server, searched")
            << int(ImportLogModel::BookmarkColumn) << Qt::DescendingOrder << "PIER";
    }

    // Records stamped as a batch stamps them: each shows at once as one row at the place the
    // store's own query gives it (case folded as SQLite folds it, missing values first, ties by
    // record), or only in the total when the search leaves it out; the store is not asked
    // again. One stamped while a question is out stays when the answer lacks it.
    void newEntryTakesItsPlace()
    {
        QFETCH(int, column);
        QFETCH(Qt::SortOrder, order);
        QFETCH(QString, search);
        auto context = openStore();
        ServerBookmark *quay = context->insertBookmark();
        quay->setBookmarkName(QStringLiteral("quay"));
        ServerBookmark *pier = context->insertBookmark();
        pier->setBookmarkName(QStringLiteral("Pier"));
        struct Entry {
            const char *name;
            const char *category;
            qint64 size; // 0: none recorded
            ServerBookmark *bookmark;
        };
        const QList<Entry> entries{{"a.jpg", "/Photos", 10, quay},    {"B2.jpg", "/photos/b", 0, pier},
                                   {"Äpfel.jpg", nullptr, 300, pier}, {"zeta b.jpg", "/Zoo", 10, nullptr},
                                   {"b.jpg", "/photos/B", 10, quay},  {"ä.jpg", "/Photos", 0, pier},
                                   {"C.jpg", nullptr, 5000, nullptr}, {"pier b.jpg", "/Zoo", 300, quay}};
        const QString tag = QString::fromUtf8(QTest::currentDataTag());
        QList<Asset *> records;
        for (const Entry &entry : entries) {
            Asset *asset = context->insertAsset();
            asset->setFilePath(QStringLiteral("/%1/%2").arg(tag, QString::fromUtf8(entry.name)));
            asset->setBookmark(entry.bookmark);
            records.append(asset);
        }
        auto stamp = [&](Asset *asset, const Entry &entry, qint64 minutesAgo) {
            if (entry.category)
                asset->setCategoryPath(QString::fromUtf8(entry.category));
            if (entry.size)
                asset->setFingerprint(entry.size, std::nullopt, QStringLiteral("127.0.0.1:1/x"));
            asset->setUploadDateTime(QDateTime::currentDateTimeUtc().addSecs(-60 * minutesAgo));
        };
        for (int i = 0; i < 4; ++i)
            stamp(records.at(i), entries.at(i), 5 - i);
        QVERIFY(context->save());

        ImportLogModel model(context.get());
        model.sort(column, order);
        model.setSearchText(search);
        QTRY_VERIFY(model.isLoaded());
        // The records listed, in order, and the total.
        auto listed = [](const ImportLogModel &m) {
            QStringList keys;
            for (int row = 0; row < m.rowCount(); ++row)
                keys.append(QString::number(m.logRow(row).key));
            return keys << QString::number(m.totalCount());
        };
        // What the store's query lists now.
        auto asked = [&] {
            ImportLogModel fresh(context.get());
            fresh.sort(column, order);
            fresh.setSearchText(search);
            return QTest::qWaitFor([&] { return fresh.isLoaded(); }, kTimeout) ? listed(fresh)
                                                                               : QStringList{};
        };
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy refilled(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        for (int i = 4; i < entries.size(); ++i) {
            const bool last = i == entries.size() - 1;
            if (last)
                model.setSearchText(search + QStringLiteral(" ")); // the same search asked again
            const int rows = model.rowCount();
            inserted.clear();
            stamp(records.at(i), entries.at(i), 0);
            // The last is saved once the answer is in, so the answer surely lacks it.
            QVERIFY(last || context->saveObjects({records.at(i)}));
            if (last) {
                QTRY_VERIFY(refilled.size() > 0);
                QVERIFY(context->saveObjects({records.at(i)}));
            }
            // With a search, the total is asked for once more after the last.
            const QStringList now = asked();
            QTRY_COMPARE(listed(model), now);
            if (!last) {
                QCOMPARE(inserted.size(), model.rowCount() - rows);
                QVERIFY(inserted.size() <= 1);
                QCOMPARE(refilled.size(), 0);
            }
        }
        QCOMPARE(reset.size(), 0);
    }
};

LUMARO_GUI_TEST_MAIN(TestImportLog)
#include "tst_importlog.moc"
