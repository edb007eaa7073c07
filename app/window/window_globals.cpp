#include "app/window/window_globals.h"

HINSTANCE hInstance = nullptr;
HWND hDialog = nullptr;
HWND hStatBar = nullptr;
HWND hMessageDialog = nullptr;
wchar_t szBuffer[WINDOW_TEXT_LEN] = L"";
