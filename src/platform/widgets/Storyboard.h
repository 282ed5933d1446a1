#pragma once

#include "platform/widgets/Segue.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

// Registry of controller factories and segues by identifier. The application fills the main
// storyboard at start-up; tests build their own so they never share state.
class Storyboard {
public:
    using Factory = std::function<QObject *()>;

    explicit Storyboard(const QString &name);
    Storyboard(const Storyboard &) = delete;
    Storyboard &operator=(const Storyboard &) = delete;
    Storyboard(Storyboard &&) = delete;
    Storyboard &operator=(Storyboard &&) = delete;
    ~Storyboard();

    // The storyboard "Main".
    [[nodiscard]] static Storyboard &main();

    [[nodiscard]] QString name() const { return m_name; }

    void registerController(const QString &identifier, Factory factory);
    [[nodiscard]] bool hasController(const QString &identifier) const;
    // Null with a warning for an unknown identifier; the caller owns the result.
    [[nodiscard]] QObject *instantiateController(const QString &identifier) const;

    // Null when unknown or not a T; a controller of the wrong type is deleted.
    template <typename T> [[nodiscard]] T *instantiate(const QString &identifier) const
    {
        QObject *object = instantiateController(identifier);
        auto *typed = qobject_cast<T *>(object);
        if (object && !typed)
            discardMistyped(object, identifier, T::staticMetaObject.className());
        return typed;
    }

    void registerSegue(const QString &segueIdentifier, const QString &destinationIdentifier,
                       Segue::Kind kind);
    [[nodiscard]] bool hasSegue(const QString &segueIdentifier) const;
    [[nodiscard]] QString segueDestination(const QString &segueIdentifier) const;

    // The whole transition from a ViewController or WindowController source: look the segue up,
    // ask the source, instantiate and prepare the destination, present it. An unknown segue or a
    // destination of the wrong kind only logs.
    void performSegue(const QString &segueIdentifier, QObject *source, QObject *sender) const;

private:
    struct SegueEntry {
        QString destination;
        Segue::Kind kind;
    };

    static void discardMistyped(QObject *object, const QString &identifier, const char *expected);
    [[nodiscard]] std::optional<Segue> makeSegue(const QString &segueIdentifier, QObject *source) const;
    static void present(const Segue &segue);

    QString m_name;
    QHash<QString, Factory> m_factories;
    QHash<QString, SegueEntry> m_segues;
};
