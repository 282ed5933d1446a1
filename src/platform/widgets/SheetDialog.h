#pragma once

#include <QDialog>

// The window-modal dialog that carries a sheet. Escape and the window system cannot close it:
// a sheet goes away only when its controller is dismissed, so the controller never outlives a
// hidden sheet or loses one it still considers presented.
class SheetDialog : public QDialog {
    Q_OBJECT
public:
    // Takes content into its layout; content stays owned by whoever owned it (its controller).
    SheetDialog(QWidget *parent, QWidget *content);
    SheetDialog(const SheetDialog &) = delete;
    SheetDialog &operator=(const SheetDialog &) = delete;
    ~SheetDialog() override;

    [[nodiscard]] QWidget *content() const { return m_content; }

    // Closes the sheet and hands the content back out of the dialog, hidden and parentless.
    void dismiss();

    void done(int result) override;

private:
    QWidget *m_content = nullptr;
    bool m_dismissing = false;
};
