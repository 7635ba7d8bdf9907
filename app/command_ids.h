#pragma once

// The ids of the main window's menus, menu items, tool-bar buttons and pop-up
// items. A menu item's id is also its command id.
namespace CommandId {
// Menu bar
constexpr int VigilMenu = 308;
constexpr int UrlMenu = 1198;
constexpr int ActionsMenu = 366;
constexpr int SettingsMenu = 425;
constexpr int DisplayMenu = 1075;
constexpr int HelpMenu = 356;
constexpr int NewMenu = 374;
constexpr int SortMenu = 941;
constexpr int ColumnsMenu = 1194;
constexpr int ButtonsMenu = 1195;

// Vigil
constexpr int CheckSelected = 442;
constexpr int ResetSelected = 443;
constexpr int ViewSelected = 445;
constexpr int ViewInNewWindow = 1263;
constexpr int StartWatching = 488;
constexpr int StopWatching = 444;
constexpr int NewWeb = 375;
constexpr int NewFtp = 376;
constexpr int NewGopher = 377;
constexpr int Edit = 420;
constexpr int Delete = 446;
constexpr int Exit = 1196;

// URL
constexpr int CopyUrl = 1199;
constexpr int PasteUrl = 1200;

// Actions
constexpr int CheckAll = 367;
constexpr int ResetAll = 378;
constexpr int StartWatchingAll = 712;
constexpr int StopWatchingAll = 447;
constexpr int SortByDescription = 942;
constexpr int SortByLastChecked = 943;
constexpr int SortByLastChanged = 1015;
constexpr int SortByStatus = 944;
constexpr int SortByType = 982;
constexpr int Import = 1039;

// Settings
constexpr int OpenProgramSettings = 426;

// Display
constexpr int Font = 1209;
constexpr int ShowStatus = 1076;
constexpr int ShowChecked = 1077;
constexpr int ShowChanged = 1078;
constexpr int ShowToolbar = 705;
constexpr int TextAndIcons = 1021;
constexpr int TextOnly = 1022;
constexpr int IconsOnly = 1023;
constexpr int StatusIcons = 1238;
constexpr int SmallIcons = 1014;

// Help
constexpr int HelpContents = 938;
constexpr int HelpIndex = 364;
constexpr int About = 428;
constexpr int HomePage = 1245;

// Pop-up menus only
constexpr int Details = 481;
constexpr int ResetConnection = 937;

// Tool-bar buttons
constexpr int ButtonCheckAll = 695;
constexpr int ButtonResetAll = 697;
constexpr int ButtonNewWeb = 699;
constexpr int ButtonNewFtp = 701;
constexpr int ButtonNewGopher = 703;
}  // namespace CommandId

// The pop-up menus of the list: several rows, one Web or Gopher row, one FTP row.
namespace PopUpMenuId {
constexpr int Selection = 1246;
constexpr int WebOrGopher = 436;
constexpr int Ftp = 480;
}  // namespace PopUpMenuId

// Help panels the windows ask for by number.
namespace HelpPanel {
constexpr int Contents = 2000;
constexpr int VigilList = 100;
constexpr int Keys = 1000;
constexpr int FtpSettings = 700;
constexpr int WebSettings = 800;
constexpr int GopherSettings = 900;
constexpr int NotebookFirst = 201;  // the seven notebook pages: 201 to 207
constexpr int NotebookLast = 207;
constexpr int Import = 300;
}  // namespace HelpPanel
