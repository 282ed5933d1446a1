#include "bookmarks/BookmarksStoryboard.h"

#include "bookmarks/BookmarksLogging.h"
#include "bookmarks/LMBookmarkAdvancedViewController.h"
#include "bookmarks/LMBookmarkEditViewController.h"
#include "bookmarks/LMBookmarksWindowController.h"
#include "platform/widgets/Storyboard.h"
#include "session/LMSessionWindowController.h"

Q_LOGGING_CATEGORY(lcBookmarks, "lumaro.bookmarks")

void registerBookmarkControllers(Storyboard &storyboard)
{
    using Segues = LMBookmarksWindowController::SegueIdentifiers;
    storyboard.registerController(LMBookmarksWindowController::StoryboardIdentifier,
                                  [] { return new LMBookmarksWindowController; });
    storyboard.registerController(LMBookmarkEditViewController::StoryboardIdentifier,
                                  [] { return new LMBookmarkEditViewController; });
    storyboard.registerController(LMBookmarkAdvancedViewController::StoryboardIdentifier,
                                  [] { return new LMBookmarkAdvancedViewController; });

    storyboard.registerSegue(Segues::newEditBookmarkViewController,
                             LMBookmarkEditViewController::StoryboardIdentifier, Segue::Kind::Sheet);
    storyboard.registerSegue(Segues::showEditBookmarkViewController,
                             LMBookmarkEditViewController::StoryboardIdentifier, Segue::Kind::Sheet);
    storyboard.registerSegue(Segues::showSessionCategoryViewController,
                             LMSessionWindowController::StoryboardIdentifier, Segue::Kind::Window);
    storyboard.registerSegue(
        LMBookmarkEditViewController::SegueIdentifiers::showBookmarkAdvancedViewController,
        LMBookmarkAdvancedViewController::StoryboardIdentifier, Segue::Kind::Sheet);
}
