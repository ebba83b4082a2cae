// Resource ids, in bands per kind. A number serves two names only where noted below.
#pragma once

// The program's version: the About page and the version resource.
#define NIMBRA_VERSION "0.4.0"
#define NIMBRA_VERSION_WORDS 0,4,0,0

// Icons
#define IDI_NIMBRA          101

// Menu bar: the menu-bar template (RCDATA) and the menu its drop-down button opens share the id
#define IDR_MENUBAR         102

// Strings
#define IDS_PHONE           103
#define IDS_CONTACTS        104

// Dialog templates: the settings dialog and its four pages
#define IDD_PLUGINS_PAGE    107
#define IDD_SETTINGS        134
#define IDD_SETTINGS_PAGE   140
#define IDD_SOFTKEYS_PAGE   141
#define IDD_ABOUT_PAGE      142

// Controls of the settings dialog and its pages. Two numbers serve two pages each, under a
// name per page: 1008 (IDC_STARTUP, IDC_KEY_PATH) and 1022 (IDC_MANILA, IDC_VERSION).
#define IDC_PLUGIN_LIST     1002   // Plugins page
#define IDC_UP              1003
#define IDC_DOWN            1004
#define IDC_BROWSE          1005
#define IDC_USE_BACKGROUND  1006
#define IDC_STARTUP         1008
#define IDC_TITLE           1007   // Settings page
#define IDC_NO_COMMAND_BAR  1009
#define IDC_BIG_TRAY        1010
#define IDC_TABS            1011   // the dialog's tab control
#define IDC_APPLY_KEY       1012   // Soft Keys page
#define IDC_LOAD_KEY        1013
#define IDC_LEFT_KEY        1014
#define IDC_RIGHT_KEY       1015
#define IDC_REMOVE_KEY      1016
#define IDC_KEY_LABEL       1017
#define IDC_KEY_PATH        1008
#define IDC_CHOOSE_PROGRAM  1020
#define IDC_NIMBRA          1021
#define IDC_MANILA          1022
#define IDC_VERSION         1022   // About page

// Commands of the menu-bar template's buttons; the soft keys replace both at once
#define IDM_PHONE           40000
#define IDM_CONTACTS        40001

// Commands of the soft keys
#define IDM_LEFTKEY         32970
#define IDM_RIGHTKEY        32971

// The item of the menu bar's pop-up menu
#define IDM_CONTACTS_ITEM   65535
