// placeholder until the platform work lands
#define PLATFORM_IMPLEMENTATION
#include "app/nimbra.h"
static DWORD FullScreenState;
BOOL WINAPI SHFullScreen(HWND, DWORD state) { FullScreenState = state; return TRUE; }
DWORD SHFullScreenState(HWND) { return FullScreenState; }
BOOL WINAPI SHHandleWMActivate(HWND, WPARAM, LPARAM, SHACTIVATEINFO *, DWORD) { return TRUE; }
BOOL WINAPI SHHandleWMSettingChange(HWND, WPARAM, LPARAM, SHACTIVATEINFO *) { return TRUE; }
BOOL WINAPI SHInitExtraControls(void) { return TRUE; }
DWORD WINAPI SHRecognizeGesture(SHRGINFO *) { return 0; }
BOOL WINAPI SHCreateMenuBar(SHMENUBARINFO *) { return FALSE; }
BOOL WINAPI SHInitDialog(SHINITDLGINFO *) { return TRUE; }
HRESULT WINAPI RegistryGetDWORD(HKEY, LPCWSTR, LPCWSTR, DWORD *) { return E_FAIL; }
HRESULT WINAPI RegistryGetString(HKEY, LPCWSTR, LPCWSTR, LPWSTR data, UINT cch) { if (cch) data[0] = 0; return E_FAIL; }
HRESULT WINAPI RegistrySetDWORD(HKEY, LPCWSTR, LPCWSTR, DWORD) { return E_FAIL; }
HRESULT WINAPI RegistrySetString(HKEY, LPCWSTR, LPCWSTR, LPCWSTR) { return E_FAIL; }
HRESULT WINAPI RegistryDeleteValue(HKEY, LPCWSTR, LPCWSTR) { return E_FAIL; }
BOOL WINAPI SHCreateShortcut(LPWSTR, LPWSTR) { return FALSE; }
FARPROC GetProcAddressW(HMODULE module, LPCWSTR procName) { return GetProcAddress(module, (LPCSTR)procName); }
bool ReadMessageText(LPARAM, WCHAR *, size_t) { return false; }
void PostTodayRefresh(WPARAM, LPARAM) {}
HWND PlatformCreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{ return CreateWindowExW(exStyle, className, windowName, style, x, y, width, height, parent, menu, instance, param); }
BOOL PlatformSetForegroundWindow(HWND hwnd) { return SetForegroundWindow((HWND)((ULONG_PTR)hwnd & ~(ULONG_PTR)1)); }
BOOL PlatformPostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) { return PostMessageW(hwnd, msg, wParam, lParam); }
LSTATUS PlatformRegOpenKeyExW(HKEY root, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result) { return RegOpenKeyExW(root, subKey, options, access, result); }
LSTATUS PlatformRegCreateKeyExW(HKEY root, LPCWSTR subKey, DWORD reserved, LPWSTR cls, DWORD options, REGSAM access, LPSECURITY_ATTRIBUTES sa, PHKEY result, LPDWORD disposition)
{ return RegCreateKeyExW(root, subKey, reserved, cls, options, access, sa, result, disposition); }
