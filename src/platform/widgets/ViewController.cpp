#include "platform/widgets/ViewController.h"

#include "platform/widgets/SheetDialog.h"
#include "platform/widgets/Storyboard.h"
#include "platform/widgets/WidgetsLogging.h"

ViewController::ViewController(QObject *parent) : QObject(parent) {}

ViewController::~ViewController()
{
    // A sheet takes its dialog down as it dies (our own sheets are children and die with us);
    // a dialog left up would linger over the window with nothing in it.
    if (m_sheet) {
        m_sheet->dismiss();
        m_sheet->deleteLater();
    }
    delete m_view.data();
}

QWidget *ViewController::view()
{
    if (!m_view && !m_loading) {
        m_loading = true;
        loadView();
        if (!m_view) {
            qCWarning(lcPlatformWidgets) << metaObject()->className() << "loadView() set no view";
            setView(new QWidget);
        }
        m_loading = false;
        viewDidLoad();
    }
    return m_view;
}

QWidget *ViewController::window() const
{
    if (!m_view || !m_view->parentWidget())
        return nullptr;
    return m_view->window();
}

void ViewController::setView(QWidget *view)
{
    if (m_view == view)
        return;
    delete m_view.data();
    m_view = view;
}

void ViewController::loadView()
{
    setView(new QWidget);
}

void ViewController::viewDidLoad() {}

void ViewController::viewWillAppear() {}

void ViewController::setStoryboard(Storyboard *storyboard)
{
    m_storyboard = storyboard;
}

Storyboard *ViewController::storyboard() const
{
    return m_storyboard ? m_storyboard : &Storyboard::main();
}

QList<ViewController *> ViewController::presentedViewControllers() const
{
    QList<ViewController *> result;
    for (const QPointer<ViewController> &sheet : m_presented)
        if (sheet)
            result.append(sheet);
    return result;
}

void ViewController::presentAsSheet(ViewController *sheet)
{
    if (!sheet || sheet == this) {
        qCWarning(lcPlatformWidgets) << "presentAsSheet: no controller to present";
        return;
    }
    if (sheet->m_presenting) {
        qCWarning(lcPlatformWidgets) << "presentAsSheet:" << sheet->metaObject()->className()
                                     << "is already presented";
        return;
    }
    QWidget *host = window();
    if (!host)
        qCWarning(lcPlatformWidgets) << "presentAsSheet: the presenting view is in no window";

    sheet->setParent(this);
    sheet->m_presenting = this;
    m_presented.removeAll(nullptr);
    m_presented.append(sheet);

    QWidget *content = sheet->view();
    auto *dialog = new SheetDialog(host, content);
    sheet->m_sheet = dialog;
    sheet->viewWillAppear();
    dialog->open();
}

void ViewController::dismissController(ViewController *sheet)
{
    if (!sheet)
        return;
    if (sheet == this) {
        if (m_presenting)
            m_presenting->dismissController(this);
        return;
    }
    if (sheet->m_presenting != this)
        return;

    m_presented.removeAll(sheet);
    sheet->m_presenting = nullptr;
    if (SheetDialog *dialog = sheet->m_sheet) {
        sheet->m_sheet = nullptr;
        dialog->dismiss();
        dialog->deleteLater();
    }
    // Later, because dismissal is usually requested from a slot inside the sheet's own view.
    sheet->deleteLater();
}

void ViewController::performSegue(const QString &identifier, QObject *sender)
{
    storyboard()->performSegue(identifier, this, sender);
}

bool ViewController::shouldPerformSegue(const QString &, QObject *)
{
    return true;
}

void ViewController::prepareForSegue(Segue &, QObject *) {}
