#pragma once
// The tag editor behind the cutting window's hand-over: the model does the loading and writing,
// the window (built hidden on first use) shows it at "View/Change  MP3 Info".
#include <memory>

#include "models/taghandover.h"

class MessageBoxes;
class TagEditor;
class frmMain;

// Needs a QApplication. The editor window has no parent; the hand-over owns it and the model.
std::unique_ptr<TagHandOver> CreateTagHandOver(MessageBoxes* messages);
