// Resource ids of the clock item's options page.
#pragma once
#define IDD_CLOCK_OPTIONS 500
#define IDC_CLOCK_ONE_LINE 501
#define IDC_CLOCK_SECONDS 502
