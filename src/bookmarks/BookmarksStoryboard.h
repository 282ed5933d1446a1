#pragma once

class Storyboard;

// Registers the bookmarks window, the bookmark editor and its advanced settings, and the segues
// out of them (the session window itself is registered by registerSessionControllers).
void registerBookmarkControllers(Storyboard &storyboard);
