#include "session/CertificateSheet.h"

#include "connection/LMConnectionNames.h"

#include <QDateTime>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {
QLabel *selectable(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QString when(const QVariant &moment)
{
    const QDateTime time = moment.toDateTime();
    //: The start or end of a certificate's validity is not known
    return time.isValid() ? QLocale().toString(time.toLocalTime(), QLocale::ShortFormat)
                          : CertificateSheet::tr("unknown");
}

// 32 hex pairs in two rows of 16, so the whole fingerprint can be compared at a glance.
QString inTwoRows(const QString &fingerprint)
{
    const QStringList pairs = fingerprint.split(QLatin1Char(':'));
    if (pairs.size() != 32)
        return fingerprint;
    return pairs.mid(0, 16).join(QLatin1Char(':')) + QStringLiteral(":\n") + pairs.mid(16).join(QLatin1Char(':'));
}
} // namespace

CertificateSheet::CertificateSheet(QWidget *window, const QVariantMap &info) : QDialog(window)
{
    setObjectName(QStringLiteral("CertificateSheet"));
    setWindowTitle(tr("Server certificate"));
    setWindowModality(Qt::WindowModal);
    setMinimumWidth(600);

    const QString place = info.value(LMUserInfoKey::HostAndPort).toString();
    const bool changed = info.value(LMUserInfoKey::Changed).toBool();

    auto *layout = new QVBoxLayout(this);
    auto *header = new QHBoxLayout;
    auto *icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);
    header->addWidget(icon);
    auto *heading = new QLabel(this);
    heading->setObjectName(QStringLiteral("certificateHeading"));
    heading->setWordWrap(true);
    heading->setMinimumWidth(520);
    heading->setText(changed ? tr("<b>The certificate of %1 has changed since you trusted it.</b><br>If the server's "
                                  "owner did not tell you about a new certificate, someone may be listening in.")
                                   .arg(place.toHtmlEscaped())
                             : tr("<b>The identity of %1 cannot be verified.</b><br>Trust its certificate only "
                                  "if you know that this is the server's own.")
                                   .arg(place.toHtmlEscaped()));
    header->addWidget(heading, 1);
    layout->addLayout(header);

    auto *problems = selectable(info.value(LMUserInfoKey::Problems).toStringList().join(QLatin1Char('\n')), this);
    problems->setObjectName(QStringLiteral("certificateProblems"));
    problems->setWordWrap(true);
    layout->addWidget(problems);

    auto *form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    form->addRow(tr("Subject:"), selectable(info.value(LMUserInfoKey::Subject).toString(), this));
    form->addRow(tr("Issuer:"), selectable(info.value(LMUserInfoKey::Issuer).toString(), this));
    form->addRow(tr("Valid from:"), selectable(when(info.value(LMUserInfoKey::ValidFrom)), this));
    form->addRow(tr("Valid until:"), selectable(when(info.value(LMUserInfoKey::ValidUntil)), this));
    auto *fingerprint = selectable(inTwoRows(info.value(LMUserInfoKey::Fingerprint).toString()), this);
    fingerprint->setObjectName(QStringLiteral("certificateFingerprint"));
    fingerprint->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    form->addRow(tr("SHA-256:"), fingerprint);
    layout->addLayout(form);

    auto *buttons = new QHBoxLayout;
    m_cancelButton = new QPushButton(tr("Cancel"), this);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_trustButton = new QPushButton(tr("Trust for This Bookmark"), this);
    m_trustButton->setObjectName(QStringLiteral("trustButton"));
    // Trust is never the answer Return gives by accident.
    m_cancelButton->setDefault(true);
    buttons->addStretch();
    buttons->addWidget(m_trustButton);
    buttons->addWidget(m_cancelButton);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(m_trustButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}
