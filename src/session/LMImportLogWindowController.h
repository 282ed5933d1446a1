#pragma once

#include "platform/widgets/WindowController.h"

#include <QString>

class LMImportLogViewController;

// The import log's own window, independent of the session windows; the application shows it
// from its menu and keeps it for the life of the process.
class LMImportLogWindowController : public WindowController {
    Q_OBJECT
public:
    static inline const QString FrameAutosaveName = QStringLiteral("AssetImportLogWindow");

    explicit LMImportLogWindowController(QObject *parent = nullptr);
    ~LMImportLogWindowController() override;

    // The window's content; created with the window.
    [[nodiscard]] LMImportLogViewController *importLogView();

protected:
    void windowDidLoad() override;

private:
    LMImportLogViewController *m_importLogView = nullptr;
};
