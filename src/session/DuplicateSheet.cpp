#include "session/DuplicateSheet.h"

#include "platform/DisplayName.h"
#include "store/Asset.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

DuplicateSheet::DuplicateSheet(QWidget *window, const QList<DuplicateMatch> &duplicates) : QDialog(window)
{
    setObjectName(QStringLiteral("duplicateSheet"));
    setWindowTitle(tr("Files Already Uploaded"));
    setWindowModality(Qt::WindowModal);
    setAttribute(Qt::WA_DeleteOnClose);

    auto *icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(48));
    const bool inDoubt = std::any_of(duplicates.cbegin(), duplicates.cend(),
                                     [](const DuplicateMatch &d) { return !d.mayHaveArrived.isEmpty(); });
    auto *message = new QLabel(
        inDoubt
            ? tr("%Ln files in the queue may be on this server already.", "", int(duplicates.size()))
            : tr("%Ln files in the queue were already uploaded to this server.", "", int(duplicates.size())),
        this);
    message->setWordWrap(true);
    QFont bold = message->font();
    bold.setBold(true);
    message->setFont(bold);
    auto *info = new QLabel(tr("Skipped files leave the queue; nothing has been sent yet."), this);
    info->setWordWrap(true);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("duplicateList"));
    m_list->setAccessibleName(tr("Files already uploaded"));
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setTextElideMode(Qt::ElideMiddle);
    for (const DuplicateMatch &duplicate : duplicates) {
        auto *item = new QListWidgetItem(describe(duplicate), m_list);
        if (duplicate.record)
            item->setToolTip(DisplayName::visible(duplicate.record->filePath().value_or(QString())));
    }

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (const auto &[answer, title] :
         {std::pair{Cancel, tr("Cancel")}, std::pair{UploadAll, tr("Upload All")},
          std::pair{SkipDuplicates, tr("Skip Duplicates")}}) {
        auto *b = new QPushButton(title, this);
        connect(b, &QPushButton::clicked, this, [this, a = answer] { this->answer(a); });
        buttons->addWidget(b);
        m_buttons.append(b);
    }
    button(SkipDuplicates)->setDefault(true);
    button(SkipDuplicates)->setFocus();

    auto *text = new QVBoxLayout;
    text->addWidget(message);
    text->addWidget(info);
    auto *head = new QHBoxLayout;
    head->addWidget(icon, 0, Qt::AlignTop);
    head->addLayout(text, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(head);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    resize(560, std::min(420, 170 + 22 * int(duplicates.size())));
    // Escape and the window's close button count as Cancel.
    connect(this, &QDialog::finished, this, [this] { answer(Cancel); });
}

QPushButton *DuplicateSheet::button(Answer answer) const
{
    // Created in the order Cancel, Upload All, Skip Duplicates (left to right).
    switch (answer) {
    case Cancel:
        return m_buttons.at(0);
    case UploadAll:
        return m_buttons.at(1);
    case SkipDuplicates:
        break;
    }
    return m_buttons.at(2);
}

QString DuplicateSheet::describe(const DuplicateMatch &duplicate)
{
    const QString name = DisplayName::visible(duplicate.record ? duplicate.record->fileName() : QString());
    const QString category = DisplayName::visible(duplicate.categoryPath);
    if (!duplicate.mayHaveArrived.isEmpty())
        //: A file's name — the category, then why it may have arrived
        return tr("%1 — may have arrived at %2: %3").arg(name, category, duplicate.mayHaveArrived);
    const QString when = QLocale().toString(duplicate.uploaded.toLocalTime(), QLocale::ShortFormat);
    //: A file's name — the category and the date and time of the upload
    return tr("%1 — already uploaded to %2 on %3").arg(name, category, when);
}

void DuplicateSheet::answer(Answer answer)
{
    if (m_answered)
        return;
    m_answered = true;
    emit answered(answer);
    if (isVisible())
        close();
}
