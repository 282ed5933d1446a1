#pragma once

#include "platform/widgets/ViewController.h"

#include <QPointer>
#include <QString>

class LMSessionCategoryViewController;
class QLabel;
class QLineEdit;
class QPushButton;

// The sheet that asks for the name of a category to create below the browser's selection. The
// name goes to the category browser exactly as typed; the server decides what it accepts.
class LMNewCategoryViewController : public ViewController {
    Q_OBJECT
public:
    static inline const QString StoryboardIdentifier = QStringLiteral("NewCategoryView");

    explicit LMNewCategoryViewController(QObject *parent = nullptr);
    ~LMNewCategoryViewController() override;

    [[nodiscard]] LMSessionCategoryViewController *myTarget() const;
    // Receives the name on Save.
    void setTarget(LMSessionCategoryViewController *target);

    // Interface elements; null until the view is loaded.
    [[nodiscard]] QLineEdit *textNewCategory() const { return m_textNewCategory; }
    [[nodiscard]] QPushButton *saveButton() const { return m_saveButton; }
    [[nodiscard]] QPushButton *cancelButton() const { return m_cancelButton; }

    void viewWillAppear() override;

public slots:
    void saveButtonWasClicked();
    void cancelButtonWasClicked();

protected:
    void loadView() override;

private:
    QPointer<LMSessionCategoryViewController> m_myTarget;
    QLineEdit *m_textNewCategory = nullptr;
    QLabel *m_placeLabel = nullptr;
    QPushButton *m_saveButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
};
