#pragma once

#include <QMainWindow>
#include <QPointer>

class WindowController;

// The top-level window of a WindowController; forwards the events its controller decides on.
class ControlledWindow final : public QMainWindow {
    Q_OBJECT
public:
    explicit ControlledWindow(WindowController *controller);
    ControlledWindow(const ControlledWindow &) = delete;
    ControlledWindow &operator=(const ControlledWindow &) = delete;
    ~ControlledWindow() override;

    [[nodiscard]] WindowController *controller() const { return m_controller; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QPointer<WindowController> m_controller;
};
