#pragma once
// Builds the Qt application, the windows and their platform adapters, and runs the event loop.
// `openPath`, when given, is opened in the cutting window as Open does after its dialog.
int RunDesktop(int argc, char** argv, const char* openPath = nullptr);
