#include "session/SessionStoryboard.h"

#include "platform/DesktopNotifier.h"
#include "platform/SleepInhibitor.h"
#include "platform/widgets/Storyboard.h"
#include "session/LMNewCategoryViewController.h"
#include "session/LMSessionCategoryViewController.h"
#include "session/LMSessionInitialViewController.h"
#include "session/LMSessionUploadViewController.h"
#include "session/LMSessionWindowController.h"

void registerSessionControllers(Storyboard &storyboard, DesktopNotifier *notifier, SleepInhibitor *inhibitor)
{
    storyboard.registerController(LMSessionWindowController::StoryboardIdentifier, [] {
        auto *session = new LMSessionWindowController;
        // Set before the window loads, so windowDidLoad finds it as the initial view.
        session->setContentViewController(new LMSessionInitialViewController);
        return session;
    });
    storyboard.registerController(LMSessionCategoryViewController::StoryboardIdentifier,
                                  [] { return new LMSessionCategoryViewController; });
    storyboard.registerController(
        LMSessionUploadViewController::StoryboardIdentifier,
        [notifier = QPointer<DesktopNotifier>(notifier), inhibitor = QPointer<SleepInhibitor>(inhibitor)] {
            auto *upload = new LMSessionUploadViewController;
            upload->setDesktopNotifier(notifier);
            upload->setSleepInhibitor(inhibitor);
            return upload;
        });
    storyboard.registerController(LMNewCategoryViewController::StoryboardIdentifier,
                                  [] { return new LMNewCategoryViewController; });
    storyboard.registerSegue(LMSessionCategoryViewController::SegueIdentifiers::showNewCategoryViewController,
                             LMNewCategoryViewController::StoryboardIdentifier, Segue::Kind::Sheet);
}
