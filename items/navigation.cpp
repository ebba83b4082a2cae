// Selection and keyboard navigation: owns SelectedItem and SelectedIcon.
// The keyboard handling arrives with the navigation work; until then keys are swallowed.
#include "items/navigation.h"

int SelectedItem = -1;
int SelectedIcon = -1;

void HandleNavigationKey(WPARAM, LPARAM) {}

void HandleTookSelection(HWND) {}

void DropSelection()
{
    SelectedItem = -1;
    SelectedIcon = -1;
}
