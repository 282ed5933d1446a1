#pragma once

#include <QFileDialog>
#include <QList>
#include <QUrl>

// Qt's own file dialog set up so that several files and folders can be chosen in one go: Open
// takes the selection as it stands, folders included, while a double-click still enters a
// folder.
class AssetChooserDialog : public QFileDialog {
    Q_OBJECT
public:
    explicit AssetChooserDialog(QWidget *parent = nullptr);
    ~AssetChooserDialog() override;

    // What Open accepted, in the order shown.
    [[nodiscard]] QList<QUrl> chosenUrls() const { return m_chosen; }

public slots:
    void accept() override;

signals:
    void urlsChosen(const QList<QUrl> &urls);

private:
    QList<QUrl> m_chosen;
};
