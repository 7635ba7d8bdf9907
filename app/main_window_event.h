#pragma once

// Events posted to the main window (postWindowEvent). They share one numbering
// with the Vigil status codes: a shown status arrives as the event of its number
// with the Vigil's identifier as first parameter. The second parameter is 0.
namespace MainWindowEvent {
constexpr int Close = 16;              // ends the run without storing the layout
constexpr int TimerTick = 275;         // the 20-second timer
constexpr int View = 445;              // an opened row
constexpr int LoadDone = 1036;         // vigil.dat read
constexpr int StatusLineText = 1037;   // first parameter: index into statusTexts
constexpr int VigilAdded = 1038;       // first parameter: position in vigilList
constexpr int ReleaseVigilLock = 1040; // first parameter: Vigil identifier
constexpr int SaveVigils = 1045;       // write vigil.dat (see requestVigilSave)
constexpr int StartupComplete = 1081;  // the rows are built
}  // namespace MainWindowEvent
