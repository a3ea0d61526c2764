// Resource identifiers of Setup: shared by the resource script and the code that loads them.
#pragma once

#define IDI_SETUP 128      // icon group, 48, 32 and 16 pixels; the program file's icon
#define IDB_SPLASH 131     // splash picture, 550 x 300, 24 bits per pixel, packed (RCDATA)
#define IDD_SPLASH 138     // splash window template
#define IDC_PROGRESS 1000  // progress bar of the splash window
#define IDC_PICTURE 1026   // hidden placeholder that gives the picture its rectangle
