#include "session/LMNewCategoryViewController.h"

#include "connection/LMServerConnection.h"
#include "session/LMSessionCategoryViewController.h"
#include "session/LMSessionWindowController.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

LMNewCategoryViewController::LMNewCategoryViewController(QObject *parent) : ViewController(parent) {}

LMNewCategoryViewController::~LMNewCategoryViewController() = default;

LMSessionCategoryViewController *LMNewCategoryViewController::myTarget() const
{
    return m_myTarget;
}

void LMNewCategoryViewController::setTarget(LMSessionCategoryViewController *target)
{
    m_myTarget = target;
}

void LMNewCategoryViewController::loadView()
{
    auto *view = new QWidget;
    view->setObjectName(QStringLiteral("newCategoryView"));
    view->setMinimumWidth(400);

    auto *title = new QLabel(tr("New Category"), view);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);

    m_placeLabel = new QLabel(view);
    m_placeLabel->setObjectName(QStringLiteral("newCategoryPlaceLabel"));
    m_placeLabel->setWordWrap(true);

    m_textNewCategory = new QLineEdit(view);
    m_textNewCategory->setObjectName(QStringLiteral("textNewCategory"));
    m_textNewCategory->setPlaceholderText(tr("Name of the category"));
    // The placeholder is gone once typing starts; the name stays.
    m_textNewCategory->setAccessibleName(tr("Name of the category"));

    auto *buttons = new QDialogButtonBox(view);
    m_cancelButton = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_saveButton = buttons->addButton(tr("Save"), QDialogButtonBox::AcceptRole);
    m_saveButton->setObjectName(QStringLiteral("saveButton"));
    m_saveButton->setDefault(true);
    connect(m_saveButton, &QPushButton::clicked, this, &LMNewCategoryViewController::saveButtonWasClicked);
    connect(m_cancelButton, &QPushButton::clicked, this,
            &LMNewCategoryViewController::cancelButtonWasClicked);

    auto *layout = new QVBoxLayout(view);
    layout->setContentsMargins(20, 18, 20, 14);
    layout->setSpacing(10);
    layout->addWidget(title);
    layout->addWidget(m_placeLabel);
    layout->addWidget(m_textNewCategory);
    layout->addSpacing(4);
    layout->addWidget(buttons);
    setView(view);
}

void LMNewCategoryViewController::viewWillAppear()
{
    static_cast<void>(view()); // loads the interface elements
    // Where the category will go: the connection's selection is its parent.
    QString parentPath;
    if (m_myTarget && m_myTarget->sessionWindow())
        if (const LMServerConnection *connection = m_myTarget->sessionWindow()->serverConnection())
            parentPath = connection->getSelectedCategoryPath();
    m_placeLabel->setText(parentPath.isEmpty() ? tr("The category is created at the top level.")
                                               : tr("The category is created inside %1.").arg(parentPath));
    m_textNewCategory->setFocus(Qt::OtherFocusReason);
}

void LMNewCategoryViewController::saveButtonWasClicked()
{
    // Exactly as typed: the server is the judge of names.
    const QString name = m_textNewCategory ? m_textNewCategory->text() : QString();
    if (m_myTarget)
        m_myTarget->createNewCategory(name);
    dismissController(this);
}

void LMNewCategoryViewController::cancelButtonWasClicked()
{
    dismissController(this);
}
