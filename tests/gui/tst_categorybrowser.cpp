#include "GuiTestMain.h"

#include "AccessibleTree.h"
#include "SessionTestKit.h"

#include "platform/widgets/BrowserColumnModel.h"

#include <QJsonDocument>
#include <QTemporaryFile>

using namespace SessionTestKit;

namespace {

// What the category view looked like right after it handled one notification.
struct Step {
    LMSessionCategoryViewController::Position clicked;
    qint64 current;
    qint64 target;
    QStringList column1;
    QString label;
};

// Records the session's category view after each level-loaded notification: queued, so the
// snapshot is taken once the view's own handler is done.
class StepRecorder : public QObject {
public:
    explicit StepRecorder(const QPointer<LMSessionWindowController> &session)
    {
        auto snapshot = [this, &session] {
            const LMSessionCategoryViewController *view = session ? session->categoryView() : nullptr;
            if (view && view->categoryBrowser())
                steps.append(Step{view->clickedCategory(), view->currentPathLevel(), view->targetPathLevel(),
                                  columnTexts(view->categoryBrowser(), 1),
                                  view->loadingCategoryLabel()->text()});
        };
        NotificationCenter::defaultCenter()->addObserver(
            this, LMNotification::HasCategories, nullptr, [this, snapshot](const Notification &) {
                QMetaObject::invokeMethod(this, snapshot, Qt::QueuedConnection);
            });
    }
    QList<Step> steps;
};

qint64 postedParentId(const QJsonObject &request)
{
    return requestBody(request)["parentCategoryStructures"][0]["parentCategory"]["id"].toInteger(-1);
}

bool isLeafRow(const ColumnBrowser *browser, int column, int row)
{
    return browser->columnView(column)->model()->index(row, 0).data(BrowserColumnModel::LeafRole).toBool();
}

} // namespace

// The category browser view driven through real clicks against a real server: the path walk of a
// stored category, user selections, stale levels, odd records and the new-category sheet.
class TestCategoryBrowser : public QObject, SessionFixture {
    Q_OBJECT

    std::unique_ptr<DevServer> m_server;
    QPointer<LMSessionWindowController> m_session;

    // A server started with args and a session opened on a bookmark for it, with its browser
    // loaded and idle.
    LMSessionCategoryViewController *open(const QStringList &args = {}, qint64 storedCategory = -1)
    {
        m_server = std::make_unique<DevServer>(args);
        if (!m_server->isRunning()) {
            qWarning().noquote() << m_server->errorString();
            return nullptr;
        }
        ServerBookmark *bookmark = makeBookmark(context(), *m_server);
        bookmark->setLastCategoryID(storedCategory);
        m_session = openSession(m_storyboard, bookmark);
        if (!m_session || !waitForContent(m_session, m_session->categoryView()) ||
            !waitUntilIdle(m_session->categoryView()))
            return nullptr;
        return m_session->categoryView();
    }

private slots:
    void initTestCase() { QVERIFY(context()); }

    void cleanup() { QVERIFY(closeSession(m_session)); }

    void aColumnNeverShowsAnotherSelectionsRows()
    {
        // Photos answers late; Video, clicked after it, answers first. Documents fails once.
        LMSessionCategoryViewController *view =
            open({"--short-records", "--fault", "GET /ra/categories/1.json#1=delay:1500", "--fault",
                  "GET /ra/categories/13.json#1=status:500"});
        QVERIFY(view);
        StepRecorder recorder(m_session);
        ColumnBrowser *browser = view->categoryBrowser();

        QVERIFY(clickRow(browser, 0, QStringLiteral("Photos")));
        QCOMPARE(columnTexts(browser, 1), QStringList());
        QVERIFY(clickRow(browser, 0, QStringLiteral("Video")));
        QCOMPARE(columnTexts(browser, 1), QStringList());

        // Both answers arrive, Photos' last, with no round more; the last click wins and nothing
        // else shows up below it on the way.
        QTRY_COMPARE_WITH_TIMEOUT(recorder.steps.size(), 2, kTimeout);
        QVERIFY(waitUntilIdle(view));
        QCOMPARE(columnTexts(browser, 1), (QStringList{"Edited", "Raw"}));
        QCOMPARE(selection(browser), u"Video/- @0"_s);
        LMServerConnection *connection = m_session->serverConnection();
        QCOMPARE(recordId(connection->selectedCategory()), 10);
        QCOMPARE(connection->getSelectedCategoryPath(), QStringLiteral("/Video"));
        for (const Step &step : std::as_const(recorder.steps)) {
            QVERIFY2(step.column1.isEmpty() || step.column1 == (QStringList{"Edited", "Raw"}),
                     qPrintable(step.column1.join(QLatin1Char(','))));
            if (step.column1.isEmpty())
                QCOMPARE(step.label, QStringLiteral("getting categories"));
        }
        QTRY_COMPARE(m_server->requests(QStringLiteral("/ra/categories/1.json")).size(), 1);
        QCOMPARE(m_server->requests(QStringLiteral("/ra/categories/10.json")).size(), 1);

        // A failed load shows nothing below the category and says why, until a click retries it.
        QVERIFY(pick(view, 0, QStringLiteral("Photos")));
        QCOMPARE(columnTexts(browser, 1), (QStringList{"2024", "2025"}));
        QVERIFY(clickRow(browser, 0, QStringLiteral("Documents")));
        QTRY_VERIFY(view->loadFailureLabel()->text().startsWith(
            QLatin1String("Could not load the sub-categories of Documents: HTTP 500")));
        QVERIFY(view->loadFailureLabel()->isVisible());
        QVERIFY(isIdle(view));
        QCOMPARE(columnTexts(browser, 1), QStringList());
        QCOMPARE(connection->getSelectedCategoryPath(), QStringLiteral("/Documents"));
        QVERIFY(saveScreenshot(m_session->window(), QStringLiteral("session-category-load-failed")));
        QVERIFY(pick(view, 0, QStringLiteral("Documents")));
        QCOMPARE(columnTexts(browser, 1), (QStringList{"Contracts", "Invoices"}));
        QVERIFY(!view->loadFailureLabel()->isVisible());
    }

    void storedCategoryIsWalkedOneLevelPerNotification()
    {
        StepRecorder recorder(m_session);
        LMSessionCategoryViewController *view = open({"--short-records"}, 7);
        QVERIFY(view);
        QCOMPARE(view->initialCategoryID(), 7);

        // Climb (stored category up to the top), then the walk: top level, then one level per
        // notification, each asked only once the level above it had arrived.
        QTRY_COMPARE(
            requestLines(*m_server).mid(2), // after the server check
            (QStringList{"GET /ra/categories/7.json", "GET /ra/categories/6.json",
                         "GET /ra/categories/1.json", "GET /ra/categories.json", "GET /ra/categories/1.json",
                         "GET /ra/categories/6.json", "GET /ra/categories/7.json"}));
        QTRY_COMPARE(recorder.steps.size(), 4);
        QStringList walk; // the row clicked, "column,row", then the level loaded > the level aimed at
        for (const Step &s : std::as_const(recorder.steps))
            walk << u"%1,%2 %3>%4"_s.arg(s.clicked.column).arg(s.clicked.row).arg(s.current).arg(s.target);
        QCOMPARE(walk, (QStringList{"0,3 0>2", "1,1 1>2", "2,0 2>2", "2,0 -1>-1"}));

        QCOMPARE(selection(view->categoryBrowser()), u"Photos/2025/Events/- @2"_s);
        QCOMPARE(columnTexts(view->categoryBrowser(), 3), (QStringList{"Team Day", "Trade Fair Munich"}));
        QVERIFY(isIdle(view));
        QCOMPARE(recordId(m_session->serverConnection()->selectedCategory()), 7);
        QCOMPARE(view->selectionLabel()->text(), u"Selected: \u2068/Photos/2025/Events\u2069"_s);

        QVERIFY(QTest::qWaitForWindowExposed(m_session->window()));
        QVERIFY(saveScreenshot(m_session->window(), QStringLiteral("session-category-browser")));
    }

    void storedCategoryThatCannotBeRebuilt_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<qint64>("stored");
        QTest::newRow("unknown to the server") << QStringList{} << qint64(999);
        QTest::newRow("parent cycle") << QStringList{"--parent-cycle", "14,15"} << qint64(14);
    }

    void storedCategoryThatCannotBeRebuilt()
    {
        QFETCH(QStringList, args);
        QFETCH(qint64, stored);
        LMSessionCategoryViewController *view = open(args, stored);
        QVERIFY(view);
        QCOMPARE(selection(view->categoryBrowser()), u"- @-1"_s);
        QCOMPARE(columnTexts(view->categoryBrowser(), 0).size(), 5);
        QVERIFY(!m_session->serverConnection()->selectedCategory());
        // The climb, then the top level (once more if the walk had to clear a selection).
        const QString climb = QStringLiteral("GET /ra/categories/%1.json").arg(stored);
        QTRY_VERIFY(requestLines(*m_server).contains(QStringLiteral("GET /ra/categories.json")));
        const QStringList lines = requestLines(*m_server).mid(2); // after the server check
        const qsizetype top = lines.indexOf(QStringLiteral("GET /ra/categories.json"));
        for (const QString &line : lines.mid(top))
            QCOMPARE(line, QStringLiteral("GET /ra/categories.json"));
        QCOMPARE(lines.constFirst(), climb);

        // Set has nothing to go to.
        view->setCategoryButton()->click();
        QCOMPARE(m_session->contentViewController(), view);
        QCOMPARE(m_session->currentView(), std::optional<QString>(QStringLiteral("category")));

        // Nothing shown selected means nothing selected: the sheet and the request agree.
        LMNewCategoryViewController *sheet = openSheet(view, QStringLiteral("Fresh"));
        QVERIFY(sheet);
        QCOMPARE(sheet->view()->findChild<QLabel *>(QStringLiteral("newCategoryPlaceLabel"))->text(),
                 QStringLiteral("The category is created at the top level."));
        sheet->saveButton()->click();
        QTRY_VERIFY(requestLines(*m_server).contains(QStringLiteral("POST /ra/categories.json")));
        for (const QJsonObject &request : m_server->requests(QStringLiteral("/ra/categories.json")))
            QVERIFY(!requestBody(request).contains(QLatin1String("parentCategoryStructures")));
        QVERIFY(waitUntilIdle(view));
    }

    void walkEndsWhereThePathNoLongerMatches()
    {
        // By the time the walk opens Photos, 2025 is gone from it.
        const QString photos =
            QStringLiteral(R"({"id":1,"name":"Photos","isLeaf":false,"directChildCategoryStructuresSorted":)"
                           R"([{"childCategory":{"id":2,"name":"2024","isLeaf":false}}]})");
        LMSessionCategoryViewController *view =
            open({"--short-records", "--fault", "GET /ra/categories/1.json#2=body:" + photos}, 7);
        QVERIFY(view);
        QCOMPARE(selection(view->categoryBrowser()), u"Photos/- @0"_s);
        QCOMPARE(columnTexts(view->categoryBrowser(), 1), QStringList{"2024"});
        QCOMPARE(m_session->serverConnection()->getSelectedCategoryPath(), QStringLiteral("/Photos"));
    }

    void oddRecordsStillBrowse()
    {
        const QString level = QStringLiteral(R"([{"id":1},{"id":13,"name":42,"isLeaf":"yes"},)"
                                             R"({"name":"Loose","isLeaf":true},{"id":10,"name":"Video"},)"
                                             R"({"name":"Cut\u0000here \u202Egnp.exe","isLeaf":true}])");
        LMSessionCategoryViewController *view = open({"--fault", "GET /ra/categories.json=body:" + level});
        QVERIFY(view);
        ColumnBrowser *browser = view->categoryBrowser();
        // Controls in a name are shown, to the eye and to a screen reader, never obeyed.
        const QString odd = QStringLiteral("Cut<U+0000>here <U+202E>gnp.exe");
        QCOMPARE(columnTexts(browser, 0), (QStringList{"", "", "Loose", "Video", odd}));
        for (int row = 0; row < 5; ++row)
            QCOMPARE(isLeafRow(browser, 0, row), row == 2 || row == 4);
        QVERIFY(pick(view, 0, odd));
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(browser->columnView(0));
        QCOMPARE(list->tableInterface()->cellAt(4, 0)->text(QAccessible::Name), odd);
        QCOMPARE(view->selectionLabel()->text(), u"Selected: \u2068/"_s + odd + QChar(0x2069));

        // A record without an id cannot be fetched; selecting it still completes.
        QVERIFY(pick(view, 0, QStringLiteral("Loose")));
        QCOMPARE(browser->columnCount(), 1);
        QVERIFY(pick(view, 0, QString())); // the first record without a name: Photos
        QCOMPARE(columnTexts(browser, 0).at(0), QStringLiteral("Photos"));
        QCOMPARE(columnTexts(browser, 1), (QStringList{"2024", "2025"}));
        QVERIFY(pick(view, 0, QString())); // now the next one, whose name is a number
        QCOMPARE(columnTexts(browser, 1), (QStringList{"Contracts", "Invoices"}));
    }

    void deepPathAndLongLevel()
    {
        // Fifty levels, the second one holding 3000 categories besides the way down.
        QJsonObject node{{"id", 50}, {"name", "Level 50"}};
        for (int id = 49; id >= 1; --id) {
            QJsonArray children{node};
            if (id == 1)
                for (int n = 0; n < 3000; ++n)
                    children.append(
                        QJsonObject{{"id", 1000 + n}, {"name", u"Item %1"_s.arg(n, 4, 10, QChar(u'0'))}});
            node = QJsonObject{{"id", id}, {"name", u"Level %1"_s.arg(id)}, {"children", children}};
        }
        QTemporaryFile tree;
        QVERIFY(tree.open());
        tree.write(QJsonDocument(QJsonObject{{"categories", QJsonArray{node}}}).toJson());
        tree.flush();

        LMSessionCategoryViewController *view = open({"--tree", tree.fileName()}, 50);
        QVERIFY(view);
        ColumnBrowser *browser = view->categoryBrowser();
        QCOMPARE(browser->selectedColumn(), 49);
        QCOMPARE(browser->rowCountInColumn(1), 3001);
        QCOMPARE(browser->selectedRowInColumn(1), 3000); // "Level 2" sorts after the items
        QCOMPARE(m_session->serverConnection()->pathLevel(), 49);
        const int requests = int(m_server->requests().size());

        // Rows come from the model: showing every row of the long column asks the server nothing,
        // so the next request it sees is the one the following click makes.
        browser->columnView(1)->scrollToTop();
        QCOMPARE(columnTexts(browser, 1).indexOf(u"Item 2999"_s), 2999);
        QVERIFY(pick(view, 1, QStringLiteral("Item 0005")));
        QTRY_COMPARE(int(m_server->requests().size()), requests + 1);
        QCOMPARE(requestLines(*m_server).constLast(), QStringLiteral("GET /ra/categories/1005.json"));
        QCOMPARE(browser->columnCount(), 2);
    }

    void clicksSelectAndNewCategoriesGoUnderTheSelection()
    {
        // The third creation is answered with an object that is no category (an empty name's refusal
        // on the wire: tst_connection).
        LMSessionCategoryViewController *view =
            open({"--fault", R"(POST /ra/categories.json#3=body:{"error":"that name is taken"})"});
        QVERIFY(view);
        ColumnBrowser *browser = view->categoryBrowser();
        LMServerConnection *connection = m_session->serverConnection();
        QVERIFY(clickRow(browser, 0, QStringLiteral("Photos")));
        // Under way until the connection reports back, and the browser still takes clicks.
        QCOMPARE(view->loadingCategoryLabel()->text(), QStringLiteral("getting categories"));
        QVERIFY(!view->setCategoryButton()->isEnabled());
        QVERIFY(browser->isEnabled());
        QVERIFY(waitUntilIdle(view));
        QCOMPARE(columnTexts(browser, 1), (QStringList{"2024", "2025"}));
        QCOMPARE(recordId(connection->selectedCategory()), 1);
        // Which records are fetched for their children: tst_connection's everyRequestOnTheWire.
        QVERIFY(pick(view, 1, QStringLiteral("2025")));
        QCOMPARE(columnTexts(browser, 2), QStringList{"Events"});

        LMNewCategoryViewController *sheet = openSheet(view, QStringLiteral("  Night Shots "));
        QVERIFY(sheet);
        QCOMPARE(sheet->myTarget(), view);
        QVERIFY(sheet->view()->isVisible());
        QCOMPARE(sheet->view()->window()->windowModality(), Qt::WindowModal);
        QVERIFY(saveScreenshot(sheet->view()->window(), QStringLiteral("session-new-category-sheet")));
        QCOMPARE(AccessibleTree::unnamedControls(sheet->view()->window()), QString());
        sheet->saveButton()->click();
        QVERIFY(view->presentedViewControllers().isEmpty());

        QTRY_COMPARE(m_server->requests(QStringLiteral("/ra/categories.json")).size(), 2);
        const QJsonObject post = m_server->requests(QStringLiteral("/ra/categories.json")).constLast();
        QCOMPARE(post.value(QLatin1String("method")).toString(), QStringLiteral("POST"));
        QCOMPARE(requestBody(post).value(QLatin1String("name")).toString(), QStringLiteral("  Night Shots "));
        QCOMPARE(postedParentId(post), 6);
        QTRY_COMPARE(columnTexts(browser, 2), (QStringList{"  Night Shots ", "Events"}));
        QVERIFY(waitUntilIdle(view));
        QCOMPARE(selection(browser), u"Photos/2025/- @1"_s);

        // Cancel sends nothing: the next request the server sees is the click after it.
        sheet = openSheet(view, QStringLiteral("Never"));
        QVERIFY(sheet);
        sheet->cancelButton()->click();
        QVERIFY(view->presentedViewControllers().isEmpty());
        QVERIFY(clickRow(browser, 2, QStringLiteral("Events")));
        QTRY_VERIFY(requestLines(*m_server).endsWith(QStringLiteral("GET /ra/categories/7.json")));
        QCOMPARE(m_server->requests(QStringLiteral("/ra/categories.json")).size(), 2);
        QVERIFY(waitUntilIdle(view));
        QCOMPARE(columnTexts(browser, 3), (QStringList{"Team Day", "Trade Fair Munich"}));
        QCOMPARE(connection->getSelectedCategoryPath(), QStringLiteral("/Photos/2025/Events"));

        // Below a leaf: the leaf turns into a branch and opens its new child.
        QVERIFY(pick(view, 3, QStringLiteral("Team Day")));
        QVERIFY(isLeafRow(browser, 3, columnTexts(browser, 3).indexOf(u"Team Day"_s)));
        sheet = openSheet(view, QStringLiteral("Speakers"));
        QVERIFY(sheet);
        QVERIFY(sheet->view()
                    ->findChild<QLabel *>(QStringLiteral("newCategoryPlaceLabel"))
                    ->text()
                    .contains(QLatin1String("/Photos/2025/Events/Team Day")));
        QTest::keyClick(sheet->textNewCategory(), Qt::Key_Return);
        QTRY_COMPARE(columnTexts(browser, 4), QStringList{"Speakers"});
        QVERIFY(!isLeafRow(browser, 3, columnTexts(browser, 3).indexOf(u"Team Day"_s)));
        QCOMPARE(postedParentId(m_server->requests(QStringLiteral("/ra/categories.json")).constLast()), 9);

        // A new choice further left drops the columns to its right.
        QVERIFY(pick(view, 0, QStringLiteral("Video")));
        QCOMPARE(columnTexts(browser, 1), (QStringList{"Edited", "Raw"}));
        QCOMPARE(connection->pathLevel(), 0);
        QCOMPARE(connection->getSelectedCategoryPath(), QStringLiteral("/Video"));

        // Refused: said in a warning; the selection stays.
        AlertCatcher alerts;
        sheet = openSheet(view, QStringLiteral("Taken"));
        QVERIFY(sheet);
        sheet->saveButton()->click();
        QVERIFY(alerts.waitForAlert());
        QCOMPARE(alerts.last()->icon(), QMessageBox::Warning);
        QCOMPARE(alerts.last()->informativeText(), QStringLiteral("The server answered: that name is taken"));
        QCOMPARE(postedParentId(m_server->requests(QStringLiteral("/ra/categories.json")).constLast()), 10);
        AlertCatcher::userButtons(alerts.last()).constFirst()->click();
        QVERIFY(waitUntilIdle(view));
        QCOMPARE(selection(browser), u"Video/- @0"_s);
    }
};

LUMARO_GUI_TEST_MAIN(TestCategoryBrowser)
#include "tst_categorybrowser.moc"
