// placeholder until the item hosting work lands
#include "items/items.h"
HostedItem StaticItem;
HostedItem *Items = &StaticItem;
UINT ItemCount;
bool PluginListChanged;
void ReloadItems() {}
HWND LoadItem(UINT) { return nullptr; }
void UnloadAllItems() {}
void DisableSystemTodayItems() {}
LRESULT UnloadItemsNamed(LPCWSTR) { return 1; }
LRESULT ReloadAllItems() { return 0; }
