#pragma once

namespace korvane {

// ALSA and JACK print every failed connection attempt to stderr (no sound card, no JACK server);
// the sequencers say what went wrong in their own messages, so those lines are dropped. Safe to
// call more than once.
void QuietSoundBackends();

} // namespace korvane
