#pragma once

#include <optional>

// Where each navigation command goes from position cur of a list of count positions, or nothing when
// it does not move. A page is twelve positions.
namespace Navigation {

int FirstFrameTarget();
int PrevPageTarget(int cur);
std::optional<int> PreviousFrameTarget(int cur);
std::optional<int> NextFrameTarget(int cur, int count);
int NextPageTarget(int cur, int count);
int LastFrameTarget(int count);
// Playback moves on by steps positions (more than one when ticks came late), past the last
// position round to the first.
int PlaybackTarget(int cur, int count, int steps);

} // namespace Navigation
