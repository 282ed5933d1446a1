#pragma once

#include "platform/widgets/WindowController.h"

#include <QString>

class LMImportLogViewController;
class ObjectContext;

// The import log's own window, independent of the session windows; the application shows it
// from its menu and keeps it for the life of the process.
class LMImportLogWindowController : public WindowController {
    Q_OBJECT
public:
    static inline const QString FrameAutosaveName = QStringLiteral("AssetImportLogWindow");

    // context: the store's, or null when it could not be opened.
    explicit LMImportLogWindowController(ObjectContext *context, QObject *parent = nullptr);
    ~LMImportLogWindowController() override;

    // The window's content; created with the window.
    [[nodiscard]] LMImportLogViewController *importLogView();

protected:
    void windowDidLoad() override;

private:
    ObjectContext *m_context;
    LMImportLogViewController *m_importLogView = nullptr;
};
