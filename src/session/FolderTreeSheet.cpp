#include "session/FolderTreeSheet.h"

#include "connection/CategoryTreeResolver.h"
#include "connection/LMServerConnection.h"
#include "platform/DisplayName.h"

#include <QButtonGroup>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>

namespace {
QList<QStandardItem *> row(const QString &name, int fileCount, const QString &state)
{
    QList<QStandardItem *> items{new QStandardItem(DisplayName::visible(name)),
                                 new QStandardItem(fileCount > 0 ? QString::number(fileCount) : QString()),
                                 new QStandardItem(state)};
    for (QStandardItem *item : items)
        item->setEditable(false);
    items.at(FolderTreeSheet::FilesColumn)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return items;
}
} // namespace

FolderTreeSheet::FolderTreeSheet(QWidget *window, LMServerConnection *connection, const QString &targetPath,
                                 const QList<AddedFiles::File> &added)
    : QDialog(window), m_targetPath(targetPath), m_files(added), m_keepModel(new QStandardItemModel(this)),
      m_flatModel(new QStandardItemModel(this)),
      m_keep(new QRadioButton(tr("Keep the folder structure"), this)),
      m_flatten(new QRadioButton(tr("Put every file into %1").arg(DisplayName::visible(targetPath)), this)),
      m_tree(new QTreeView(this)), m_summary(new QLabel(this)),
      m_add(new QPushButton(tr("Add to Queue"), this)), m_cancel(new QPushButton(tr("Cancel"), this))
{
    setObjectName(QStringLiteral("folderTreeSheet"));
    setWindowTitle(tr("Add Folders"));
    setWindowModality(Qt::WindowModal);
    setAttribute(Qt::WA_DeleteOnClose);

    buildModels();

    auto *icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_DirIcon).pixmap(48));
    auto *message =
        new QLabel(tr("How should the %Ln added files be placed?", "", int(m_files.size())), this);
    message->setWordWrap(true);
    QFont bold = message->font();
    bold.setBold(true);
    message->setFont(bold);

    m_keep->setObjectName(QStringLiteral("keepStructureButton"));
    m_flatten->setObjectName(QStringLiteral("putEveryFileButton"));
    auto *keepInfo = new QLabel(
        tr("Each added folder becomes a category inside %1, and each of its sub-folders a category inside "
           "that.")
            .arg(targetPath),
        this);
    keepInfo->setWordWrap(true);
    keepInfo->setIndent(24);
    keepInfo->setForegroundRole(QPalette::PlaceholderText);
    auto *group = new QButtonGroup(this);
    group->addButton(m_keep);
    group->addButton(m_flatten);
    m_keep->setChecked(true);

    m_tree->setObjectName(QStringLiteral("folderTree"));
    m_tree->setAccessibleName(tr("Categories that will be used"));
    m_tree->setModel(m_keepModel);
    m_tree->setSelectionMode(QAbstractItemView::NoSelection);
    m_tree->setUniformRowHeights(true);
    m_tree->setTextElideMode(Qt::ElideMiddle);
    m_tree->header()->setStretchLastSection(true);
    m_summary->setObjectName(QStringLiteral("folderTreeSummary"));
    m_summary->setWordWrap(true);
    m_summary->setTextFormat(Qt::PlainText);

    m_add->setObjectName(QStringLiteral("addToQueueButton"));
    m_cancel->setObjectName(QStringLiteral("cancelButton"));
    m_add->setDefault(true);
    m_add->setAutoDefault(true);
    m_cancel->setAutoDefault(false);
    connect(m_add, &QPushButton::clicked, this, [this] { answer(choice()); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { answer(Cancel); });
    connect(m_keep, &QRadioButton::toggled, this, &FolderTreeSheet::showChoice);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_add);
    auto *text = new QVBoxLayout;
    text->addWidget(message);
    text->addSpacing(6);
    text->addWidget(m_keep);
    text->addWidget(keepInfo);
    text->addWidget(m_flatten);
    auto *head = new QHBoxLayout;
    head->addWidget(icon, 0, Qt::AlignTop);
    head->addLayout(text, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(head);
    layout->addWidget(m_tree, 1);
    layout->addWidget(m_summary);
    layout->addLayout(buttons);
    resize(640, 460);
    // Escape and the window's close button count as Cancel.
    connect(this, &QDialog::finished, this, [this] { answer(Cancel); });

    m_resolver =
        new CategoryTreeResolver(connection, connection ? connection->selectedCategory() : std::nullopt,
                                 m_order, CategoryTreeResolver::Mode::Preview, this);
    m_resolver->setBasePath(targetPath);
    connect(m_resolver, &CategoryTreeResolver::progress, this, [this](int done, int total) {
        //: Categories looked up of those to look up
        m_progress = tr("%L1 of %L2").arg(done).arg(total);
        showChoice();
    });
    connect(m_resolver, &CategoryTreeResolver::finished, this, &FolderTreeSheet::previewDone);
    m_resolver->start();
    showChoice();
    m_keep->setFocus();
}

FolderTreeSheet::~FolderTreeSheet() = default;

void FolderTreeSheet::buildModels()
{
    // Parents before children, in the order the walk found them: path order.
    for (const AddedFiles::File &file : std::as_const(m_files)) {
        if (file.folder.isEmpty()) {
            ++m_targetFiles;
            continue;
        }
        if (!m_folders.contains(file.folder)) {
            const QStringList parts = file.folder.split(QLatin1Char('/'));
            QString path;
            for (const QString &part : parts) {
                path = path.isEmpty() ? part : path + QLatin1Char('/') + part;
                if (m_folders.contains(path))
                    continue;
                m_folders.insert(path, Folder{part});
                m_order.append(path);
            }
        }
        ++m_folders[file.folder].files;
    }

    const QString lookingUp = tr("Looking up…");
    const QString target = tr("Upload target");
    m_keepModel->setHorizontalHeaderLabels({tr("Category"), tr("Files"), tr("State")});
    m_flatModel->setHorizontalHeaderLabels({tr("Category"), tr("Files"), tr("State")});
    m_flatModel->appendRow(row(m_targetPath, int(m_files.size()), target));
    const QList<QStandardItem *> root = row(m_targetPath, m_targetFiles, target);
    m_keepModel->appendRow(root);
    for (const QString &path : std::as_const(m_order)) {
        Folder &folder = m_folders[path];
        const QString parent = path.section(QLatin1Char('/'), 0, -2);
        const QList<QStandardItem *> items = row(folder.name, folder.files, lookingUp);
        (parent.isEmpty() ? root.first() : m_folders[parent].item)->appendRow(items);
        folder.item = items.at(NameColumn);
        folder.state = items.at(StateColumn);
    }
}

FolderTreeSheet::Answer FolderTreeSheet::choice() const
{
    return m_flatten->isChecked() ? PutEveryFile : KeepStructure;
}

bool FolderTreeSheet::isLoading() const
{
    return m_resolver && !m_resolver->isFinished();
}

void FolderTreeSheet::previewDone()
{
    const QString notQueued = tr("Not queued: more than one category is named “%1” above");
    for (const QString &path : std::as_const(m_order)) {
        Folder &folder = m_folders[path];
        const QString parent = path.section(QLatin1Char('/'), 0, -2);
        if (m_blockedBy.contains(parent)) {
            m_blockedBy.insert(path, m_blockedBy.value(parent));
            folder.state->setText(notQueued.arg(m_folders.value(m_blockedBy.value(parent)).name));
            continue;
        }
        const CategoryTreeResolver::Node *node = m_resolver->node(path);
        if (!node) {
            folder.state->setText(tr("Not known: it was not looked up"));
            continue;
        }
        switch (node->state) {
        case CategoryTreeResolver::State::Exists:
            //: A category's state: it is on the server already
            folder.state->setText(tr("Exists"));
            break;
        case CategoryTreeResolver::State::Missing:
            folder.state->setText(tr("Will be created"));
            break;
        case CategoryTreeResolver::State::Twins: {
            QStringList ids;
            for (qint64 id : node->twinIds)
                ids.append(QString::number(id));
            m_blockedBy.insert(path, path);
            folder.state->setText(
                tr("%Ln categories of this name (ids %1): not queued", "", int(node->twinIds.size()))
                    .arg(ids.join(QStringLiteral(", "))));
            break;
        }
        default:
            folder.state->setText(tr("Not known: %1").arg(node->reason));
            break;
        }
        folder.state->setToolTip(folder.state->text());
    }
    m_tree->expandAll();
    for (int column : {NameColumn, FilesColumn})
        m_tree->resizeColumnToContents(column);
    showChoice();
    emit previewFinished();
}

void FolderTreeSheet::showChoice()
{
    const bool keep = choice() == KeepStructure;
    if ((m_tree->model() == m_keepModel) != keep) {
        m_tree->setModel(keep ? m_keepModel : m_flatModel);
        if (keep)
            m_tree->expandAll();
        m_tree->resizeColumnToContents(NameColumn);
    }
    if (!keep) {
        m_summary->setText(tr("All %Ln files go into %1; no category is created.", "", int(m_files.size()))
                               .arg(DisplayName::visible(m_targetPath)));
        m_add->setEnabled(true);
        return;
    }
    if (isLoading()) {
        const QString target = DisplayName::visible(m_targetPath);
        //: %2 is how far the look-up is, as "3 of 12"
        const QString progress = tr("Looking up the categories inside %1… %2");
        m_summary->setText(m_progress.isEmpty() ? tr("Looking up the categories inside %1…").arg(target)
                                                : progress.arg(target, m_progress));
        m_add->setEnabled(false);
        return;
    }
    int created = 0, existing = 0, unknown = 0, blockedFiles = 0;
    QString reason;
    for (const QString &path : std::as_const(m_order)) {
        if (m_blockedBy.contains(path)) {
            blockedFiles += m_folders.value(path).files;
            continue;
        }
        const CategoryTreeResolver::Node *node = m_resolver ? m_resolver->node(path) : nullptr;
        const auto state = node ? node->state : CategoryTreeResolver::State::Unknown;
        if (state == CategoryTreeResolver::State::Exists)
            ++existing;
        else if (state == CategoryTreeResolver::State::Missing)
            ++created;
        else if (++unknown == 1 && node)
            reason = node->reason;
    }
    QStringList lines{//: %1 is how many categories exist, as "3 exist"
                      tr("%Ln categories will be created, %1 already.", "", created)
                          .arg(tr("%Ln exist", "categories", existing))};
    if (unknown > 0)
        lines.append(tr("%Ln categories could not be looked up (%1). The upload looks again before it "
                        "creates anything "
                        "there.",
                        "", unknown)
                         .arg(reason));
    if (blockedFiles > 0)
        lines.append(
            tr("%Ln files will not be queued: where they would go, more than one category has the same name.",
               "", blockedFiles));
    m_summary->setText(lines.join(QLatin1Char(' ')));
    m_add->setEnabled(blockedFiles < m_files.size());
}

QList<FolderTreeSheet::Placement> FolderTreeSheet::placements(Answer answer) const
{
    QList<Placement> out;
    if (answer == Cancel)
        return out;
    out.reserve(m_files.size());
    for (const AddedFiles::File &file : m_files) {
        if (answer == PutEveryFile || file.folder.isEmpty())
            out.append({file.path, std::nullopt});
        else if (!m_blockedBy.contains(file.folder))
            out.append({file.path, file.folder});
    }
    return out;
}

QList<AddedFiles::Problem> FolderTreeSheet::leftOut() const
{
    QList<AddedFiles::Problem> out;
    for (const QString &path : m_order) {
        if (m_blockedBy.value(path) != path)
            continue;
        int count = 0;
        for (auto it = m_blockedBy.cbegin(); it != m_blockedBy.cend(); ++it)
            if (it.value() == path)
                count += m_folders.value(it.key()).files;
        const CategoryTreeResolver::Node *node = m_resolver->node(path);
        QStringList ids;
        for (qint64 id : node ? node->twinIds : QList<qint64>())
            ids.append(QString::number(id));
        const QString parent = path.section(QLatin1Char('/'), 0, -2);
        out.append({diskFolder(path),
                    tr("%Ln files not queued: %1 has more than one category named “%2” (ids %3)", "", count)
                        .arg(parent.isEmpty() ? m_targetPath : m_targetPath + QLatin1Char('/') + parent,
                             m_folders.value(path).name, ids.join(QStringLiteral(", ")))});
    }
    return out;
}

QString FolderTreeSheet::diskFolder(const QString &folder) const
{
    // A file below it tells where the added folder lies on disk.
    for (const AddedFiles::File &file : m_files) {
        if (file.folder == folder || file.folder.startsWith(folder + QLatin1Char('/'))) {
            const QString dir = QFileInfo(file.path).path();
            return dir.left(dir.size() - (file.folder.size() - folder.size()));
        }
    }
    return folder;
}

void FolderTreeSheet::answer(Answer answer)
{
    if (m_answered)
        return;
    m_answered = true;
    if (m_resolver)
        m_resolver->cancel();
    emit answered(answer);
    if (isVisible())
        close();
}
