#include "session/LMImportLogWindowController.h"

#include "session/LMImportLogViewController.h"

#include <QMainWindow>

LMImportLogWindowController::LMImportLogWindowController(QObject *parent) : WindowController(parent) {}

LMImportLogWindowController::~LMImportLogWindowController() = default;

LMImportLogViewController *LMImportLogWindowController::importLogView()
{
    (void)window();
    return m_importLogView;
}

void LMImportLogWindowController::windowDidLoad()
{
    QMainWindow *w = window();
    w->setWindowTitle(tr("Import Log"));
    w->resize(760, 420);
    w->setMinimumSize(420, 240);
    m_importLogView = new LMImportLogViewController(this);
    setContentViewController(m_importLogView);
    // After the default size, so a saved frame wins.
    setFrameAutosaveName(FrameAutosaveName);
}
