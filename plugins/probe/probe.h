/*
 * NimbraProbe: a Today item that records what its host does to it, for the host's tests.
 *
 * Register it like any item (HKLM "Software\Microsoft\Today\Items\<name>", "DLL" = the path
 * below, "Type" = 4) and steer it with the PROBE_* registry values of the same key, read when
 * InitializeCustomItem runs. Every item appends its log lines to one file that tests in any
 * process can read; see README.md.
 */
#ifndef NIMBRA_PROBE_H
#define NIMBRA_PROBE_H

#define PROBE_DLL_PATH L"C:\\Program Files\\Nimbra\\plugins\\NimbraProbe.dll"
#define PROBE2_DLL_PATH L"C:\\Program Files\\Nimbra\\plugins\\NimbraProbe2.dll"   /* the same item, another DLL */
#define PROBE_LOG_PATH L"C:\\nimbra-tests\\probe.log"

/* Sent to an item window: the next QUERYREFRESHCACHE sets cyp to wParam. */
#define PROBE_SET_HEIGHT (WM_APP + 1)

/* Registry values, all optional DWORDs. */
#define PROBE_HEIGHT        L"ProbeHeight"       /* cyp in pixels; missing: 20 scaled with LOGPIXELSY */
#define PROBE_FAIL_CREATE   L"ProbeFailCreate"   /* InitializeCustomItem answers NULL */
#define PROBE_HOST_CALL     L"ProbeHostCall"     /* a message the item sends its host once, from inside... */
#define PROBE_HOST_CALL_AT  L"ProbeHostCallAt"   /* ...1 InitializeCustomItem, 2 QUERYREFRESHCACHE, 3 WM_DESTROY,
                                                    4 RECEIVEDSELECTION, 5 LOSTSELECTION, 6 USERNAVIGATION,
                                                    7 WM_PAINT, 8 WM_TIMER (of a 50 ms timer), 9 WM_LBUTTONDOWN,
                                                    10 WM_MOVE */
#define PROBE_HOST_CALL_ARG L"ProbeHostCallArg"  /* bits: how the host call is made (PROBE_ARG_*) */
#define PROBE_SELECT        L"ProbeSelect"       /* bits: 1 take the selection, 2 consume the arrow keys,
                                                    4 announce the selection (TOOKSELECTION) when offered it,
                                                    8 announce it again when told it lost it */
#define PROBE_WINDOW        L"ProbeWindow"       /* 1: InitializeCustomItem also stores its window in the record;
                                                    above 1: it answers this window handle instead */

/* ProbeHostCallArg bits: lParam is the item's name; WM_COPYDATA with the message as dwData and the
   name as data; a message box titled "ProbeBox" instead of a message; every time, not once. */
#define PROBE_ARG_NAME     1
#define PROBE_ARG_COPYDATA 2
#define PROBE_ARG_BOX      4
#define PROBE_ARG_EVERY    8

#endif
