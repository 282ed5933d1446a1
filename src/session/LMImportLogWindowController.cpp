#include "session/LMImportLogWindowController.h"

#include "session/LMImportLogViewController.h"

#include <QMainWindow>

LMImportLogWindowController::LMImportLogWindowController(ObjectContext *context, QObject *parent)
    : WindowController(parent), m_context(context)
{
}

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
    w->resize(860, 480);
    w->setMinimumSize(420, 240);
    m_importLogView = new LMImportLogViewController(m_context, this);
    setContentViewController(m_importLogView);
    // After the default size, so a saved frame wins.
    setFrameAutosaveName(FrameAutosaveName);
}
