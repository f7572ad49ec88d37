#pragma once
// Plays a "WAVE" resource straight from the module's image; `async` non-zero
// returns at once. 1 when sounds are off, 0 when the sound is missing or
// cannot be played.
int PlaySoundResource(unsigned id, int async);
