#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QMessageBox;
class QWidget;

// Message boxes in the application's three forms: a non-blocking sheet over a window, a blocking
// application-modal alert, and an error report. Buttons run left to right in the given order,
// the first being the default; none given means a single "OK".
class Alert {
public:
    enum class Style { Informational, Warning, Critical };

    Alert() = delete;

    // completion gets the index of the button pressed, or 0 when the box closed otherwise.
    // detailedText, when given, is behind the box's "Show Details…" button.
    static void beginSheet(QWidget *window, Style style, const QString &messageText,
                           const QString &informativeText, const QStringList &buttons,
                           std::function<void(int buttonIndex)> completion, const QString &detailedText = {});

    // Blocks in a nested event loop; returns the button index as beginSheet reports it.
    static int runModal(QWidget *parent, Style style, const QString &messageText,
                        const QString &informativeText, const QStringList &buttons);

    // Blocking error alert; underlying goes to the detailed text when given.
    static void presentError(QWidget *parent, const QString &description, const QString &failureReason,
                             const QString &underlying = {});

    // Called with each box once it is up (inside the modal loop for blocking alerts), so tests
    // can read it and press its buttons. Empty to remove.
    static void setTestHook(std::function<void(QMessageBox *)> hook);
};
