#include "bookmarks/LMBookmarkAdvancedViewController.h"

#include "bookmarks/BookmarkForm.h"
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

LMBookmarkAdvancedViewController::LMBookmarkAdvancedViewController(QObject *parent)
    : ViewController(parent), m_form(new BookmarkForm(this))
{
}

LMBookmarkAdvancedViewController::~LMBookmarkAdvancedViewController() = default;

void LMBookmarkAdvancedViewController::setBookmark(ServerBookmark *bookmark)
{
    m_bookmark = bookmark;
    m_form->setBookmark(bookmark);
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
    m_askPasswordCheckBox = new QCheckBox(tr("As&k for the password when connecting"), root);
    m_askPasswordCheckBox->setObjectName(QStringLiteral("askPasswordCheckBox"));
    m_askPasswordCheckBox->setToolTip(tr("Nothing is kept: each session asks, and forgets the password when it ends"));
    // Files only: a person can keep working on the same line while a batch runs.
    m_uploadSpeedLimitField = new QDoubleSpinBox(root);
    m_uploadSpeedLimitField->setObjectName(QStringLiteral("uploadSpeedLimitField"));
    m_uploadSpeedLimitField->setRange(0, 100000);
    m_uploadSpeedLimitField->setDecimals(1);
    m_uploadSpeedLimitField->setSingleStep(0.5);
    m_uploadSpeedLimitField->setSuffix(tr(" MB/s"));
    m_uploadSpeedLimitField->setSpecialValueText(tr("No limit"));
    m_uploadSpeedLimitField->setGroupSeparatorShown(false);
    m_uploadSpeedLimitField->setMinimumWidth(120);
    m_uploadSpeedLimitField->setToolTip(tr("The most the files of a batch may take of the line"));
    auto *portRow = new QHBoxLayout;
    portRow->addWidget(m_portTextField);
    portRow->addStretch();
    form->addRow(tr("Application &path:"), m_appTextField);
    // The label names the spin box itself (not its row), for Alt+O and for screen readers.
    auto *portLabel = new QLabel(tr("P&ort:"), root);
    portLabel->setBuddy(m_portTextField);
    form->addRow(portLabel, portRow);
    form->addRow(QString(), m_sslTextField);
    form->addRow(QString(), m_askPasswordCheckBox);
    auto *limitRow = new QHBoxLayout;
    limitRow->addWidget(m_uploadSpeedLimitField);
    limitRow->addStretch();
    auto *limitLabel = new QLabel(tr("&Limit upload speed:"), root);
    limitLabel->setBuddy(m_uploadSpeedLimitField);
    form->addRow(limitLabel, limitRow);
    // A file the server cannot have received goes again by itself, for this long.
    m_retryMinutesField = new QSpinBox(root);
    m_retryMinutesField->setObjectName(QStringLiteral("retryMinutesField"));
    m_retryMinutesField->setRange(0, 24 * 60);
    m_retryMinutesField->setSuffix(tr(" min"));
    //: Failed uploads are not sent again
    m_retryMinutesField->setSpecialValueText(tr("Off"));
    m_retryMinutesField->setGroupSeparatorShown(false);
    m_retryMinutesField->setMinimumWidth(100);
    m_retryMinutesField->setToolTip(
        tr("How long a batch keeps sending again files that did not reach the server"));
    auto *retryRow = new QHBoxLayout;
    retryRow->addWidget(m_retryMinutesField);
    retryRow->addStretch();
    auto *retryLabel = new QLabel(tr("&Retry failed uploads for:"), root);
    retryLabel->setBuddy(m_retryMinutesField);
    form->addRow(retryLabel, retryRow);

    m_simultaneousUploadsField = new QSpinBox(root);
    m_simultaneousUploadsField->setObjectName(QStringLiteral("simultaneousUploadsField"));
    m_simultaneousUploadsField->setRange(1, ServerBookmark::MaxSimultaneousUploads);
    m_simultaneousUploadsField->setMinimumWidth(100);
    m_simultaneousUploadsField->setToolTip(
        tr("How many files of a batch are sent at once; more helps a server that takes its time over each"));
    auto *simultaneousRow = new QHBoxLayout;
    simultaneousRow->addWidget(m_simultaneousUploadsField);
    simultaneousRow->addStretch();
    auto *simultaneousLabel = new QLabel(tr("Si&multaneous uploads:"), root);
    simultaneousLabel->setBuddy(m_simultaneousUploadsField);
    form->addRow(simultaneousLabel, simultaneousRow);
    m_form->addAddressRow(form, root);
    layout->addLayout(form);
    layout->addSpacing(8);

    m_form->setBindings(
        {RecordFieldBinding::bind(m_appTextField, ServerBookmark::kApplicationNameURL, m_bookmark),
         RecordFieldBinding::bind(m_portTextField, ServerBookmark::kPortNumber, m_bookmark),
         RecordFieldBinding::bind(m_sslTextField, ServerBookmark::kSecureConnect, m_bookmark),
         RecordFieldBinding::bind(m_askPasswordCheckBox, ServerBookmark::kAskForPassword, m_bookmark),
         RecordFieldBinding::bind(m_uploadSpeedLimitField, ServerBookmark::kUploadSpeedLimit, m_bookmark),
         RecordFieldBinding::bind(m_retryMinutesField, ServerBookmark::kRetryMinutes, m_bookmark),
         RecordFieldBinding::bind(m_simultaneousUploadsField, ServerBookmark::kSimultaneousUploads, m_bookmark)});

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
}

// The edits stay in the context for the editor's Save or Cancel.
void LMBookmarkAdvancedViewController::saveButtonClicked()
{
    if (m_finished)
        return;
    m_finished = true;
    m_form->detach(true);
    dismissController(this);
}

void LMBookmarkAdvancedViewController::cancelButtonClicked()
{
    if (m_finished)
        return;
    m_finished = true;
    m_form->detach(true);
    ObjectContext *context = m_bookmark ? m_bookmark->managedObjectContext() : nullptr;
    if (context && m_bookmark->hasChanges() && context->undoManager()->undoCount() > m_undoBaseline)
        context->undoManager()->undo();
    dismissController(this);
}
