#pragma once

#include <QObject>
#include <QString>

// One transition between controllers, handed to prepareForSegue so the source can configure the
// destination before it is presented.
struct Segue {
    enum class Kind {
        Sheet,  // destination is a ViewController shown as a window-modal sheet over the source
        Window, // destination is a WindowController whose window is shown
    };

    QString identifier;
    QObject *source = nullptr;
    QObject *destination = nullptr;
    Kind kind = Kind::Sheet;

    // The destination as the controller type the source expects, or null.
    template <typename T> [[nodiscard]] T *destinationController() const
    {
        return qobject_cast<T *>(destination);
    }
};
