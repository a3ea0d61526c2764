// The picture gallery: one window with eight visible picture controls, for a person to look at
// the controls and for the screenshot tests. Not part of Setup.
#pragma once

// The message loop, until QuitGalleryLoop, the end of seconds (0 = no limit) or, with
// watchInput, a line "quit" or the end of standard input.
void RunGalleryLoop(int seconds, bool watchInput);
void QuitGalleryLoop();
