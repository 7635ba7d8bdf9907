#pragma once
#include <QIcon>

// The picture of an icon resource number (IconId): the three kinds, the program
// and the status icons; also the tool-bar bitmaps (BitmapId). Drawn once per
// number; window thread only.
QIcon vigilIcon(int iconId);

// The pictures of the tool-bar buttons.
namespace BitmapId {
constexpr int ResetAll = 1016;
constexpr int CheckAll = 1017;
constexpr int NewFtp = 1018;
constexpr int NewWeb = 1019;
constexpr int NewGopher = 1020;
}  // namespace BitmapId
