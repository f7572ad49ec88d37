// Whether a full-screen program is in front: a game, a film or a slide show,
// which a chicken that freezes the screen, takes the keyboard and plays a
// sound must not land in.
#pragma once

bool FullScreenProgramInFront();
