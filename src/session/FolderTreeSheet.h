#pragma once

#include "platform/AddedFiles.h"

#include <QDialog>
#include <QHash>
#include <QList>
#include <QString>

#include <optional>

class CategoryTreeResolver;
class LMServerConnection;
class QLabel;
class QPushButton;
class QRadioButton;
class QStandardItem;
class QStandardItemModel;
class QTreeView;

// Over the session window, when what was added holds files in sub-folders: keep the folder
// structure below the upload target (the default) or put every file into the target, with the
// categories each choice uses and how many files go into each. The existing ones are looked up
// on the server; what could not be looked up is said, never guessed, and a branch that meets two
// categories of one name is left out of the queue. Escape or closing the sheet cancels.
class FolderTreeSheet : public QDialog {
    Q_OBJECT
public:
    enum Answer { KeepStructure, PutEveryFile, Cancel };
    Q_ENUM(Answer)
    enum Column { NameColumn, FilesColumn, StateColumn };

    // A file to queue and its folder below the target; none when it goes into the target itself.
    struct Placement {
        QString path;
        std::optional<QString> folder;
    };

    FolderTreeSheet(QWidget *window, LMServerConnection *connection, const QString &targetPath,
                    const QList<AddedFiles::File> &files);
    ~FolderTreeSheet() override;

    [[nodiscard]] Answer choice() const;
    [[nodiscard]] bool isLoading() const;
    // The files to queue for an answer, in the order added; with the structure kept, none from a
    // branch below two categories of one name.
    [[nodiscard]] QList<Placement> placements(Answer answer) const;
    // Each branch left out when the structure is kept, with its folder on disk and why.
    [[nodiscard]] QList<AddedFiles::Problem> leftOut() const;

    [[nodiscard]] QRadioButton *keepButton() const { return m_keep; }
    [[nodiscard]] QRadioButton *flattenButton() const { return m_flatten; }
    [[nodiscard]] QTreeView *tree() const { return m_tree; }
    [[nodiscard]] QLabel *summaryLabel() const { return m_summary; }
    [[nodiscard]] QPushButton *addButton() const { return m_add; }
    [[nodiscard]] QPushButton *cancelButton() const { return m_cancel; }

signals:
    void answered(FolderTreeSheet::Answer answer);
    // The existing categories have been looked up, as far as they could be.
    void previewFinished();

private:
    struct Folder {
        QString name;
        int files = 0; // directly inside
        QStandardItem *item = nullptr;
        QStandardItem *state = nullptr;
    };

    void buildModels();
    void previewDone();
    void showChoice();
    void answer(Answer answer);
    [[nodiscard]] QString diskFolder(const QString &folder) const;

    QString m_targetPath;
    QList<AddedFiles::File> m_files;
    // Every folder a kept structure needs, parents before children.
    QStringList m_order;
    QHash<QString, Folder> m_folders;
    int m_targetFiles = 0;
    // Folders at or below two categories of one name, and the first of those for each.
    QHash<QString, QString> m_blockedBy;
    CategoryTreeResolver *m_resolver = nullptr;
    QString m_progress;

    QStandardItemModel *m_keepModel;
    QStandardItemModel *m_flatModel;
    QRadioButton *m_keep;
    QRadioButton *m_flatten;
    QTreeView *m_tree;
    QLabel *m_summary;
    QPushButton *m_add;
    QPushButton *m_cancel;
    bool m_answered = false;
};
