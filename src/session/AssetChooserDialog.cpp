#include "session/AssetChooserDialog.h"

#include <QFileInfo>

AssetChooserDialog::AssetChooserDialog(QWidget *parent) : QFileDialog(parent)
{
    setObjectName(QStringLiteral("chooseAssetsDialog"));
    setWindowTitle(tr("Choose Files to Upload"));
    setOption(QFileDialog::DontUseNativeDialog, true);
    setOption(QFileDialog::ReadOnly, true); // no new folders from here
    setFileMode(QFileDialog::ExistingFiles);
    setAcceptMode(QFileDialog::AcceptOpen);
    setNameFilter(tr("All files (*)"));
    setLabelText(QFileDialog::Accept, tr("Choose"));
}

AssetChooserDialog::~AssetChooserDialog() = default;

void AssetChooserDialog::accept()
{
    // The stock dialog would open a selected folder instead of choosing it.
    QList<QUrl> urls;
    for (const QString &path : selectedFiles()) {
        const QFileInfo info(path);
        if (!info.exists())
            return; // a typed name that is not there: leave the dialog up to correct it
        urls.append(QUrl::fromLocalFile(info.absoluteFilePath()));
    }
    if (urls.isEmpty())
        return;
    m_chosen = urls;
    QDialog::accept();
    emit urlsChosen(urls);
}
