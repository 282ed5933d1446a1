#include "bookmarks/LMBookmarkEditViewController.h"

#include "bookmarks/BookmarkForm.h"
#include "bookmarks/BookmarksLogging.h"
#include "bookmarks/LMBookmarkAdvancedViewController.h"
#include "bookmarks/LMBookmarksViewController.h"
#include "bookmarks/LMBookmarksWindowController.h"
#include "platform/ConsoleLog.h"
#include "platform/widgets/Alert.h"
#include "platform/widgets/RecordFieldBinding.h"
#include "platform/widgets/Segue.h"
#include "connection/ServerAddress.h"
#include "store/BookmarkPasswords.h"
#include "store/ObjectContext.h"
#include "store/ServerBookmark.h"
#include "store/UndoManager.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>
#include <QVBoxLayout>

namespace {
// A host name, an IPv4 address or a bracketed IPv6 address; surrounding spaces are trimmed when
// the edit is finished. An empty host is left for later.
class HostValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override
    {
        if (input.isEmpty())
            return Acceptable;
        return input == input.trimmed() && ServerAddress::checkHost(input) ? Acceptable : Intermediate;
    }
    void fixup(QString &input) const override { input = input.trimmed(); }
};
} // namespace

LMBookmarkEditViewController::LMBookmarkEditViewController(QObject *parent)
    : ViewController(parent), m_form(new BookmarkForm(this))
{
}

LMBookmarkEditViewController::~LMBookmarkEditViewController() = default;

ObjectContext *LMBookmarkEditViewController::managedObjectContext() const
{
    return m_bookmarksWindow ? m_bookmarksWindow->managedObjectContext() : nullptr;
}

void LMBookmarkEditViewController::setBookmark(ServerBookmark *bookmark)
{
    m_bookmark = bookmark;
    if (ObjectContext *context = bookmark ? bookmark->managedObjectContext() : nullptr)
        m_undoBaseline = context->undoManager()->undoCount();
    m_form->setBookmark(bookmark);
    if (bookmark)
        connect(bookmark, &ServerBookmark::fieldChanged, this, &LMBookmarkEditViewController::updatePasswordField,
                Qt::UniqueConnection);
    updatePasswordField();
}

void LMBookmarkEditViewController::setIsNew(bool isNew)
{
    m_isNew = isNew;
    if (m_titleLabel)
        m_titleLabel->setText(isNew ? tr("New server bookmark") : tr("Server bookmark"));
}

void LMBookmarkEditViewController::loadView()
{
    auto *root = new QWidget;
    root->setObjectName(QStringLiteral("BookmarkEditView"));
    root->setMinimumWidth(520);
    auto *layout = new QVBoxLayout(root);

    m_titleLabel = new QLabel(root);
    QFont titleFont = m_titleLabel->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.15);
    m_titleLabel->setFont(titleFont);
    layout->addWidget(m_titleLabel);
    setIsNew(m_isNew);

    auto *form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    m_labelTextField = new QLineEdit(root);
    m_labelTextField->setObjectName(QStringLiteral("labelTextField"));
    m_labelTextField->setPlaceholderText(tr("A name for this server"));
    m_hostTextField = new QLineEdit(root);
    m_hostTextField->setObjectName(QStringLiteral("hostTextField"));
    m_hostTextField->setPlaceholderText(tr("lumaro.example.com"));
    m_userTextField = new QLineEdit(root);
    m_userTextField->setObjectName(QStringLiteral("userTextField"));
    m_passwordTextField = new QLineEdit(root);
    m_passwordTextField->setObjectName(QStringLiteral("passwordTextField"));
    m_passwordTextField->setEchoMode(QLineEdit::Password);
    m_hostTextField->setValidator(new HostValidator(m_hostTextField));
    m_hostNoteLabel = new QLabel(root);
    m_hostNoteLabel->setObjectName(QStringLiteral("hostNoteLabel"));
    m_hostNoteLabel->setWordWrap(true);
    m_hostNoteLabel->hide();
    auto *hostColumn = new QVBoxLayout;
    hostColumn->setSpacing(2);
    hostColumn->addWidget(m_hostTextField);
    hostColumn->addWidget(m_hostNoteLabel);
    form->addRow(tr("&Name:"), m_labelTextField);
    auto *hostLabel = new QLabel(tr("&Host:"), root);
    hostLabel->setBuddy(m_hostTextField);
    form->addRow(hostLabel, hostColumn);
    form->addRow(tr("&User name:"), m_userTextField);
    form->addRow(tr("&Password:"), m_passwordTextField);
    m_form->addAddressRow(form, root);
    layout->addLayout(form);

    m_form->setBindings(
        {RecordFieldBinding::bind(m_labelTextField, ServerBookmark::kBookmarkName, m_bookmark),
         RecordFieldBinding::bind(m_hostTextField, ServerBookmark::kHostName, m_bookmark),
         RecordFieldBinding::bind(m_userTextField, ServerBookmark::kUserName, m_bookmark),
         RecordFieldBinding::bind(m_passwordTextField, ServerBookmark::kPassword, m_bookmark)});

    auto *advancedRow = new QHBoxLayout;
    m_advancedButton = new QPushButton(tr("&Advanced…"), root);
    m_advancedButton->setObjectName(QStringLiteral("advancedButton"));
    m_advancedButton->setToolTip(tr("Application path, port and secure connection"));
    advancedRow->addWidget(m_advancedButton);
    advancedRow->addStretch();
    layout->addLayout(advancedRow);
    layout->addSpacing(8);

    auto *buttons = new QHBoxLayout;
    m_deleteButton = new QPushButton(tr("&Delete"), root);
    m_deleteButton->setObjectName(QStringLiteral("deleteButton"));
    m_cancelButton = new QPushButton(tr("Cancel"), root);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_saveButton = new QPushButton(tr("&Save"), root);
    m_saveButton->setObjectName(QStringLiteral("saveButton"));
    m_saveButton->setDefault(true);
    buttons->addWidget(m_deleteButton);
    buttons->addStretch();
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_saveButton);
    layout->addLayout(buttons);

    connect(m_hostTextField, &QLineEdit::textEdited, this, &LMBookmarkEditViewController::hostEdited);
    connect(m_hostTextField, &QLineEdit::textChanged, this, &LMBookmarkEditViewController::updateHostNote);
    connect(m_advancedButton, &QPushButton::clicked, this,
            &LMBookmarkEditViewController::advancedButtonClicked);
    connect(m_deleteButton, &QPushButton::clicked, this, &LMBookmarkEditViewController::deleteButtonClicked);
    connect(m_cancelButton, &QPushButton::clicked, this, &LMBookmarkEditViewController::cancelButtonClicked);
    connect(m_saveButton, &QPushButton::clicked, this, &LMBookmarkEditViewController::saveButtonClicked);

    setView(root);
    updatePasswordField();
}

void LMBookmarkEditViewController::hostEdited(const QString &text)
{
    // Only a paste (or a drop) is taken apart: an address being typed would be split at its
    // first letter.
    const qsizetype before = m_hostLength;
    m_hostLength = text.size();
    if (text.size() - before < 2)
        return;
    const std::optional<ServerAddress::PastedParts> parts = ServerAddress::splitPastedUrl(text);
    ObjectContext *context = m_bookmark ? m_bookmark->managedObjectContext() : nullptr;
    if (!parts || !context)
        return;
    // A pasted address goes into its fields at once, as one step Cancel can take back, and the
    // user sees where each part went.
    const int port = parts->port.value_or(parts->secure ? 443 : 80);
    QList<QPair<QString, QVariant>> fields{{ServerBookmark::kHostName, parts->host},
                                           {ServerBookmark::kSecureConnect, parts->secure},
                                           {ServerBookmark::kPortNumber, QVariant::fromValue<qint64>(port)}};
    if (!parts->path.isEmpty())
        fields.append({ServerBookmark::kApplicationNameURL, parts->path});
    context->undoManager()->setValues(m_bookmark, fields);
    m_splitHost = parts->host;
    m_hostTextField->setText(parts->host);
    m_hostLength = parts->host.size();
    QString note;
    if (parts->path.isEmpty())
        note = parts->secure ? tr("The pasted address was taken apart: host %1, port %2, secure connection.")
                             : tr("The pasted address was taken apart: host %1, port %2, plain connection.");
    else
        note = parts->secure ? tr("The pasted address was taken apart: host %1, port %2, secure connection, "
                                  "application path “%3”.")
                             : tr("The pasted address was taken apart: host %1, port %2, plain connection, "
                                  "application path “%3”.");
    note = note.arg(parts->host).arg(port);
    m_hostNoteLabel->setText(parts->path.isEmpty() ? note : note.arg(parts->path));
    m_hostNoteLabel->show();
}

void LMBookmarkEditViewController::updateHostNote()
{
    QString why;
    const QString text = m_hostTextField->text();
    // The note on a split paste stays while the field shows what the paste left there.
    if (!m_splitHost.isEmpty() && text == m_splitHost)
        return;
    m_splitHost.clear();
    const bool unusable = !text.trimmed().isEmpty() && !ServerAddress::checkHost(text, &why);
    m_hostNoteLabel->setStyleSheet(unusable ? QStringLiteral("color: #b3261e;") : QString());
    m_hostNoteLabel->setText(why);
    m_hostNoteLabel->setVisible(unusable);
}

bool LMBookmarkEditViewController::tidyHost()
{
    const QString text = m_hostTextField->text();
    if (ServerAddress::checkHost(text) && text != text.trimmed())
        m_hostTextField->setText(text.trimmed());
    if (m_hostTextField->hasAcceptableInput())
        return true;
    updateHostNote();
    m_hostTextField->setFocus();
    return false;
}

void LMBookmarkEditViewController::loadPassword()
{
    if (!m_passwords || !m_bookmark || m_isNew || !m_bookmark->passwordIsInKeyring())
        return;
    m_readingPassword = true;
    updatePasswordField();
    QPointer<ServerBookmark> bookmark = m_bookmark;
    m_passwords->passwordFor(
        m_bookmark, this,
        [this, bookmark](const BookmarkPasswords::Answer &answer) {
            m_readingPassword = false;
            // Shown (masked) unless the user has begun to type a new one meanwhile.
            if (bookmark && answer.password && bookmark->passwordIsInKeyring() && m_passwordTextField &&
                !m_passwordTextField->isModified())
                bookmark->adoptKeyringPassword(*answer.password);
            updatePasswordField();
            if (m_passwordTextField && !answer.reason.isEmpty())
                m_passwordTextField->setPlaceholderText(tr("Could not be read from the keyring"));
        },
        false);
}

void LMBookmarkEditViewController::updatePasswordField()
{
    if (!m_passwordTextField || !m_bookmark)
        return;
    const bool ask = m_bookmark->askForPassword();
    m_passwordTextField->setEnabled(!ask);
    m_passwordTextField->setPlaceholderText(ask                  ? tr("Asked for when connecting")
                                            : m_readingPassword ? tr("Reading from the keyring…")
                                                                 : QString());
}

void LMBookmarkEditViewController::viewWillAppear()
{
    (void)view();
    loadPassword();
    // A new record is removed by Cancel instead; a record with a session on it stays.
    m_deleteButton->setEnabled(!m_isNew && !LMBookmarksWindowController::hasOpenSession(m_bookmark));
    m_labelTextField->setFocus();
    m_labelTextField->selectAll();
}

void LMBookmarkEditViewController::showBookmarksWindow() const
{
    if (m_bookmarksWindow)
        m_bookmarksWindow->showWindow();
}

void LMBookmarkEditViewController::saveButtonClicked()
{
    if (m_finished || !tidyHost())
        return;
    m_form->commit();
    showBookmarksWindow();
    ObjectContext *context = managedObjectContext();
    if (!context || !m_bookmark) {
        // Nothing could keep it: say so, and leave what was typed in front of the user.
        Alert::beginSheet(view()->window(), Alert::Style::Warning,
                          tr("The bookmark could not be saved: the data store is not available"),
                          tr("The data store could not be opened when LumaroImporter started. Close the "
                             "application, mend the cause that was reported then, and start it again."),
                          {}, nullptr);
        return;
    }
    QString error;
    if (!context->save(&error)) {
        // The edits stay in the context; the user may try again or cancel.
        Alert::beginSheet(view()->window(), Alert::Style::Warning, tr("The bookmark could not be saved."),
                          error, {}, nullptr);
        return;
    }
    m_finished = true;
    m_form->detach(false);
    if (LMBookmarksViewController *list = m_bookmarksWindow ? m_bookmarksWindow->bookmarksViewController() : nullptr)
        list->selectBookmark(m_bookmark);
    dismissController(this);
}

void LMBookmarkEditViewController::cancelButtonClicked()
{
    if (m_finished)
        return;
    m_finished = true;
    // Whatever is typed is part of the edit being taken back.
    m_form->commit();
    m_form->detach(false);
    ObjectContext *context = managedObjectContext();
    if (m_isNew) {
        // The record was made for this editing; it goes, and with it all its edits.
        if (context && m_bookmark) {
            context->deleteObject(m_bookmark);
            context->save();
        }
        showBookmarksWindow();
    } else {
        showBookmarksWindow();
        ObjectContext *own = m_bookmark ? m_bookmark->managedObjectContext() : nullptr;
        if (own && m_bookmark->hasChanges() && own->undoManager()->undoCount() > m_undoBaseline)
            own->undoManager()->undo();
    }
    dismissController(this);
}

void LMBookmarkEditViewController::deleteButtonClicked()
{
    if (m_finished || m_isNew || !m_bookmark)
        return;
    if (LMBookmarksWindowController::hasOpenSession(m_bookmark)) {
        Alert::beginSheet(view()->window(), Alert::Style::Warning,
                          tr("“%1” cannot be deleted while its session window is open.")
                              .arg(m_bookmark->bookmarkLongName()),
                          tr("Close the session window first, then delete the bookmark."), {}, nullptr);
        return;
    }
    ObjectContext *context = managedObjectContext();
    if (!context)
        return;
    m_finished = true;
    m_form->detach(false);
    qCDebug(lcBookmarks) << "deleting bookmark" << m_bookmark->bookmarkLongName() << "from its editor";
    context->deleteObject(m_bookmark);
    QString error;
    const bool saved = context->save(&error);
    ViewController *presenter = presentingViewController();
    dismissController(this);
    if (!saved) {
        Alert::beginSheet(presenter ? presenter->window() : nullptr, Alert::Style::Warning,
                          tr("The deletion could not be saved yet."),
                          tr("%1\nThe bookmark is gone from the list and will be removed from the saved "
                             "data with the next successful save.")
                              .arg(error),
                          {}, nullptr);
    }
}

void LMBookmarkEditViewController::advancedButtonClicked()
{
    m_form->commit();
    performSegue(SegueIdentifiers::showBookmarkAdvancedViewController, this);
}

void LMBookmarkEditViewController::prepareForSegue(Segue &segue, QObject *)
{
    if (segue.identifier == SegueIdentifiers::showBookmarkAdvancedViewController) {
        if (auto *advanced = segue.destinationController<LMBookmarkAdvancedViewController>()) {
            advanced->setBookmark(m_bookmark);
            advanced->setUndoBaseline(m_undoBaseline);
        }
        return;
    }
    ConsoleLog::line(QStringLiteral("should not be here - bookmark edit view - prepare for segue"));
}
