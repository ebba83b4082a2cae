// Resource ids, in bands per kind. Never reuse a number.
#pragma once

// Icons
#define IDI_NIMBRA          101

// Strings
#define IDS_PHONE           103
#define IDS_CONTACTS        104

// Dialog templates
#define IDD_SETTINGS        134

// Commands
#define IDM_LEFTKEY         32970
#define IDM_RIGHTKEY        32971
