// A second connection to the X display for the test of the window layer's
// X error handling: it provokes errors and records those that reach the
// handler the test installed. Apart from the test so that Xlib's names do not
// meet the Win32 ones.
#pragma once

#include <vector>

// Opens the connection and installs the recording handler, standing in for
// Xlib's default one (which would end the process). False without a display.
bool OpenProbe();

// Asks the server where a window that has just been destroyed is, as SDL
// asks about the window manager's frame; true when the request failed.
bool AskAboutVanishedWindow();

// Asks for the name of an atom that does not exist (a BadAtom error).
void AskAboutMissingAtom();

// The error codes that reached the recording handler, in order.
std::vector<int> RecordedErrors();

// The codes of the two errors provoked.
int BadWindowCode();
int BadAtomCode();

void CloseProbe();
