#include "session/UploadViewWidget.h"

#include "session/LMAssetBrowser.h"
#include "session/UploadPreviewPane.h"
#include "session/UploadProgressPanel.h"

#include <QAbstractItemView>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

namespace {
QLineEdit *readOnlyField(const char *name, QWidget *parent)
{
    auto *field = new QLineEdit(parent);
    field->setObjectName(QLatin1String(name));
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::ClickFocus);
    return field;
}
} // namespace

UploadViewWidget::UploadViewWidget(QWidget *parent)
    : QWidget(parent), assetBrowser(new LMAssetBrowser(this)), previewPane(new UploadPreviewPane(this)),
      chooseAssetsButton(new QPushButton(tr("Choose…"), this)),
      startUploadButton(new QPushButton(tr("Start Upload"), this)),
      backToCategoriesButton(new QPushButton(tr("Back to Categories"), this)),
      categoryNameTextField(readOnlyField("categoryNameTextField", this)),
      uploadStatusField(new QLabel(this)), retryNowButton(new QPushButton(tr("Retry Now"), this)),
      assetNameTextField(readOnlyField("assetNameTextField", this)), failureReasonField(new QLabel(this)),
      progressPanel(new UploadProgressPanel(this)), notAddedField(new QLabel(this)),
      showNotAddedButton(new QPushButton(tr("Show List…"), this)),
      dismissNotAddedButton(new QPushButton(tr("Dismiss"), this)), m_pathRow(new QFormLayout),
      m_notAddedBar(new QWidget(this))
{
    assetBrowser->setObjectName(QStringLiteral("assetBrowser"));
    chooseAssetsButton->setObjectName(QStringLiteral("chooseAssetsButton"));
    startUploadButton->setObjectName(QStringLiteral("startUploadButton"));
    backToCategoriesButton->setObjectName(QStringLiteral("backToCategoriesButton"));
    uploadStatusField->setObjectName(QStringLiteral("uploadStatusField"));
    uploadStatusField->setTextFormat(Qt::PlainText);
    uploadStatusField->setWordWrap(true);
    startUploadButton->setDefault(true);
    // Wide enough for either title, so the button does not jump when it changes.
    startUploadButton->setMinimumWidth(
        std::max(startUploadButton->sizeHint().width(),
                 startUploadButton->fontMetrics().horizontalAdvance(tr("Stop Upload")) + 32));
    assetBrowser->setToolTip(tr("Drop files or folders here to queue them."));
    assetBrowser->setMinimumWidth(200);
    categoryNameTextField->setPlaceholderText(tr("No category selected"));
    // Selectable from the keyboard too, so the reason can be reached, read and copied.
    failureReasonField->setObjectName(QStringLiteral("failureReasonField"));
    failureReasonField->setTextFormat(Qt::PlainText);
    failureReasonField->setWordWrap(true);
    failureReasonField->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    failureReasonField->setFocusPolicy(Qt::StrongFocus); // a label only takes clicks by default
    // No fixed names on these labels: their text is what a screen reader must read, and a label
    // with a name of its own announces no change of text. The "Failed:" label labels the reason.
    failureReasonField->setAccessibleDescription(tr("Why the upload failed"));

    notAddedField->setObjectName(QStringLiteral("notAddedField"));
    notAddedField->setTextFormat(Qt::PlainText);
    notAddedField->setWordWrap(true);
    notAddedField->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    notAddedField->setFocusPolicy(Qt::StrongFocus);
    showNotAddedButton->setObjectName(QStringLiteral("showNotAddedButton"));
    dismissNotAddedButton->setObjectName(QStringLiteral("dismissNotAddedButton"));
    showNotAddedButton->setAccessibleDescription(tr("Lists every item that was not added, with why"));
    dismissNotAddedButton->setAccessibleName(tr("Dismiss the list of items not added"));
    auto *warning = new QLabel(m_notAddedBar);
    warning->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(16));
    auto *bar = new QHBoxLayout(m_notAddedBar);
    bar->setContentsMargins(0, 0, 0, 0);
    bar->addWidget(warning, 0, Qt::AlignTop);
    bar->addWidget(notAddedField, 1);
    bar->addWidget(showNotAddedButton, 0, Qt::AlignTop);
    bar->addWidget(dismissNotAddedButton, 0, Qt::AlignTop);
    notAddedField->setParent(m_notAddedBar);
    showNotAddedButton->setParent(m_notAddedBar);
    dismissNotAddedButton->setParent(m_notAddedBar);

    // Names for assistive technology where no visible label says what a control is.
    assetBrowser->setAccessibleTitle(tr("Files to upload"));
    uploadStatusField->setAccessibleDescription(tr("Upload status"));

    auto *fields = new QFormLayout;
    fields->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    fields->addRow(tr("Upload into:"), categoryNameTextField);

    auto *splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(assetBrowser);
    splitter->addWidget(previewPane);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);

    m_pathRow->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    m_pathRow->addRow(tr("File:"), assetNameTextField);
    m_pathRow->addRow(tr("Failed:"), failureReasonField);
    m_pathRow->setRowVisible(failureReasonField, false);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(backToCategoriesButton);
    buttons->addStretch(1);
    buttons->addWidget(chooseAssetsButton);
    buttons->addWidget(startUploadButton);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(14, 12, 14, 12);
    column->setSpacing(8);
    column->addLayout(fields);
    column->addWidget(splitter, 1);
    column->addLayout(m_pathRow);
    column->addWidget(m_notAddedBar);
    column->addWidget(progressPanel);
    auto *statusRow = new QHBoxLayout;
    statusRow->addWidget(uploadStatusField, 1);
    statusRow->addWidget(retryNowButton, 0, Qt::AlignTop);
    column->addLayout(statusRow);
    column->addLayout(buttons);

    progressPanel->hide();
    m_notAddedBar->hide();
    retryNowButton->setObjectName(QStringLiteral("retryNowButton"));
    retryNowButton->hide();

    // Keyboard order follows the reading order: the list, what failed, then the buttons.
    QWidget::setTabOrder(assetBrowser->columnView(0), failureReasonField);
    QWidget::setTabOrder(failureReasonField, notAddedField);
    QWidget::setTabOrder(notAddedField, showNotAddedButton);
    QWidget::setTabOrder(showNotAddedButton, dismissNotAddedButton);
    QWidget::setTabOrder(dismissNotAddedButton, backToCategoriesButton);
    QWidget::setTabOrder(backToCategoriesButton, chooseAssetsButton);
    QWidget::setTabOrder(chooseAssetsButton, startUploadButton);
}

UploadViewWidget::~UploadViewWidget() = default;

void UploadViewWidget::showNotAdded(const QString &summary)
{
    notAddedField->setText(summary);
    m_notAddedBar->setVisible(!summary.isEmpty());
}

void UploadViewWidget::showFailureReason(const QString &reason)
{
    failureReasonField->setText(reason);
    m_pathRow->setRowVisible(failureReasonField, !reason.isEmpty());
}
