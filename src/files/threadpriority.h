#pragma once
// Work that reads a whole file in the background (the waveform, the frame walk) runs at a lower
// CPU and disk priority than the player, so that on a busy machine the sound after a seek never
// waits for it. Linux gives each thread its own nice value and I/O priority.
void LowerThisThreadsPriority();
