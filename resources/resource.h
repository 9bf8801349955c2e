// Resource identifiers shared by the resource script, the program and the
// Windows-side tests (which read the artwork back out of Lumidial.scr).
#pragma once

#define IDS_DISPLAY_NAME 1   // the name the screen-saver host lists

#define IDI_MAINICON 1

#define IDB_DIGIT0 100       // IDB_DIGIT0 + d holds the digit d, 220 x 325
#define IDB_DIGIT1 101
#define IDB_DIGIT2 102
#define IDB_DIGIT3 103
#define IDB_DIGIT4 104
#define IDB_DIGIT5 105
#define IDB_DIGIT6 106
#define IDB_DIGIT7 107
#define IDB_DIGIT8 108
#define IDB_DIGIT9 109
#define IDB_COLON 110        // 93 x 325
#define IDB_PREVIEW 111      // 160 x 120

#define IDM_MANIFEST 1
