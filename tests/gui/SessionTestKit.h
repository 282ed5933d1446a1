#pragma once

// Shared by the session window tests: bookmarks pointing at a DevServer, sessions opened from a
// private storyboard, clicks on the category browser, alerts caught as they come up.

#include "AppTestSupport.h"
#include "DevServer.h"

#include "connection/LMServerConnection.h"
#include "platform/NotificationCenter.h"
#include "platform/widgets/ColumnBrowser.h"
#include "platform/widgets/Storyboard.h"
#include "session/LMNewCategoryViewController.h"
#include "session/LMSessionCategoryViewController.h"
#include "session/LMSessionInitialViewController.h"
#include "session/LMSessionUploadViewController.h"
#include "session/LMSessionWindowController.h"
#include "session/SessionStoryboard.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include <memory>
#include <variant>

namespace SessionTestKit {

using namespace Qt::StringLiterals;

inline constexpr int kTimeout = 15000;

// A bookmark for the server's default login, saved so a reopened store sees it.
inline ServerBookmark *makeBookmark(ObjectContext *context, quint16 port, const QString &appPath,
                                    const QString &name = QStringLiteral("Dev Server"))
{
    ServerBookmark *bookmark = context->insertBookmark();
    bookmark->setBookmarkName(name);
    bookmark->setHostName(QStringLiteral("127.0.0.1"));
    bookmark->setSecureConnect(false);
    bookmark->setPortNumber(port);
    bookmark->setApplicationNameURL(appPath);
    bookmark->setUserName(QStringLiteral("admin"));
    bookmark->setPassword(QStringLiteral("lumaro"));
    context->save();
    return bookmark;
}

inline ServerBookmark *makeBookmark(ObjectContext *context, const DevServer &server,
                                    const QString &name = QStringLiteral("Dev Server"))
{
    return makeBookmark(context, server.port(), server.appPath(), name);
}

// Closes as a menu command would (not the close button) and waits until the session is gone.
inline bool closeSession(QPointer<LMSessionWindowController> &session)
{
    if (session)
        session->close();
    return QTest::qWaitFor([&] { return session.isNull(); }, kTimeout);
}

inline ServerBookmark *findBookmark(const ObjectContext &context, qint64 objectId)
{
    for (ServerBookmark *bookmark : context.fetchAllBookmarks())
        if (bookmark->objectId() == objectId)
            return bookmark;
    return nullptr;
}

// As the bookmarks window does it: created from the storyboard, bookmark set, window shown.
inline LMSessionWindowController *openSession(Storyboard &storyboard, ServerBookmark *bookmark,
                                              bool show = true)
{
    auto *session =
        storyboard.instantiate<LMSessionWindowController>(LMSessionWindowController::StoryboardIdentifier);
    if (!session)
        return nullptr;
    session->setStoryboard(&storyboard);
    session->setConnectionBookmark(bookmark);
    if (show)
        session->showWindow();
    return session;
}

// "METHOD /ra/resource" of every request the server saw, oldest first.
inline QStringList requestLines(const DevServer &server)
{
    QStringList lines;
    for (const QJsonObject &request : server.requests())
        lines.append(request.value(QLatin1String("method")).toString() + QLatin1Char(' ') +
                     request.value(QLatin1String("resource")).toString());
    return lines;
}

inline QStringList columnTexts(const ColumnBrowser *browser, int column)
{
    QStringList texts;
    if (const QAbstractItemView *view = browser->columnView(column))
        for (int row = 0; row < view->model()->rowCount(); ++row)
            texts.append(view->model()->index(row, 0).data().toString());
    return texts;
}

// Every open column's rows, selected ones in brackets, then the selected column:
// "[Animals] Plants Readme / Cats [Dogs] / Beagle @1".
inline QString shown(const ColumnBrowser *browser)
{
    QStringList columns;
    for (int column = 0; column < browser->columnCount(); ++column) {
        QStringList texts = columnTexts(browser, column);
        for (const int row : browser->selectedRowsInColumn(column))
            texts[row] = u'[' + texts.value(row) + u']';
        columns.append(texts.join(u' '));
    }
    return columns.join(" / "_L1) + u" @"_s + QString::number(browser->selectedColumn());
}

// Waits for the row to be laid out, then clicks its centre as a user would.
inline bool clickRow(ColumnBrowser *browser, int row, int column, Qt::KeyboardModifiers modifiers = {})
{
    QAbstractItemView *view = browser->columnView(column);
    if (!view || row < 0 || !QTest::qWaitFor([&] {
            return view->viewport()->rect().contains(browser->visualRectOfRow(row, column).center());
        }))
        return false;
    QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers,
                      browser->visualRectOfRow(row, column).center());
    return true;
}

inline bool clickRow(ColumnBrowser *browser, int column, const QString &text)
{
    return clickRow(browser, int(columnTexts(browser, column).indexOf(text)), column);
}

// Load complete: nothing walking, nothing asked, the label cleared.
inline bool isIdle(const LMSessionCategoryViewController *view)
{
    return view->setCategoryButton() && view->setCategoryButton()->isEnabled() &&
           view->categoryBrowser()->isEnabled() && view->loadingCategoryLabel()->text().isEmpty() &&
           view->currentPathLevel() == -1 && view->targetPathLevel() == -1;
}

inline bool waitUntilIdle(const LMSessionCategoryViewController *view)
{
    return QTest::qWaitFor([view] { return isIdle(view); }, kTimeout);
}

// Clicks the row as a user would and waits until the level below it is in.
inline bool pick(const LMSessionCategoryViewController *view, int column, const QString &text)
{
    return clickRow(view->categoryBrowser(), column, text) && waitUntilIdle(view);
}

// The new-category sheet the view's button brings up, with the name typed into it.
inline LMNewCategoryViewController *openSheet(LMSessionCategoryViewController *view, const QString &name)
{
    view->newCategoryButton()->click();
    const QList<ViewController *> sheets = view->presentedViewControllers();
    auto *sheet = sheets.size() == 1 ? qobject_cast<LMNewCategoryViewController *>(sheets[0]) : nullptr;
    if (sheet)
        QTest::keyClicks(sheet->textNewCategory(), name);
    return sheet;
}

inline bool waitForContent(const LMSessionWindowController *session, const ViewController *view)
{
    return QTest::qWaitFor([=] { return view && session->contentViewController() == view; }, kTimeout);
}

inline qint64 recordId(const std::optional<QJsonObject> &record)
{
    return record ? record->value(QLatin1String("id")).toInteger(-1) : -1;
}

// Written where a person can look at it: <build>/screenshots/<name>.png.
using AppTestSupport::saveScreenshot;

// Catches every alert box as it comes up; they stay open until a test presses a button.
class AlertCatcher {
public:
    AlertCatcher()
    {
        Alert::setTestHook([this](QMessageBox *box) { m_boxes.append(box); });
    }
    ~AlertCatcher() { Alert::setTestHook({}); }
    AlertCatcher(const AlertCatcher &) = delete;
    AlertCatcher &operator=(const AlertCatcher &) = delete;

    [[nodiscard]] int count() const { return int(m_boxes.size()); }
    [[nodiscard]] QMessageBox *last() const
    {
        return m_boxes.isEmpty() ? nullptr : m_boxes.constLast().data();
    }
    bool waitForAlert(int count = 1) const
    {
        return QTest::qWaitFor([&] { return m_boxes.size() >= count && m_boxes.constLast(); }, kTimeout);
    }
    // The buttons the alert offers to the user.
    [[nodiscard]] static QList<QAbstractButton *> userButtons(QMessageBox *box)
    {
        QList<QAbstractButton *> buttons = box->buttons();
        buttons.removeIf([box](QAbstractButton *b) { return box->buttonRole(b) != QMessageBox::ActionRole; });
        return buttons;
    }

private:
    QList<QPointer<QMessageBox>> m_boxes;
};

} // namespace SessionTestKit
