// Resource identifiers of the picture gallery: shared by its resource script and its code.
#pragma once

#define IDD_GALLERY 200   // the gallery window's template
#define IDC_CROPPED 1101  // the splash picture in crop mode: its top-left part at 1:1
#define IDC_FITTED 1102   // the splash picture scaled whole, its aspect kept
#define IDC_LOGO 1103     // a transparent hot-spot logo with the hand cursor; a press closes
#define IDC_GRID 1104     // a picture with an etched grid
#define IDC_FRAME 1105    // a control with every default: the bevel frame only
#define IDC_TEXTS 1106    // three shadowed text lines
#define IDC_MARQUEE 1107  // a line too wide for its control
#define IDC_BLINK 1108    // a blinking line
