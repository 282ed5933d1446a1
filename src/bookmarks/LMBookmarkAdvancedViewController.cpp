#include "bookmarks/LMBookmarkAdvancedViewController.h"

#include "app/AppDelegate.h"
#include "platform/widgets/RecordFieldBinding.h"
#include "store/ObjectContext.h"
#include "store/ServerBookmark.h"
#include "store/UndoManager.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

LMBookmarkAdvancedViewController::LMBookmarkAdvancedViewController(QObject *parent) : ViewController(parent)
{
}

LMBookmarkAdvancedViewController::~LMBookmarkAdvancedViewController() = default;

ObjectContext *LMBookmarkAdvancedViewController::managedObjectContext()
{
    return m_context.get();
}

void LMBookmarkAdvancedViewController::setBookmark(ServerBookmark *bookmark)
{
    disconnect(m_bookmarkConnection);
    m_bookmark = bookmark;
    if (bookmark)
        m_bookmarkConnection = connect(bookmark, &ServerBookmark::fieldChanged, this,
                                       &LMBookmarkAdvancedViewController::updateAddress);
    for (const QPointer<RecordFieldBinding> &binding : std::as_const(m_bindings)) {
        if (binding)
            binding->setRecord(bookmark);
    }
    updateAddress();
}

void LMBookmarkAdvancedViewController::loadView()
{
    auto *root = new QWidget;
    root->setObjectName(QStringLiteral("BookmarkAdvancedView"));
    root->setMinimumWidth(420);
    auto *layout = new QVBoxLayout(root);

    auto *title = new QLabel(tr("Advanced connection settings"), root);
    QFont titleFont = title->font();
    titleFont.setBold(true);
    title->setFont(titleFont);
    layout->addWidget(title);

    auto *form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    m_appTextField = new QLineEdit(root);
    m_appTextField->setObjectName(QStringLiteral("AppTextField"));
    m_appTextField->setPlaceholderText(ServerBookmark::DefaultApplicationPath);
    m_portTextField = new QSpinBox(root);
    m_portTextField->setObjectName(QStringLiteral("PortTextField"));
    m_portTextField->setRange(1, 65535);
    m_portTextField->setGroupSeparatorShown(false);
    m_portTextField->setMinimumWidth(100);
    m_sslTextField = new QCheckBox(tr("Use a &secure connection (HTTPS)"), root);
    m_sslTextField->setObjectName(QStringLiteral("SSLTextField"));
    auto *portRow = new QHBoxLayout;
    portRow->addWidget(m_portTextField);
    portRow->addStretch();
    form->addRow(tr("Application &path:"), m_appTextField);
    form->addRow(tr("P&ort:"), portRow);
    form->addRow(QString(), m_sslTextField);
    m_addressLabel = new QLabel(root);
    m_addressLabel->setObjectName(QStringLiteral("addressLabel"));
    m_addressLabel->setEnabled(false);
    m_addressLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(tr("Address:"), m_addressLabel);
    layout->addLayout(form);
    layout->addSpacing(8);

    m_bindings = {RecordFieldBinding::bind(m_appTextField, ServerBookmark::kApplicationNameURL, m_bookmark),
                  RecordFieldBinding::bind(m_portTextField, ServerBookmark::kPortNumber, m_bookmark),
                  RecordFieldBinding::bind(m_sslTextField, ServerBookmark::kSecureConnect, m_bookmark)};

    auto *buttons = new QHBoxLayout;
    m_cancelButton = new QPushButton(tr("Cancel"), root);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_saveButton = new QPushButton(tr("&Done"), root);
    m_saveButton->setObjectName(QStringLiteral("saveButton"));
    m_saveButton->setDefault(true);
    buttons->addStretch();
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_saveButton);
    layout->addLayout(buttons);

    connect(m_cancelButton, &QPushButton::clicked, this,
            &LMBookmarkAdvancedViewController::cancelButtonClicked);
    connect(m_saveButton, &QPushButton::clicked, this, &LMBookmarkAdvancedViewController::saveButtonClicked);

    setView(root);
    updateAddress();
}

void LMBookmarkAdvancedViewController::updateAddress()
{
    if (m_addressLabel)
        m_addressLabel->setText(m_bookmark ? m_bookmark->urlString() : QString());
}

void LMBookmarkAdvancedViewController::detachFields(bool commitFirst)
{
    for (const QPointer<RecordFieldBinding> &binding : std::as_const(m_bindings)) {
        if (!binding)
            continue;
        if (commitFirst)
            binding->commit();
        binding->setRecord(nullptr);
    }
}

// The edits stay in the context for the editor's Save or Cancel.
void LMBookmarkAdvancedViewController::saveButtonClicked()
{
    if (m_finished)
        return;
    m_finished = true;
    detachFields(true);
    dismissController(this);
}

void LMBookmarkAdvancedViewController::cancelButtonClicked()
{
    if (m_finished)
        return;
    m_finished = true;
    detachFields(true);
    ObjectContext *context = m_bookmark ? m_bookmark->managedObjectContext() : nullptr;
    if (context && m_bookmark->hasChanges() && context->undoManager()->undoCount() > m_undoBaseline)
        context->undoManager()->undo();
    dismissController(this);
}
