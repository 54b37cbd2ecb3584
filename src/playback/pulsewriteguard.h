#pragma once
// Keeps a sound server that goes away during playback from freezing the program. Qt 6.4's
// PulseAudio sink returns from a failed write still holding PulseAudio's main-loop lock; when Qt
// then tears that connection down it waits for PulseAudio's thread, which waits for the lock, and
// the window hangs for good. The program's own pa_stream_begin_write and pa_stream_write stand in
// front of libpulse's (the executables export them, so Qt's calls reach them first): a write into
// a stream that is gone reports success and drops the sound, so Qt releases the lock, and the
// failure reaches the engine through the connection's own failure as it does otherwise.

// True when Qt's calls reach the guard in this process.
bool PulseWriteGuardActive();
