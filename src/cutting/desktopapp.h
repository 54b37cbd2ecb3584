#pragma once
// Builds the Qt application, the windows and their platform adapters, and runs the event loop.
int RunDesktop(int argc, char** argv);
