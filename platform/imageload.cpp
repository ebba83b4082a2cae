// placeholder until the image loader lands
#include "app/nimbra.h"
HBITMAP WINAPI SHLoadImageFile(LPCWSTR) { return nullptr; }
