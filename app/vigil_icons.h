#pragma once
#include <QIcon>

// The picture of an icon resource number (IconId): the three kinds, the program
// and the status icons. Drawn once per number; window thread only.
QIcon vigilIcon(int iconId);
