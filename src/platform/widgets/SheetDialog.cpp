#include "platform/widgets/SheetDialog.h"

#include <QVBoxLayout>

SheetDialog::SheetDialog(QWidget *parent, QWidget *content) : QDialog(parent), m_content(content)
{
    setObjectName(QStringLiteral("LumaroSheet"));
    setWindowModality(Qt::WindowModal);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (content) {
        layout->addWidget(content);
        content->show();
        if (!content->windowTitle().isEmpty())
            setWindowTitle(content->windowTitle());
    }
}

SheetDialog::~SheetDialog() = default;

void SheetDialog::dismiss()
{
    m_dismissing = true;
    done(QDialog::Accepted);
    // The controller deletes its view; releasing it here keeps the dialog from doing so first.
    if (m_content && m_content->parentWidget() == this) {
        layout()->removeWidget(m_content);
        m_content->hide();
        m_content->setParent(nullptr);
    }
    m_content = nullptr;
}

void SheetDialog::done(int result)
{
    if (!m_dismissing)
        return;
    QDialog::done(result);
}
