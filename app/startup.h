// The process from its first to its last instruction on the UI thread: startup, the
// message loop and the two shutdown steps. WinMain (app/main/turnbell_main.cpp) runs
// them in order.
#pragma once

// Ends at once (false) when another copy of this user runs on the same settings store
// (the same Turnbell.ini, or the registry). Otherwise loads the icons, prepares the
// flash, registers the window class, creates the hidden mainWindow, adds the tray icon,
// loads the settings (asking for a user name when there is none) and starts the poller.
// False when the flash, the class, the window or the poller could not be set up;
// nothing set up before is undone then. appInstance must be set before.
bool startup();

int runMessageLoop();
void shutdown();
