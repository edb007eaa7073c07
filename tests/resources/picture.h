// Reads the pixels of a bitmap, for tests that look at the pictures.
#ifndef HALVEX_TESTS_RESOURCES_PICTURE_H
#define HALVEX_TESTS_RESOURCES_PICTURE_H

#include <windows.h>

#include <vector>

// The pixels of a bitmap, top row first, as 0x00RRGGBB.
struct sPicture {
  int width = 0, height = 0;
  std::vector<DWORD> pixels;
  COLORREF At(int x, int y) const {
    const DWORD p = pixels[static_cast<size_t>(y * width + x)];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
};

inline bool ReadPicture(HBITMAP hBitmap, sPicture* pPicture) {
  BITMAP info = {};
  if (!hBitmap || !GetObjectW(hBitmap, sizeof(info), &info)) return false;
  pPicture->width = info.bmWidth;
  pPicture->height = info.bmHeight;
  pPicture->pixels.assign(static_cast<size_t>(info.bmWidth * info.bmHeight), 0);
  BITMAPINFO request = {};
  request.bmiHeader.biSize = sizeof(request.bmiHeader);
  request.bmiHeader.biWidth = info.bmWidth;
  request.bmiHeader.biHeight = -info.bmHeight;  // top-down
  request.bmiHeader.biPlanes = 1;
  request.bmiHeader.biBitCount = 32;
  request.bmiHeader.biCompression = BI_RGB;
  HDC hdc = GetDC(nullptr);
  const int lines = GetDIBits(hdc, hBitmap, 0, static_cast<UINT>(info.bmHeight),
                              pPicture->pixels.data(), &request, DIB_RGB_COLORS);
  ReleaseDC(nullptr, hdc);
  return lines == info.bmHeight;
}

// A bitmap resource of the test program.
inline bool LoadPicture(UINT id, sPicture* pPicture) {
  HBITMAP hBitmap = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id));
  const bool bRead = ReadPicture(hBitmap, pPicture);
  if (hBitmap) DeleteObject(hBitmap);
  return bRead;
}

#endif  // HALVEX_TESTS_RESOURCES_PICTURE_H
