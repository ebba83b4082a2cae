// The device's registry differences: key paths with a leading backslash, access mask 0, and
// the shell's one-call helpers (RegistryGetDWORD and friends), all over the desktop registry.
#define PLATFORM_IMPLEMENTATION
#include "platform/internal.h"

// The device accepts "\Software\Microsoft\Color"; the desktop refuses a leading backslash
// with ERROR_BAD_PATHNAME, so every key path loses it here.
static LPCWSTR DeviceKeyPath(LPCWSTR subKey)
{
    if (!subKey) return subKey;
    while (*subKey == L'\\') subKey++;
    return subKey;
}

// The device ignores the access mask and callers pass 0. On the desktop 0 grants nothing
// (the key opens, every read fails with ERROR_ACCESS_DENIED), so ask for reading and writing,
// and settle for reading where writing is refused.
LSTATUS PlatformRegOpenKeyExW(HKEY root, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result)
{
    subKey = DeviceKeyPath(subKey);
    if (access != 0) return RegOpenKeyExW(root, subKey, options, access, result);
    LSTATUS status = RegOpenKeyExW(root, subKey, options, KEY_READ | KEY_WRITE, result);
    if (status == ERROR_ACCESS_DENIED) status = RegOpenKeyExW(root, subKey, options, KEY_READ, result);
    return status;
}

LSTATUS PlatformRegCreateKeyExW(HKEY root, LPCWSTR subKey, DWORD reserved, LPWSTR cls, DWORD options,
                                REGSAM access, LPSECURITY_ATTRIBUTES sa, PHKEY result, LPDWORD disposition)
{
    subKey = DeviceKeyPath(subKey);
    if (access != 0)
        return RegCreateKeyExW(root, subKey, reserved, cls, options, access, sa, result, disposition);
    LSTATUS status = RegCreateKeyExW(root, subKey, reserved, cls, options, KEY_READ | KEY_WRITE, sa, result, disposition);
    if (status == ERROR_ACCESS_DENIED)
        status = RegCreateKeyExW(root, subKey, reserved, cls, options, KEY_READ, sa, result, disposition);
    return status;
}

// Reads a value into *bytes (*size bytes, followed by room for one more character), taken from
// the process heap for the caller to free; a failure HRESULT, and no buffer, otherwise.
static HRESULT QueryValue(HKEY root, LPCWSTR key, LPCWSTR value, BYTE **bytes, DWORD *size, DWORD *type)
{
    *bytes = nullptr;
    HKEY hkey;
    LSTATUS status = RegOpenKeyExW(root, DeviceKeyPath(key), 0, KEY_QUERY_VALUE, &hkey);
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    // The value can grow between asking its size and reading it: ask again then.
    for (int attempt = 0; attempt < 4; attempt++) {
        status = RegQueryValueExW(hkey, value, nullptr, type, nullptr, size);
        if (status != ERROR_SUCCESS) break;
        if (*size > REGISTRY_VALUE_LIMIT) {
            status = ERROR_INSUFFICIENT_BUFFER;
            break;
        }
        if (*bytes) HeapFree(GetProcessHeap(), 0, *bytes);
        *bytes = (BYTE *)HeapAlloc(GetProcessHeap(), 0, *size + sizeof(WCHAR));
        if (!*bytes) {
            status = ERROR_NOT_ENOUGH_MEMORY;
            break;
        }
        status = RegQueryValueExW(hkey, value, nullptr, type, *bytes, size);
        if (status != ERROR_MORE_DATA) break;
    }
    RegCloseKey(hkey);
    if (status != ERROR_SUCCESS && *bytes) {
        HeapFree(GetProcessHeap(), 0, *bytes);
        *bytes = nullptr;
    }
    return HRESULT_FROM_WIN32(status);
}

HRESULT WINAPI RegistryGetDWORD(HKEY root, LPCWSTR key, LPCWSTR value, DWORD *data)
{
    if (!data) return E_INVALIDARG;
    BYTE *bytes;
    DWORD size = 0, type = 0;
    HRESULT hr = QueryValue(root, key, value, &bytes, &size, &type);
    if (FAILED(hr)) return hr;
    if (type == REG_DWORD && size == sizeof(DWORD)) CopyMemory(data, bytes, sizeof(DWORD));
    else hr = HRESULT_FROM_WIN32(ERROR_DATATYPE_MISMATCH);
    HeapFree(GetProcessHeap(), 0, bytes);
    return hr;
}

HRESULT WINAPI RegistryGetString(HKEY root, LPCWSTR key, LPCWSTR value, LPWSTR data, UINT cch)
{
    if (!data || cch == 0) return E_INVALIDARG;
    data[0] = 0;
    BYTE *bytes;
    DWORD size = 0, type = 0;
    HRESULT hr = QueryValue(root, key, value, &bytes, &size, &type);
    if (FAILED(hr)) return hr;
    // A stored string need not carry its terminator, nor end on a whole character.
    WCHAR *text = (WCHAR *)bytes;
    size_t stored = size / sizeof(WCHAR);
    text[stored] = 0;
    if (type != REG_SZ && type != REG_EXPAND_SZ) hr = HRESULT_FROM_WIN32(ERROR_DATATYPE_MISMATCH);
    else if (TextLength(text, stored + 1) >= cch) hr = HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    else CopyText(data, cch, text);
    HeapFree(GetProcessHeap(), 0, bytes);
    return hr;
}

static HRESULT SetValue(HKEY root, LPCWSTR key, LPCWSTR value, DWORD type, const void *data, DWORD size)
{
    HKEY hkey;
    LSTATUS status = RegCreateKeyExW(root, DeviceKeyPath(key), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hkey, nullptr);
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    status = RegSetValueExW(hkey, value, 0, type, (const BYTE *)data, size);
    RegCloseKey(hkey);
    return HRESULT_FROM_WIN32(status);
}

HRESULT WINAPI RegistrySetDWORD(HKEY root, LPCWSTR key, LPCWSTR value, DWORD data)
{
    return SetValue(root, key, value, REG_DWORD, &data, sizeof data);
}

HRESULT WINAPI RegistrySetString(HKEY root, LPCWSTR key, LPCWSTR value, LPCWSTR data)
{
    if (!data) return E_INVALIDARG;
    return SetValue(root, key, value, REG_SZ, data, (DWORD)((lstrlenW(data) + 1) * sizeof(WCHAR)));
}

HRESULT WINAPI RegistryDeleteValue(HKEY root, LPCWSTR key, LPCWSTR value)
{
    HKEY hkey;
    LSTATUS status = RegOpenKeyExW(root, DeviceKeyPath(key), 0, KEY_SET_VALUE, &hkey);
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    status = RegDeleteValueW(hkey, value);
    RegCloseKey(hkey);
    return HRESULT_FROM_WIN32(status);
}
