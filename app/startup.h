// The process from its first to its last instruction on the UI thread: startup and the
// message loop, which WinMain (app/main/turnbell_main.cpp) runs in order, and the
// shutdown, which the window's destruction runs as Exit is chosen.
#pragma once

// Ends at once (false) when another copy of this user runs on the same settings store
// (the same Turnbell.ini, or the registry). Otherwise loads the icons, prepares the
// flash, registers the window class, creates the hidden mainWindow, adds the tray icon,
// loads the settings (asking for a user name when there is none) and starts the poller.
// False when the flash, the class, the window or the poller could not be set up;
// nothing set up before is undone then. appInstance must be set before.
bool startup();

int runMessageLoop();

// As Exit is chosen, before the poller is waited for: removes the tray icon, saves the
// settings and gives up the one-copy name, so that a copy started right after Exit runs
// on the saved settings and no dead icon stays on screen. The poller must have been told
// to stop (pollerRunning cleared) first: the save wakes it.
void shutdown();
