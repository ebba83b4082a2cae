/*
 * NimbraProbe: a Today item that records what its host does to it, for the host's tests.
 *
 * Register it like any item (HKLM "Software\Microsoft\Today\Items\<name>", "DLL" = the path
 * below, "Type" = 4) and steer it with the PROBE_* registry values of the same key, read when
 * InitializeCustomItem runs. A test in the host's process loads the same DLL by the same path
 * (ProbeApi::Load) to read the log; a test in another process sets "ProbeLogFile" and reads
 * that file. See README.md for the log lines.
 *
 * Names given to the functions below select probe items: "Alpha" means every item named
 * Alpha, "Alpha#2" only the second item named Alpha that this DLL created; null means all.
 */
#ifndef NIMBRA_PROBE_H
#define NIMBRA_PROBE_H

#include <windows.h>

/* Where the device installs the probe. The host and the test must load the same file, or each
   gets its own copy of the DLL with its own log. */
#define PROBE_DLL_PATH L"C:\\Program Files\\Nimbra\\plugins\\NimbraProbe.dll"
#define PROBE_CLASS L"NimbraProbeItem"

/* Registry values (all optional DWORDs but the log file). */
#define PROBE_HEIGHT        L"ProbeHeight"       /* cyp in pixels, signed; missing: 20 scaled with LOGPIXELSY */
#define PROBE_FAIL_CREATE   L"ProbeFailCreate"   /* InitializeCustomItem answers NULL */
#define PROBE_FAIL_DESTROY  L"ProbeFailDestroy"  /* the item destroys its window itself at the second CLEARCACHE */
#define PROBE_HOST_CALL     L"ProbeHostCall"     /* a message the item sends its host once, from inside... */
#define PROBE_HOST_CALL_AT  L"ProbeHostCallAt"   /* ...1 InitializeCustomItem, 2 QUERYREFRESHCACHE, 3 the second CLEARCACHE */
#define PROBE_LOG_FILE      L"ProbeLogFile"      /* REG_SZ: also append every log line (UTF-8, CRLF) to this file */

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
/* The next QUERYREFRESHCACHE of each selected item sets cyp to height. Answers the count. */
typedef int (*PFNPROBESETHEIGHT)(const wchar_t *name, int height);

#ifdef __cplusplus
}

#include <string>

/* The probe's functions, looked up in the copy of the DLL that the host loaded. */
struct ProbeApi {
    HMODULE Module = nullptr;
    PFNPROBEGETLOG GetLog = nullptr;
    PFNPROBECLEARLOG ClearLog = nullptr;
    PFNPROBECOUNT Count = nullptr;
    PFNPROBESETHEIGHT SetHeight = nullptr;

    /* Loads (or adds a reference to) the DLL; false when it or a function is missing. */
    bool Load()
    {
        Module = LoadLibraryW(PROBE_DLL_PATH);
        GetLog = (PFNPROBEGETLOG)Bind("ProbeGetLog");
        ClearLog = (PFNPROBECLEARLOG)Bind("ProbeClearLog");
        Count = (PFNPROBECOUNT)Bind("ProbeCount");
        SetHeight = (PFNPROBESETHEIGHT)Bind("ProbeSetHeight");
        return GetLog && ClearLog && Count && SetHeight;
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
        std::wstring text(static_cast<size_t>(GetLog(name, nullptr, 0)) + 1, L'\0');
        text.resize(static_cast<size_t>(GetLog(name, &text[0], static_cast<int>(text.size()))));
        return text;
    }

private:
    /* Through void *: a direct cast between function pointer types draws a warning. */
    void *Bind(const char *exportName) const
    {
        return Module ? reinterpret_cast<void *>(GetProcAddress(Module, exportName)) : nullptr;
    }
};
#endif

#endif
