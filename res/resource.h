// Resource ids, in bands per kind. Never reuse a number.
#pragma once

// Icons
#define IDI_NIMBRA          101

// Menu bar: the menu-bar template (RCDATA) and the menu its drop-down button opens share the id
#define IDR_MENUBAR         102

// Strings
#define IDS_PHONE           103
#define IDS_CONTACTS        104

// Dialog templates
#define IDD_SETTINGS        134

// Commands of the menu-bar template's buttons; the soft keys replace both at once
#define IDM_PHONE           40000
#define IDM_CONTACTS        40001

// Commands of the soft keys
#define IDM_LEFTKEY         32970
#define IDM_RIGHTKEY        32971

// The item of the menu bar's pop-up menu
#define IDM_CONTACTS_ITEM   65535
