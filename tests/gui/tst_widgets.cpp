#include "AppTestSupport.h"
#include "GuiTestMain.h"

#include "platform/widgets/SheetDialog.h"
#include "platform/widgets/Storyboard.h"
#include "platform/widgets/ViewController.h"
#include "platform/widgets/WindowController.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMetaEnum>
#include <QPointer>
#include <QSignalSpy>
#include <QWindow>

#include <algorithm>

using AppTestSupport::buttonTitled;

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

class ProbeViewController : public ViewController {
    Q_OBJECT
public:
    using ViewController::ViewController;

    QString name = QStringLiteral("probe");
    int loads = 0;
    int appearances = 0;
    bool allowSegues = true;
    QStringList prepared;

    [[nodiscard]] QString text() { return qobject_cast<QLabel *>(view())->text(); }

    void viewWillAppear() override { ++appearances; }
    bool shouldPerformSegue(const QString &, QObject *) override { return allowSegues; }
    void prepareForSegue(Segue &segue, QObject *sender) override
    {
        prepared.append(segue.identifier);
        QCOMPARE(segue.source, this);
        QCOMPARE(sender, this);
        // Configured before presentation: the destination's view is not loaded yet.
        if (auto *sheet = segue.destinationController<ProbeViewController>())
            sheet->name = QStringLiteral("prepared sheet");
    }

protected:
    void loadView() override { setView(new QLabel(name)); }
    void viewDidLoad() override { ++loads; }
};

class ProbeWindowController : public WindowController {
    Q_OBJECT
public:
    using WindowController::WindowController;

    int loads = 0;
    int willClose = 0;
    bool visibleAtWillClose = false;
    QStringList prepared;

    void prepareForSegue(Segue &segue, QObject *) override { prepared.append(segue.identifier); }

protected:
    void windowDidLoad() override
    {
        ++loads;
        window()->resize(300, 200);
    }
    void windowWillClose() override
    {
        ++willClose;
        visibleAtWillClose = window()->isVisible();
    }
};

// The window, view and alert building blocks under every window of the application.
class TestWidgets : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { Alert::setTestHook({}); }

    void contentSwitchKeepsViewsAndAnnouncesAppearance()
    {
        ProbeWindowController wc;
        auto *first = new ProbeViewController;
        first->name = QStringLiteral("first");
        QPointer<ProbeViewController> second = new ProbeViewController(this);

        // Window and view load when first needed, and once.
        wc.setContentViewController(first);
        QVERIFY(!wc.isWindowLoaded());
        QVERIFY(!first->isViewLoaded());
        QCOMPARE(first->parent(), &wc); // adopted: nobody else owned it
        QCOMPARE(first->appearances, 0);
        wc.showWindow();
        wc.showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(wc.window()));
        QCOMPARE(wc.loads, 1);
        QCOMPARE(first->appearances, 1);
        QCOMPARE(wc.window()->centralWidget(), first->view());
        QCOMPARE(first->window(), wc.window());

        QPointer<QWidget> firstView = first->view();
        wc.setContentViewController(second);
        QCOMPARE(second->parent(), this);
        QCOMPARE(wc.contentViewController(), second.data());
        QCOMPARE(second->appearances, 1);
        QVERIFY(second->view()->isVisible());
        QVERIFY(firstView);
        QVERIFY(!firstView->isVisible());
        QCOMPARE(first->window(), nullptr); // loaded but in no window

        wc.setContentViewController(first);
        QCOMPARE(first->appearances, 2);
        QCOMPARE(wc.window()->centralWidget(), firstView.data());
        QVERIFY(firstView->isVisible());
        QCOMPARE(first->loads, 1);
        QCOMPARE(first->text(), QStringLiteral("first"));
        QVERIFY(!second->view()->isVisible());

        // Showing the window again is another appearance of its content only.
        wc.close();
        wc.showWindow();
        QCOMPARE(first->appearances, 3);
        QCOMPARE(second->appearances, 1);
    }

    void windowWillCloseRunsOncePerClose()
    {
        ProbeWindowController wc;
        QSignalSpy closed(&wc, &WindowController::closed);
        wc.close(); // never loaded: nothing to do
        QVERIFY(!wc.isWindowLoaded());

        // A close button handler is asked instead of every close but the programmatic one.
        int asked = 0;
        wc.setCloseButtonHandler([&] { ++asked; });
        wc.showWindow();
        QCloseEvent event;
        QApplication::sendEvent(wc.window(), &event);
        QVERIFY(!event.isAccepted());
        wc.window()->windowHandle()->close(); // as the window system does for the title-bar button
        wc.window()->close();
        QCOMPARE(asked, 3);
        QVERIFY(wc.window()->isVisible());
        QCOMPARE(wc.willClose, 0);

        // The usual handler confirms, then closes for real.
        wc.setCloseButtonHandler([&] {
            ++asked;
            wc.close();
        });
        wc.window()->windowHandle()->close();
        QTRY_VERIFY(!wc.window()->isVisible());
        QCOMPARE(asked, 4);
        QCOMPARE(wc.willClose, 1);
        QVERIFY(wc.visibleAtWillClose);
        QTRY_COMPARE(closed.count(), 1);

        // Without a handler any close is a close, once however often it is asked.
        wc.setCloseButtonHandler({});
        wc.showWindow();
        wc.close();
        QVERIFY(!wc.window()->isVisible());
        wc.close();
        QCloseEvent late;
        QApplication::sendEvent(wc.window(), &late);
        QCOMPARE(wc.willClose, 2);
        QVERIFY(wc.visibleAtWillClose);
        QTRY_COMPARE(closed.count(), 2);
        wc.showWindow();
        wc.window()->windowHandle()->close();
        QVERIFY(!wc.window()->isVisible());
        QCOMPARE(wc.willClose, 3);
        QTRY_COMPARE(closed.count(), 3);
    }

    void frameAutosaveRestoresInTheNextWindow()
    {
        const QRect frame(60, 70, 420, 310);
        {
            ProbeWindowController wc;
            wc.setFrameAutosaveName(QStringLiteral("Inspector"));
            wc.showWindow();
            QVERIFY(QTest::qWaitForWindowExposed(wc.window()));
            wc.window()->setGeometry(frame);
            QTRY_COMPARE(wc.window()->geometry(), frame);
            wc.close();
        }
        QVERIFY(QSettings().contains(QStringLiteral("WindowFrames/Inspector")));

        // Restored over the size windowDidLoad() gives every new window.
        ProbeWindowController again;
        again.setFrameAutosaveName(QStringLiteral("Inspector"));
        QCOMPARE(again.window()->geometry(), frame);

        // Another name is another frame, saved as it changes and restored into a loaded window.
        ProbeWindowController other;
        other.setFrameAutosaveName(QStringLiteral("Browser"));
        QCOMPARE(other.window()->size(), QSize(300, 200));
        other.showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(other.window()));
        other.window()->setGeometry(QRect(30, 40, 350, 250));
        QTRY_COMPARE(other.window()->geometry(), QRect(30, 40, 350, 250));
        ProbeWindowController reader;
        QVERIFY(reader.window());
        reader.setFrameAutosaveName(QStringLiteral("Browser"));
        QCOMPARE(reader.window()->geometry(), QRect(30, 40, 350, 250));
    }

    void sheetAndWindowSegues()
    {
        Storyboard storyboard(QStringLiteral("Test"));
        storyboard.registerController(QStringLiteral("sheet"), [] { return new ProbeViewController; });
        storyboard.registerSegue(QStringLiteral("showSheet"), QStringLiteral("sheet"), Segue::Kind::Sheet);
        ProbeWindowController wc;
        auto *presenter = new ProbeViewController;
        presenter->setStoryboard(&storyboard);
        wc.setContentViewController(presenter);
        wc.showWindow();

        presenter->allowSegues = false;
        presenter->performSegue(QStringLiteral("showSheet"), presenter);
        QVERIFY(presenter->prepared.isEmpty());
        QVERIFY(wc.window()->findChildren<SheetDialog *>().isEmpty());

        presenter->allowSegues = true;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("no segue.*nowhere")));
        presenter->performSegue(QStringLiteral("nowhere"), presenter);
        QVERIFY(presenter->prepared.isEmpty());

        presenter->performSegue(QStringLiteral("showSheet"), presenter);
        QCOMPARE(presenter->prepared, QStringList{QStringLiteral("showSheet")});
        QCOMPARE(presenter->presentedViewControllers().size(), 1);
        QPointer<ProbeViewController> sheet =
            qobject_cast<ProbeViewController *>(presenter->presentedViewControllers().constFirst());
        QVERIFY(sheet);
        QCOMPARE(sheet->presentingViewController(), presenter);
        QCOMPARE(sheet->appearances, 1);
        QCOMPARE(sheet->text(), QStringLiteral("prepared sheet"));
        QPointer<QDialog> dialog = qobject_cast<QDialog *>(sheet->window());
        QVERIFY(dialog);
        QCOMPARE(dialog->parentWidget(), wc.window());
        QCOMPARE(dialog->windowModality(), Qt::WindowModal);
        QVERIFY(dialog->isVisible());

        // Only dismissal closes a sheet, once however often it is asked.
        QTest::keyClick(dialog, Qt::Key_Escape);
        dialog->close();
        QVERIFY(dialog->isVisible());
        sheet->dismissController(sheet);
        sheet->dismissController(sheet);
        presenter->dismissController(sheet);
        QVERIFY(!dialog->isVisible());
        QVERIFY(presenter->presentedViewControllers().isEmpty());
        QTRY_VERIFY(sheet.isNull() && dialog.isNull());

        // A window controller presents over its content; a presenter that goes takes its sheet.
        wc.setStoryboard(&storyboard);
        wc.performSegue(QStringLiteral("showSheet"));
        QCOMPARE(wc.prepared, QStringList{QStringLiteral("showSheet")});
        QCOMPARE(presenter->presentedViewControllers().size(), 1);
        QPointer<ViewController> second = presenter->presentedViewControllers().constFirst();
        QVERIFY(second->window()->isVisible());
        QPointer<QWidget> secondDialog = second->window();
        delete presenter;
        QVERIFY(second.isNull());
        QVERIFY(!secondDialog || !secondDialog->isVisible());

        // A window segue opens a window controller the source owns.
        QPointer<ProbeWindowController> made;
        storyboard.registerController(QStringLiteral("prefs"),
                                      [&made] { return made = new ProbeWindowController; });
        storyboard.registerSegue(QStringLiteral("showPrefs"), QStringLiteral("prefs"), Segue::Kind::Window);
        storyboard.registerSegue(QStringLiteral("broken"), QStringLiteral("missing"), Segue::Kind::Window);
        storyboard.registerSegue(QStringLiteral("mismatched"), QStringLiteral("sheet"), Segue::Kind::Window);
        QVERIFY(!storyboard.hasSegue(QStringLiteral("prefs")));

        ProbeViewController source;
        source.setStoryboard(&storyboard);
        source.performSegue(QStringLiteral("showPrefs"), &source);
        QVERIFY(made);
        QCOMPARE(source.prepared, QStringList{QStringLiteral("showPrefs")});
        QCOMPARE(made->parent(), &source);
        QCOMPARE(made->storyboard(), &storyboard);
        QVERIFY(made->window()->isVisible());

        // Unknown and mistyped destinations log and leave nothing behind.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("no controller.*missing")));
        source.performSegue(QStringLiteral("broken"), &source);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("does not lead to a window")));
        source.performSegue(QStringLiteral("mismatched"), &source);
        QCOMPARE(source.children().size(), 1);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("not a WindowController")));
        QCOMPARE(storyboard.instantiate<WindowController>(QStringLiteral("sheet")), nullptr);
        std::unique_ptr<ProbeViewController> typed(
            storyboard.instantiate<ProbeViewController>(QStringLiteral("sheet")));
        QVERIFY(typed);
    }

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

LUMARO_GUI_TEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
