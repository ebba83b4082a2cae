// The entry routine: everything else is in the nimbra_core library.
#include "app/app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int showCommand)
{
    return NimbraMain(instance, commandLine, showCommand);
}
