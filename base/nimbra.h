// What every source file of the program includes: the Win32 API, the Pocket PC shell calls
// and the bounded text helpers, plus the values every layer shares (base/program.h).
#pragma once
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>
#include "platform/aygshell.h"
#include "platform/text.h"
#include "base/program.h"
