// The X server's pointer, moved and clicked from a Windows test by starting xdotool (Wine
// runs Unix programs too). Wine then sees real motion and button events, as from a mouse.
#pragma once

#include <windows.h>

// Whether xdotool is installed (tools/bootstrap.sh installs it).
bool XPointerAvailable();

// Moves the pointer to a screen point and waits (at most a few seconds) until Windows
// reports it there.
bool MovePointer(int x, int y);

// Moves the pointer to a screen point and presses and releases the left button there. The
// click arrives asynchronously: wait for its effect.
bool ClickAt(int x, int y);
