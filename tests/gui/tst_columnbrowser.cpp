#include "GuiTestMain.h"

#include "SessionTestKit.h"

#include "platform/widgets/BrowserColumnModel.h"
#include "platform/widgets/ColumnBrowserDelegate.h"

#include <QSignalSpy>

using namespace SessionTestKit;

namespace {
struct Node {
    QString name;
    QList<Node> children;
    bool leaf = false;
};

Node leaf(const char *name)
{
    return Node{QString::fromLatin1(name), {}, true};
}

Node branch(const char *name, QList<Node> children)
{
    return Node{QString::fromLatin1(name), std::move(children), false};
}

Node sampleTree()
{
    return branch("", {branch("Animals", {branch("Cats", {leaf("Tabby"), leaf("Siamese")}),
                                          branch("Dogs", {leaf("Beagle")})}),
                       branch("Plants", {branch("Trees", {leaf("Oak")}), leaf("Fern")}), leaf("Readme")});
}

// A flat list of leaves, "file-0" onwards.
Node files(int count)
{
    Node root;
    for (int row = 0; row < count; ++row)
        root.children.append(Node{QStringLiteral("file-%1").arg(row), {}, true});
    return root;
}

// Resolves a column through the browser's own selection path, as an application delegate does.
class TreeDelegate : public ColumnBrowserDelegate {
public:
    Node root = sampleTree();
    int cellsFilled = 0;

    const Node *parentOf(ColumnBrowser *browser, int column) const
    {
        const Node *node = &root;
        for (int c = 0; c < column && node; ++c) {
            const int row = browser->selectedRowInColumn(c);
            node = row >= 0 && row < node->children.size() ? &node->children.at(row) : nullptr;
        }
        return node;
    }
    int numberOfRowsInColumn(ColumnBrowser *browser, int column) override
    {
        const Node *parent = parentOf(browser, column);
        return parent ? int(parent->children.size()) : 0;
    }
    void willDisplayCell(ColumnBrowser *browser, BrowserCell &cell, int row, int column) override
    {
        ++cellsFilled;
        const Node &node = parentOf(browser, column)->children.at(row);
        cell.text = node.name;
        cell.leaf = node.leaf;
    }
};

} // namespace

class TestColumnBrowser : public QObject {
    Q_OBJECT

    std::unique_ptr<ColumnBrowser> m_browser;
    TreeDelegate m_tree;
    TreeDelegate m_files;

    ColumnBrowser *browser() { return m_browser.get(); }

    // Every open column's rows, selected ones in brackets, then the selected column:
    // "[Animals] Plants Readme / Cats [Dogs] / Beagle @1".
    QString shown()
    {
        QStringList columns;
        for (int column = 0; column < browser()->columnCount(); ++column) {
            QStringList texts = columnTexts(browser(), column);
            for (const int row : browser()->selectedRowsInColumn(column))
                texts[row] = u'[' + texts.value(row) + u']';
            columns.append(texts.join(u' '));
        }
        return columns.join(" / "_L1) + u" @"_s + QString::number(browser()->selectedColumn());
    }

    // A real double click is a click followed by the double-click press.
    bool doubleClickRow(int row, int column)
    {
        if (!clickRow(browser(), row, column))
            return false;
        QTest::mouseDClick(browser()->columnView(column)->viewport(), Qt::LeftButton, {},
                           browser()->visualRectOfRow(row, column).center());
        return true;
    }

private slots:
    void init()
    {
        m_tree.root = sampleTree();
        m_browser = std::make_unique<ColumnBrowser>();
        m_browser->resize(900, 300);
        m_browser->setColumnWidth(180);
        m_browser->setDelegate(&m_tree);
        m_browser->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_browser.get()));
    }

    void cleanup() { m_browser.reset(); }

    void clicksOpenAndCloseColumnsOnlyWhenEnabled()
    {
        QSignalSpy actions(browser(), &ColumnBrowser::action);
        QSignalSpy doubles(browser(), &ColumnBrowser::doubleClicked);
        browser()->setEnabled(false);
        QVERIFY(clickRow(browser(), 0, 0));
        QVERIFY(doubleClickRow(1, 0));
        QTest::keyClick(browser()->columnView(0), Qt::Key_Down);
        QCOMPARE(shown(), u"Animals Plants Readme @-1"_s);
        QCOMPARE(actions.count(), 0);
        QCOMPARE(doubles.count(), 0);

        browser()->setEnabled(true);
        // Each click (row, column), what the browser shows after it and the actions so far. A leaf opens
        // nothing further; a new choice in column 0 drops the whole path to its right; clicking the
        // selected branch again reopens its column with nothing selected there.
        for (const auto &[row, column, after, count] : {
                 std::tuple{0, 0, "[Animals] Plants Readme / Cats Dogs @0", 1},
                 {0, 1, "[Animals] Plants Readme / [Cats] Dogs / Tabby Siamese @1", 2},
                 {1, 2, "[Animals] Plants Readme / [Cats] Dogs / Tabby [Siamese] @2", 3},
                 {1, 0, "Animals [Plants] Readme / Trees Fern @0", 4},
                 {2, 0, "Animals Plants [Readme] @0", 5},
                 {0, 0, "[Animals] Plants Readme / Cats Dogs @0", 6},
                 {1, 1, "[Animals] Plants Readme / Cats [Dogs] / Beagle @1", 7},
                 {0, 0, "[Animals] Plants Readme / Cats Dogs @0", 8},
             }) {
            QVERIFY(clickRow(browser(), row, column));
            QCOMPARE(shown(), QString::fromLatin1(after));
            QCOMPARE(actions.count(), count);
        }
        QCOMPARE(browser()->columnView(2), nullptr);
        QVERIFY(doubleClickRow(1, 1));
        QCOMPARE(QList<QVariantList>(doubles), (QList<QVariantList>{{1, 1}}));
    }

    void branchesShowAnArrowAndLeavesDoNot()
    {
        QCOMPARE(browser()->columnView(0)->model()->index(0, 0).data(BrowserColumnModel::LeafRole), false);
        QCOMPARE(browser()->columnView(0)->model()->index(2, 0).data(BrowserColumnModel::LeafRole), true);
        // Ink at the right end of a row is the arrow: rows 0 and 1 are branches, row 2 a leaf.
        QTRY_VERIFY(browser()->visualRectOfRow(2, 0).isValid());
        const QImage image = browser()->columnView(0)->viewport()->grab().toImage();
        const auto inkAtRightEnd = [&](int row) {
            const QRect rect = browser()->visualRectOfRow(row, 0);
            const QRgb background = image.pixel(rect.right() - 1, rect.top() + 1);
            int ink = 0;
            for (int x = rect.right() - 20; x < rect.right(); ++x)
                for (int y = rect.top(); y <= rect.bottom(); ++y)
                    ink += image.pixel(x, y) != background;
            return ink;
        };
        QVERIFY(inkAtRightEnd(0) > 0);
        QVERIFY(inkAtRightEnd(1) > 0);
        QCOMPARE(inkAtRightEnd(2), 0);
    }

    void programmaticChangesAreSilentAndKeepTheSelection()
    {
        QSignalSpy actions(browser(), &ColumnBrowser::action);
        browser()->selectRow(0, 0);
        browser()->selectRow(1, 1);
        const QString dogs = u"[Animals] Plants Readme / Cats [Dogs] / Beagle @1"_s;
        QCOMPARE(shown(), dogs);

        // Positions of -1 or past the end change nothing and create no column.
        for (const auto &[row, column] : {std::pair{-1, -1}, {0, -1}, {-1, 0}, {3, 0}, {0, 3}, {5, 2}})
            browser()->selectRow(row, column);
        for (const int column : {-1, 3, 42})
            browser()->reloadColumn(column);
        QCOMPARE(shown(), dogs);
        QCOMPARE(browser()->selectedRowInColumn(-1), -1);
        QCOMPARE(browser()->selectedRowsInColumn(7), QList<int>());
        QVERIFY(browser()->visualRectOfRow(0, 5).isNull());

        // Rows inserted, changed and removed around the selected Dogs, whose Beagle shows in column 2.
        QSignalSpy resets(browser()->columnView(1)->model(), &QAbstractItemModel::modelReset);
        QList<Node> &animals = m_tree.root.children[0].children;
        animals.prepend(leaf("Ants"));
        browser()->insertRows(0, 1, 1);
        animals[1].name = QStringLiteral("Lions");
        browser()->reloadRows(1, 1, 1);
        QCOMPARE(shown(), u"[Animals] Plants Readme / Ants Lions [Dogs] / Beagle @1"_s);
        animals.removeFirst();
        browser()->removeRows(0, 1, 1);
        QCOMPARE(shown(), u"[Animals] Plants Readme / Lions [Dogs] / Beagle @1"_s);
        // The selected branch itself leaving: the list selects its neighbour, whose children
        // replace the ones of the branch that left.
        animals.removeLast();
        browser()->removeRows(1, 1, 1);
        QCOMPARE(shown(), u"[Animals] Plants Readme / [Lions] / Tabby Siamese @1"_s);
        QCOMPARE(resets.count(), 0);

        // A reloaded column keeps its selection, which still leads to its column.
        animals.append(leaf("Birds"));
        browser()->reloadColumn(1);
        QCOMPARE(shown(), u"[Animals] Plants Readme / [Lions] Birds / Tabby Siamese @1"_s);
        // A kept row that turned into a leaf closes the columns to its right.
        animals = {leaf("Moth")};
        browser()->reloadColumn(1);
        QCOMPARE(shown(), u"[Animals] Plants Readme / [Moth] @1"_s);
        // A selected row past the new end is dropped, and its columns with it.
        m_tree.root.children = {leaf("Only")};
        browser()->reloadColumn(0);
        browser()->selectRow(0, 0);
        m_tree.root.children.clear();
        browser()->reloadColumn(0);
        QCOMPARE(shown(), u" @-1"_s);
        // A leaf that became a branch opens its column.
        m_tree.root = sampleTree();
        browser()->reloadColumn(0);
        browser()->selectRow(2, 0);
        m_tree.root.children[2] = branch("Readme", {leaf("Page")});
        browser()->reloadColumn(0);
        QCOMPARE(shown(), u"Animals Plants [Readme] / Page @0"_s);

        browser()->loadColumnZero();
        QCOMPARE(shown(), u"Animals Plants Readme @-1"_s);
        QCOMPARE(actions.count(), 0);
    }

    void multipleSelectionAndLongLists()
    {
        m_files.root = files(10);
        browser()->setDelegate(&m_files);
        browser()->setAllowsMultipleSelection(true);
        QSignalSpy actions(browser(), &ColumnBrowser::action);
        QVERIFY(clickRow(browser(), 2, 0));
        QVERIFY(clickRow(browser(), 5, 0, Qt::ControlModifier));
        QVERIFY(clickRow(browser(), 7, 0, Qt::ShiftModifier));
        QCOMPARE(browser()->selectedRowsInColumn(0), (QList<int>{2, 5, 6, 7}));
        QCOMPARE(browser()->selectedRowInColumn(0), 2);
        QVERIFY(clickRow(browser(), 2, 0, Qt::ControlModifier));
        QCOMPARE(browser()->selectedRowsInColumn(0), (QList<int>{5, 6, 7}));
        QCOMPARE(actions.count(), 4);

        m_files.root = files(7);
        browser()->reloadColumn(0);
        QCOMPARE(browser()->selectedRowsInColumn(0), (QList<int>{5, 6}));

        // Several branches selected at once open no column.
        browser()->setDelegate(&m_tree);
        QVERIFY(clickRow(browser(), 0, 0));
        QVERIFY(clickRow(browser(), 1, 0, Qt::ControlModifier));
        QCOMPARE(shown(), u"[Animals] [Plants] Readme @0"_s);

        browser()->setAllowsMultipleSelection(false);
        QVERIFY(clickRow(browser(), 2, 0));
        QCOMPARE(shown(), u"Animals Plants [Readme] @0"_s);

        // Ten thousand rows: only the cells shown are asked for, and all of them can be selected.
        m_files.root = files(10000);
        m_files.cellsFilled = 0;
        browser()->setDelegate(&m_files);
        QCOMPARE(browser()->rowCountInColumn(0), 10000);
        QVERIFY(clickRow(browser(), 0, 0));
        browser()->selectRow(9999, 0);
        QTRY_VERIFY(browser()->columnView(0)->viewport()->rect().contains(
            browser()->visualRectOfRow(9999, 0).center()));
        QVERIFY2(m_files.cellsFilled < 500, qPrintable(QString::number(m_files.cellsFilled)));
        browser()->setAllowsMultipleSelection(true);
        QTest::keyClick(browser()->columnView(0), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(browser()->selectedRowsInColumn(0).size(), 10000);
        browser()->reloadColumn(0);
        QCOMPARE(browser()->selectedRowsInColumn(0).size(), 10000);
    }

    void keyboardNavigation()
    {
        QSignalSpy actions(browser(), &ColumnBrowser::action);
        // The key pressed (or the text typed) in a column, what the browser shows after it and the
        // actions so far. Right on a leaf goes nowhere; typing a name's first letters jumps to it;
        // Return opens it like Right.
        for (const auto &[column, key, typed, after, count] : {
                 std::tuple{0, Qt::Key_Down, "", "[Animals] Plants Readme / Cats Dogs @0", 1},
                 {0, Qt::Key_Down, "", "Animals [Plants] Readme / Trees Fern @0", 2},
                 {0, Qt::Key_Up, "", "[Animals] Plants Readme / Cats Dogs @0", 3},
                 {0, Qt::Key_Right, "", "[Animals] Plants Readme / [Cats] Dogs / Tabby Siamese @1", 4},
                 {1, Qt::Key_Down, "", "[Animals] Plants Readme / Cats [Dogs] / Beagle @1", 5},
                 {1, Qt::Key_Right, "", "[Animals] Plants Readme / Cats [Dogs] / [Beagle] @2", 6},
                 {2, Qt::Key_Right, "", "[Animals] Plants Readme / Cats [Dogs] / [Beagle] @2", 6},
                 {2, Qt::Key_Left, "", "[Animals] Plants Readme / Cats [Dogs] / Beagle @1", 7},
                 {1, Qt::Key_Left, "", "[Animals] Plants Readme / Cats Dogs @0", 8},
                 {0, Qt::Key_Left, "", "[Animals] Plants Readme / Cats Dogs @0", 8},
                 {0, Qt::Key_unknown, "pl", "Animals [Plants] Readme / Trees Fern @0", 9},
                 {0, Qt::Key_Return, "", "Animals [Plants] Readme / [Trees] Fern / Oak @1", 10},
                 {1, Qt::Key_unknown, "f", "Animals [Plants] Readme / Trees [Fern] @1", 11},
             }) {
            if (*typed)
                QTest::keyClicks(browser()->columnView(column), QString::fromLatin1(typed));
            else
                QTest::keyClick(browser()->columnView(column), key);
            QCOMPARE(shown(), QString::fromLatin1(after));
            QCOMPARE(actions.count(), count);
        }
        // Return moved the focus into the column it opened.
        QVERIFY(browser()->columnView(1)->hasFocus());
    }
};

LUMARO_GUI_TEST_MAIN(TestColumnBrowser)
#include "tst_columnbrowser.moc"
