// Pictures: the five flags load at the size of their place in the window and show their colours
// where the real flags have them; the program icon holds both sizes with a transparent outside.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app/resources/resource.h"
#include "picture.h"

namespace {

enum eColour { BLACK, WHITE, RED, BLUE, GREEN, YELLOW };

// The nearest of the basic flag colours.
eColour Classify(COLORREF c) {
  const struct {
    eColour colour;
    int r, g, b;
  } kBasic[] = {{BLACK, 0, 0, 0},    {WHITE, 255, 255, 255}, {RED, 200, 30, 40},
                {BLUE, 20, 40, 140}, {GREEN, 0, 140, 70},    {YELLOW, 245, 200, 0}};
  eColour best = BLACK;
  long bestDistance = -1;
  for (const auto& k : kBasic) {
    const long dr = GetRValue(c) - k.r, dg = GetGValue(c) - k.g, db = GetBValue(c) - k.b;
    const long distance = dr * dr + dg * dg + db * db;
    if (bestDistance < 0 || distance < bestDistance) {
      best = k.colour;
      bestDistance = distance;
    }
  }
  return best;
}

}  // namespace

TEST(Pictures, FlagsShowTheirColours) {
  // Points given as fractions of the picture (in tenths), with the colour expected there.
  struct sProbe {
    int x10, y10;
    eColour colour;
  };
  const struct {
    UINT id;
    std::vector<sProbe> probes;
  } flags[] = {
      {IDB_FLAG_US, {{1, 1, BLUE}, {9, 1, RED}, {9, 9, RED}, {7, 5, WHITE}}},
      {IDB_FLAG_GERMANY, {{5, 2, BLACK}, {5, 5, RED}, {5, 8, YELLOW}}},
      {IDB_FLAG_FRANCE, {{2, 5, BLUE}, {5, 5, WHITE}, {8, 5, RED}}},
      {IDB_FLAG_ITALY, {{2, 5, GREEN}, {5, 5, WHITE}, {8, 5, RED}}},
      {IDB_FLAG_SPAIN, {{5, 1, RED}, {8, 5, YELLOW}, {5, 9, RED}}},
  };
  for (const auto& flag : flags) {
    sPicture picture;
    ASSERT_TRUE(LoadPicture(flag.id, &picture)) << flag.id;
    // 20 x 10 dialog units of the window's font.
    EXPECT_EQ(30, picture.width) << flag.id;
    EXPECT_EQ(16, picture.height) << flag.id;
    for (const sProbe& probe : flag.probes) {
      const int x = (picture.width - 1) * probe.x10 / 10, y = (picture.height - 1) * probe.y10 / 10;
      EXPECT_EQ(probe.colour, Classify(picture.At(x, y)))
          << "flag " << flag.id << " at " << x << "," << y;
    }
  }
  // The US flag's stripes alternate below the canton.
  sPicture us;
  ASSERT_TRUE(LoadPicture(IDB_FLAG_US, &us));
  int changes = 0;
  for (int y = 2; y < us.height - 1; ++y) {
    if (Classify(us.At(us.width - 3, y)) != Classify(us.At(us.width - 3, y - 1))) ++changes;
  }
  EXPECT_GE(changes, 6);
}

TEST(Pictures, ProgramIconHasBothSizesAndATransparentOutside) {
  HMODULE hModule = GetModuleHandleW(nullptr);
  HRSRC hGroup = FindResourceW(hModule, MAKEINTRESOURCEW(IDI_PROGRAM),
                               reinterpret_cast<LPCWSTR>(RT_GROUP_ICON));
  ASSERT_NE(nullptr, hGroup);
  // The group directory: reserved, type, count, then 14-byte entries starting with the width.
  const BYTE* directory = static_cast<const BYTE*>(LockResource(LoadResource(hModule, hGroup)));
  ASSERT_NE(nullptr, directory);
  const int count = directory[4] | (directory[5] << 8);
  std::vector<int> widths;
  for (int i = 0; i < count; ++i) widths.push_back(directory[6 + 14 * i]);
  EXPECT_NE(widths.end(), std::find(widths.begin(), widths.end(), 16));
  EXPECT_NE(widths.end(), std::find(widths.begin(), widths.end(), 32));

  for (int size : {16, 32}) {
    HICON hIcon = static_cast<HICON>(
        LoadImageW(hModule, MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON, size, size, 0));
    ASSERT_NE(nullptr, hIcon) << size;
    // Drawn on magenta: the corner keeps the background, the middle is covered.
    HDC hScreen = GetDC(nullptr);
    HDC hdc = CreateCompatibleDC(hScreen);
    HBITMAP hTarget = CreateCompatibleBitmap(hScreen, size, size);
    HGDIOBJ hOld = SelectObject(hdc, hTarget);
    HBRUSH hMagenta = CreateSolidBrush(RGB(255, 0, 255));
    RECT all = {0, 0, size, size};
    FillRect(hdc, &all, hMagenta);
    EXPECT_TRUE(DrawIconEx(hdc, 0, 0, hIcon, size, size, 0, nullptr, DI_NORMAL));
    EXPECT_EQ(RGB(255, 0, 255), GetPixel(hdc, 0, 0)) << size;
    EXPECT_NE(RGB(255, 0, 255), GetPixel(hdc, size / 2, size / 2)) << size;
    SelectObject(hdc, hOld);
    DeleteObject(hMagenta);
    DeleteObject(hTarget);
    DeleteDC(hdc);
    ReleaseDC(nullptr, hScreen);
    DestroyIcon(hIcon);
  }
}
