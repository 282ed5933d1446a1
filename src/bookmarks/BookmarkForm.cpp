#include "BookmarkForm.h"

#include "platform/widgets/RecordFieldBinding.h"
#include "store/ServerBookmark.h"

#include <QFormLayout>
#include <QLabel>

BookmarkForm::BookmarkForm(QObject *parent) : QObject(parent) {}

void BookmarkForm::addAddressRow(QFormLayout *form, QWidget *parent)
{
    m_addressLabel = new QLabel(parent);
    m_addressLabel->setObjectName(QStringLiteral("addressLabel"));
    m_addressLabel->setEnabled(false);
    m_addressLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(tr("Address:"), m_addressLabel);
    updateAddress();
}

void BookmarkForm::setBindings(const QList<RecordFieldBinding *> &bindings)
{
    m_bindings.clear();
    for (RecordFieldBinding *binding : bindings) {
        binding->setRecord(m_bookmark);
        m_bindings.append(binding);
    }
}

void BookmarkForm::setBookmark(ServerBookmark *bookmark)
{
    disconnect(m_bookmarkConnection);
    m_bookmark = bookmark;
    if (bookmark)
        m_bookmarkConnection =
            connect(bookmark, &ServerBookmark::fieldChanged, this, &BookmarkForm::updateAddress);
    for (const QPointer<RecordFieldBinding> &binding : std::as_const(m_bindings)) {
        if (binding)
            binding->setRecord(bookmark);
    }
    updateAddress();
}

void BookmarkForm::commit()
{
    for (const QPointer<RecordFieldBinding> &binding : std::as_const(m_bindings)) {
        if (binding)
            binding->commit();
    }
}

void BookmarkForm::detach(bool commitFirst)
{
    for (const QPointer<RecordFieldBinding> &binding : std::as_const(m_bindings)) {
        if (!binding)
            continue;
        if (commitFirst)
            binding->commit();
        binding->setRecord(nullptr);
    }
}

void BookmarkForm::updateAddress()
{
    if (m_addressLabel)
        m_addressLabel->setText(m_bookmark ? m_bookmark->urlString() : QString());
}
