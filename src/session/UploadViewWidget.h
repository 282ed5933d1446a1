#pragma once

#include <QWidget>

class LMAssetBrowser;
class QLabel;
class QLineEdit;
class QFormLayout;
class QPushButton;
class UploadPreviewPane;
class UploadProgressPanel;

// The upload view's layout: target category on top, the queue beside the preview, the current
// file's path, the progress of a running batch, the status line and the buttons. Behaviour
// lives in LMSessionUploadViewController.
class UploadViewWidget : public QWidget {
    Q_OBJECT
public:
    explicit UploadViewWidget(QWidget *parent = nullptr);
    ~UploadViewWidget() override;

    LMAssetBrowser *const assetBrowser;
    UploadPreviewPane *const previewPane;
    QPushButton *const chooseAssetsButton;
    QPushButton *const startUploadButton;
    QPushButton *const backToCategoriesButton;
    QLineEdit *const categoryNameTextField;
    QLabel *const uploadStatusField;
    // Beside the status line while a batch waits to try again.
    QPushButton *const retryNowButton;
    QLineEdit *const assetNameTextField;
    // Why the shown file failed in the last batch; its row is hidden while there is none.
    QLabel *const failureReasonField;
    UploadProgressPanel *const progressPanel;
    // What the last add left out, in one line, with the whole list a button away; hidden while
    // there is nothing to say.
    QLabel *const notAddedField;
    QPushButton *const showNotAddedButton;
    QPushButton *const dismissNotAddedButton;

    void showFailureReason(const QString &reason);
    void showNotAdded(const QString &summary);

private:
    QFormLayout *m_pathRow;
    QWidget *m_notAddedBar;
};
