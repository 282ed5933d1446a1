#pragma once

class Storyboard;

// Registers the session window, its views, the new-category sheet and the sheet's segue.
void registerSessionControllers(Storyboard &storyboard);
