#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

class SheetDialog;
class Storyboard;
struct Segue;

// Owns one view, loaded lazily, and presents other controllers as sheets or through segues.
class ViewController : public QObject {
    Q_OBJECT
public:
    explicit ViewController(QObject *parent = nullptr);
    ViewController(const ViewController &) = delete;
    ViewController &operator=(const ViewController &) = delete;
    ViewController(ViewController &&) = delete;
    ViewController &operator=(ViewController &&) = delete;
    ~ViewController() override;

    // Loads on first use: loadView(), then viewDidLoad().
    [[nodiscard]] QWidget *view();
    [[nodiscard]] bool isViewLoaded() const { return !m_view.isNull(); }
    // The top-level widget holding the view; null while unloaded or not placed in any window.
    [[nodiscard]] QWidget *window() const;

    // Segues resolve here; Storyboard::main() unless set.
    void setStoryboard(Storyboard *storyboard);
    [[nodiscard]] Storyboard *storyboard() const;

    // Non-blocking window-modal sheet over this view's window. This controller takes ownership
    // of sheet until it is dismissed.
    void presentAsSheet(ViewController *sheet);
    // Closes sheet's dialog and deletes sheet later. dismissController(this) from inside a sheet
    // asks its presenter; repeated calls do nothing.
    void dismissController(ViewController *sheet);
    [[nodiscard]] ViewController *presentingViewController() const { return m_presenting; }
    [[nodiscard]] QList<ViewController *> presentedViewControllers() const;

    void performSegue(const QString &identifier, QObject *sender = nullptr);
    virtual bool shouldPerformSegue(const QString &identifier, QObject *sender);
    virtual void prepareForSegue(Segue &segue, QObject *sender);

    // Each time the view is about to become visible: as window content, as a sheet, or when the
    // window holding it is shown.
    virtual void viewWillAppear();

protected:
    // Must leave a view set through setView(); the default is an empty widget.
    virtual void loadView();
    virtual void viewDidLoad();
    void setView(QWidget *view);

private:
    QPointer<QWidget> m_view;
    bool m_loading = false;
    Storyboard *m_storyboard = nullptr;
    QPointer<ViewController> m_presenting;
    QPointer<SheetDialog> m_sheet;
    QList<QPointer<ViewController>> m_presented;
};
