#pragma once
// Ids of the program's texts in the string table. The resource script and the
// code both take them from here; the numbers themselves are fixed, since other
// builds and translations of the string table use the same ones.

#define IDS_WEB_PAGE 8003       // the product's web page address
#define IDS_HELP_FILE 8007      // the help file's name, in the program's folder
#define IDS_ENABLE 8012         // the switch's caption while blocking is off
#define IDS_DISABLE 8013        // the switch's caption while blocking is on
#define IDS_HINT_ENABLED 8014   // the tray icon's hint while blocking is on
#define IDS_HINT_DISABLED 8015  // the tray icon's hint while blocking is off
