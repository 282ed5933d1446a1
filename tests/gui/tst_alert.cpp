#include "AppTestSupport.h"
#include "GuiTestMain.h"

#include <QMetaEnum>
#include <QPointer>

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

// What a box shows: icon, modality, texts, then our buttons left to right.
QStringList shown(QMessageBox *box)
{
    return QStringList{QMetaEnum::fromType<QMessageBox::Icon>().valueToKey(box->icon()),
                       QMetaEnum::fromType<Qt::WindowModality>().valueToKey(box->windowModality()),
                       box->text(), box->informativeText(), box->detailedText()} +
           titlesLeftToRight(box);
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
        QCOMPARE(seen->parentWidget(), &window);
        QCOMPARE(shown(seen), (QStringList{"Critical", "WindowModal", "Replace 3 assets?",
                                           "They exist on the server.", "", "Upload", "Skip", "Cancel"}));
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

    // The blocking forms: the hook sees the box up, and presses its last button.
    void runModalAndPresentErrorBlockUntilAButtonIsPressed()
    {
        QStringList seen;
        Alert::setTestHook([&](QMessageBox *box) {
            seen = box->isVisible() ? shown(box) : QStringList{QStringLiteral("not shown")};
            buttonTitled(box, titlesLeftToRight(box).constLast())->click();
        });
        const QStringList buttons{QStringLiteral("Keep"), QStringLiteral("Delete")};
        QCOMPARE(
            Alert::runModal(nullptr, Alert::Style::Warning, QStringLiteral("Delete bookmark?"), {}, buttons),
            1);
        QCOMPARE(seen, QStringList({"Warning", "ApplicationModal", "Delete bookmark?", "", ""}) + buttons);
        Alert::presentError(nullptr, QStringLiteral("The upload failed."),
                            QStringLiteral("The server refused it."), QStringLiteral("HTTP 403"));
        QCOMPARE(seen, (QStringList{"Critical", "ApplicationModal", "The upload failed.",
                                    "The server refused it.", "HTTP 403", "OK"}));
        Alert::presentError(nullptr, QStringLiteral("Offline."), QStringLiteral("No route."));
        QCOMPARE(seen, (QStringList{"Critical", "ApplicationModal", "Offline.", "No route.", "", "OK"}));
    }
};

LUMARO_GUI_TEST_MAIN(TestAlert)
#include "tst_alert.moc"
