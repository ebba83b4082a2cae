// The tabbed settings dialog. Its pages arrive with the settings dialog work; until then the
// dialog template does not exist and the dialog does not open.
#include "settings/settingsdialog.h"

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT msg, WPARAM, LPARAM)
{
    if (msg == WM_INITDIALOG) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}
