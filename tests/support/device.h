// The emulated device's shell and the stand-ins of the programs the soft keys start (device/),
// and real input as the stylus and the hardware keys give it.
#pragma once
#include "support/testing.h"

#define DEVICE_SHELL L"C:\\nimbra-device\\shell.exe"

// A tap (press and release) at a screen point, as real input.
void Tap(int x, int y);
// A press and release of a key, as real input to the foreground window.
void PressKey(WORD key);
// The stand-in programs started so far, oldest first, each as "PATH<tab>PARAMETERS" in lower
// case ("c:\windows\poutlook.exe\tcontacts").
std::vector<std::wstring> ProgramStarts();
// Closes every stand-in program still showing and forgets the recorded starts.
void ResetProgramStarts();
