// sounds.h - synthesised sound effects for Wingzap.
#pragma once

#include <string>

// Writes the four game sounds into outDir as 22,050 Hz mono 16-bit PCM
// RIFF WAVE files:
//   shot.wav    gun shot that missed (bang, echo, ricochet whine)
//   spare.wav   spare "cluck cluck" (shipped, never played)
//   launch.wav  launch cackle with flapping wings
//   hit.wav     squawk of a hit chicken with a thump and feathers
// Output is byte-identical on every run. Returns false if any file could
// not be written.
bool WriteSounds(const std::string& outDir);
