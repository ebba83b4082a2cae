/*
 * NimbraProbe: a Today item that records what its host does to it, for the host's tests.
 *
 * Register it like any item (HKLM "Software\Microsoft\Today\Items\<name>", "DLL" = the path
 * below, "Type" = 4) and steer it with the PROBE_* registry values of the same key, read when
 * InitializeCustomItem runs. A test in the host's process loads the same DLL by the same path
 * (ProbeApi::Load) to read the log and steer live probe items; a test in another process sets
 * "ProbeLogFile" and reads that file. See README.md for the log format.
 *
 * Names given to the functions below select probe items: "Alpha" means every live item named
 * Alpha, "Alpha#2" only the second item named Alpha that this DLL created (items are numbered
 * from 1 per name, in creation order, for as long as the DLL stays loaded); null means all.
 */
#ifndef NIMBRA_PROBE_H
#define NIMBRA_PROBE_H

#include <windows.h>

/* Where the device installs the probe. The host and the test must load the same file, or each
   gets its own copy of the DLL with its own log. */
#define PROBE_DLL_PATH L"C:\\Program Files\\Nimbra\\plugins\\NimbraProbe.dll"
#define PROBE_CLASS L"NimbraProbeItem"

/* Registry values (all optional). DWORDs are read as signed where a height is meant. */
#define PROBE_HEIGHT            L"ProbeHeight"            /* DWORD: cyp in pixels, exactly (0, negative, huge allowed); missing: 20 scaled with LOGPIXELSY */
#define PROBE_NEXT_HEIGHT       L"ProbeNextHeight"        /* DWORD: height taken at the first QUERYREFRESHCACHE */
#define PROBE_HEIGHT_SEQUENCE   L"ProbeHeightSequence"    /* REG_SZ "30,40,-5": one height per QUERYREFRESHCACHE (after ProbeNextHeight) */
#define PROBE_HEIGHT_TIMER      L"ProbeHeightTimer"       /* DWORD ms: take the sequence's heights on a timer instead; the next query reports them */
#define PROBE_REFRESH_ON_TIMER  L"ProbeRefreshOnTimer"    /* DWORD: after each timer step send TODAYM_REQUESTREFRESH */
#define PROBE_ALWAYS_REFRESH    L"ProbeAlwaysRefresh"     /* DWORD: answer every QUERYREFRESHCACHE with TRUE, even with cyp unchanged */
#define PROBE_REFRESH_IN_QUERY  L"ProbeRefreshInQuery"    /* DWORD n: the first n (outermost) queries send TODAYM_REQUESTREFRESH before answering */
#define PROBE_ACCEPT_SELECTION  L"ProbeAcceptSelection"   /* DWORD, default 1: answer to RECEIVEDSELECTION */
#define PROBE_CONSUME_KEYS      L"ProbeConsumeKeys"       /* DWORD bits: 1 left, 2 up, 4 right, 8 down: USERNAVIGATION answers TRUE for them */
#define PROBE_CONSUME_COUNT     L"ProbeConsumeCount"      /* DWORD: consume at most this many keys per selection (0: no limit) */
#define PROBE_TAKE_ON_TAP       L"ProbeTakeSelectionOnTap"      /* DWORD: a tap sends TODAYM_TOOKSELECTION and selects the item */
#define PROBE_TAKE_IN_RECEIVED  L"ProbeTakeSelectionInReceived" /* DWORD: RECEIVEDSELECTION sends TODAYM_TOOKSELECTION first */
#define PROBE_FAIL_CREATE       L"ProbeFailCreate"        /* DWORD: InitializeCustomItem answers NULL (no window) */
#define PROBE_FAIL_DESTROY      L"ProbeFailDestroy"       /* DWORD: 1 the window belongs to a thread of the probe, so the host's
                                                             DestroyWindow fails with ERROR_ACCESS_DENIED; 2 the item destroys its
                                                             window itself at the second CLEARCACHE, so the host's DestroyWindow
                                                             fails (Windows: ERROR_INVALID_WINDOW_HANDLE; Wine
                                                             answers ERROR_ACCESS_DENIED for a missing window too) */
#define PROBE_FILL_COLOR        L"ProbeFillColor"         /* DWORD COLORREF: fill the item with it instead of the watermark */
#define PROBE_DRAW_TEXT         L"ProbeDrawText"          /* DWORD, default 1: draw "<name>#<n> <cyp>" in the host's colour */
#define PROBE_LOG_FILE          L"ProbeLogFile"           /* REG_SZ: also append every log line (UTF-8, CRLF) to this file */

#ifdef __cplusplus
extern "C" {
#endif

/* Log lines of the selected items, each ended by '\n', into buf (cap characters with the
   terminator; truncated when short). Answers the full length in characters. */
typedef int (*PFNPROBEGETLOG)(const wchar_t *name, wchar_t *buf, int cap);
/* Empties the log (item numbering goes on). */
typedef void (*PFNPROBECLEARLOG)(void);
/* Number of live probe windows selected. */
typedef int (*PFNPROBECOUNT)(const wchar_t *name);
/* The window of the first live item selected, or NULL. */
typedef HWND (*PFNPROBEWINDOW)(const wchar_t *name);
/* The next QUERYREFRESHCACHE of each selected item sets cyp to height. Answers the count. */
typedef int (*PFNPROBESETHEIGHT)(const wchar_t *name, int height);
/* Changes a DWORD option (a PROBE_* name) of live items. Answers the count, 0 for an unknown option. */
typedef int (*PFNPROBESETOPTION)(const wchar_t *name, const wchar_t *option, DWORD value);
/* Sends msg to the parent of the first selected item and answers the result (-1: no item). */
typedef LRESULT (*PFNPROBEQUERYHOST)(const wchar_t *name, UINT msg, WPARAM wParam, LPARAM lParam);
/* The colour the host answered at the item's last paint for TODAYCOLOR_* index, or CLR_INVALID. */
typedef COLORREF (*PFNPROBEGETLASTCOLOR)(const wchar_t *name, DWORD index);
/* Asks every window made by ProbeFailDestroy=1 that the host could not destroy to go away
   (asynchronously: pump until ProbeCount drops). Answers how many were asked. */
typedef int (*PFNPROBEDESTROYSTRANDED)(void);

#ifdef __cplusplus
}

#include <string>

/* The probe's functions, looked up in the copy of the DLL that the host loaded. */
struct ProbeApi {
    HMODULE Module = nullptr;
    PFNPROBEGETLOG GetLog = nullptr;
    PFNPROBECLEARLOG ClearLog = nullptr;
    PFNPROBECOUNT Count = nullptr;
    PFNPROBEWINDOW Window = nullptr;
    PFNPROBESETHEIGHT SetHeight = nullptr;
    PFNPROBESETOPTION SetOption = nullptr;
    PFNPROBEQUERYHOST QueryHost = nullptr;
    PFNPROBEGETLASTCOLOR GetLastColor = nullptr;
    PFNPROBEDESTROYSTRANDED DestroyStranded = nullptr;

    /* Loads (or adds a reference to) the DLL; false when it or a function is missing. */
    bool Load(const wchar_t *path = PROBE_DLL_PATH)
    {
        Module = LoadLibraryW(path);
        if (!Module)
            return false;
        Bind(GetLog, "ProbeGetLog");
        Bind(ClearLog, "ProbeClearLog");
        Bind(Count, "ProbeCount");
        Bind(Window, "ProbeWindow");
        Bind(SetHeight, "ProbeSetHeight");
        Bind(SetOption, "ProbeSetOption");
        Bind(QueryHost, "ProbeQueryHost");
        Bind(GetLastColor, "ProbeGetLastColor");
        Bind(DestroyStranded, "ProbeDestroyStranded");
        return GetLog && ClearLog && Count && Window && SetHeight && SetOption && QueryHost &&
               GetLastColor && DestroyStranded;
    }
    /* Drops this reference; the DLL stays while the host still holds it. */
    void Unload()
    {
        if (Module)
            FreeLibrary(Module);
        Module = nullptr;
    }
    /* The log of the selected items (null: all) as one string of '\n'-ended lines. */
    std::wstring Log(const wchar_t *name = nullptr) const
    {
        int length = GetLog(name, nullptr, 0);
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        GetLog(name, &text[0], length + 1);
        text.resize(static_cast<size_t>(length));
        return text;
    }

private:
    template <class Function> void Bind(Function &function, const char *exportName) const
    {
        /* Through void *: a direct cast between function pointer types draws a warning. */
        function = reinterpret_cast<Function>(reinterpret_cast<void *>(GetProcAddress(Module, exportName)));
    }
};
#endif

#endif
