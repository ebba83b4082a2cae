// The emulated device's stand-ins for the programs the soft keys start (device/), and real
// input as the stylus and the hardware keys give it.
#pragma once
#include "support/testing.h"

// A tap (press and release) at a screen point, as real input.
void Tap(int x, int y);
// A press held for ms milliseconds, trembling by the drag tolerance, then released (a tap-and-hold).
void Hold(int x, int y, DWORD ms);
// A press and release of a key, as real input to the foreground window.
void PressKey(WORD key);
// The stand-in programs started since the last reset, oldest first, each "PATH<tab>PARAMETERS"
// in lower case ("c:\windows\poutlook.exe\tcontacts"): once count of them have started and
// no other one followed for half a second.
std::vector<std::wstring> ProgramStarts(size_t count);
// Closes every stand-in program still showing and forgets the recorded starts.
void ResetProgramStarts();
