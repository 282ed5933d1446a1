#pragma once

class DesktopNotifier;
class SleepInhibitor;
class Storyboard;

// Registers the session window, its views, the new-category sheet and the sheet's segue. The
// upload views tell the desktop through notifier how their batches end (none: they do not), and
// keep the machine awake through inhibitor while a batch runs (none: they do not).
void registerSessionControllers(Storyboard &storyboard, DesktopNotifier *notifier = nullptr,
                                SleepInhibitor *inhibitor = nullptr);
