#include "AppTestSupport.h"
#include "GuiTestMain.h"

#include "platform/widgets/Alert.h"

#include <QAbstractButton>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <algorithm>

namespace {
// Our buttons as laid out on screen, left to right (the box adds its own "Show Details...").
QStringList titlesLeftToRight(QMessageBox *box)
{
    QList<QAbstractButton *> buttons = box->buttons();
    buttons.removeIf([](QAbstractButton *b) { return b->text().contains(QStringLiteral("Details")); });
    std::sort(buttons.begin(), buttons.end(), [box](QAbstractButton *a, QAbstractButton *b) {
        return a->mapTo(box, QPoint()).x() < b->mapTo(box, QPoint()).x();
    });
    QStringList titles;
    for (QAbstractButton *button : buttons)
        titles.append(button->text());
    return titles;
}
} // namespace

using AppTestSupport::buttonTitled;

class TestAlert : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { Alert::setTestHook({}); }

    void sheetIsWindowModalAndReportsTheButtonPressed()
    {
        QMainWindow window;
        window.show();
        QPointer<QMessageBox> seen;
        Alert::setTestHook([&](QMessageBox *box) { seen = box; });
        QList<int> results;
        const auto record = [&](int index) { results.append(index); };
        const QStringList buttons{QStringLiteral("Upload"), QStringLiteral("Skip"), QStringLiteral("Cancel")};
        Alert::beginSheet(&window, Alert::Style::Critical, QStringLiteral("Replace 3 assets?"),
                          QStringLiteral("They exist on the server."), buttons, record);

        // Not blocking: we are back here with the box up.
        QVERIFY(seen && seen->isVisible());
        QCOMPARE(seen->objectName(), QStringLiteral("LumaroAlert"));
        QCOMPARE(seen->windowModality(), Qt::WindowModal);
        QCOMPARE(seen->parentWidget(), &window);
        QCOMPARE(seen->icon(), QMessageBox::Critical);
        QCOMPARE(seen->text(), QStringLiteral("Replace 3 assets?"));
        QCOMPARE(seen->informativeText(), QStringLiteral("They exist on the server."));
        QCOMPARE(titlesLeftToRight(seen), buttons);
        QCOMPARE(seen->defaultButton(), buttonTitled(seen, QStringLiteral("Upload")));
        QVERIFY(results.isEmpty());
        buttonTitled(seen, QStringLiteral("Skip"))->click();
        QCOMPARE(results, QList<int>{1});
        QTRY_VERIFY(seen.isNull());

        // Escape means Cancel; a box closed by other means reports 0; no buttons means one "OK".
        Alert::beginSheet(&window, Alert::Style::Warning, QStringLiteral("Stop?"), {}, buttons, record);
        QTest::keyClick(seen, Qt::Key_Escape);
        Alert::beginSheet(&window, Alert::Style::Informational, QStringLiteral("Done"), {}, buttons, record);
        seen->done(0);
        Alert::beginSheet(&window, Alert::Style::Informational, QStringLiteral("Saved"), {}, {}, record);
        QCOMPARE(titlesLeftToRight(seen), QStringList{QStringLiteral("OK")});
        QTest::keyClick(seen, Qt::Key_Escape);
        QCOMPARE(results, (QList<int>{1, 2, 0, 0}));
    }

    void runModalBlocksUntilAButtonIsPressed()
    {
        QStringList shown;
        bool applicationModal = false;
        Alert::setTestHook([&](QMessageBox *box) {
            shown = titlesLeftToRight(box);
            applicationModal = box->isVisible() && box->windowModality() == Qt::ApplicationModal;
            buttonTitled(box, QStringLiteral("Delete"))->click();
        });
        const QStringList buttons{QStringLiteral("Keep"), QStringLiteral("Delete")};
        QCOMPARE(
            Alert::runModal(nullptr, Alert::Style::Warning, QStringLiteral("Delete bookmark?"), {}, buttons),
            1);
        QCOMPARE(shown, buttons);
        QVERIFY(applicationModal);
    }

    void presentErrorShowsDescriptionReasonAndDetails()
    {
        QStringList seen;
        Alert::setTestHook([&](QMessageBox *box) {
            seen = QStringList{box->text(), box->informativeText(), box->detailedText()} +
                   titlesLeftToRight(box);
            QCOMPARE(box->icon(), QMessageBox::Critical);
            buttonTitled(box, QStringLiteral("OK"))->click();
        });
        Alert::presentError(nullptr, QStringLiteral("The upload failed."),
                            QStringLiteral("The server refused it."), QStringLiteral("HTTP 403"));
        QCOMPARE(seen, (QStringList{"The upload failed.", "The server refused it.", "HTTP 403", "OK"}));
        Alert::presentError(nullptr, QStringLiteral("Offline."), QStringLiteral("No route."));
        QCOMPARE(seen, (QStringList{"Offline.", "No route.", "", "OK"}));
    }
};

LUMARO_GUI_TEST_MAIN(TestAlert)
#include "tst_alert.moc"
