#pragma once
// A long job (writing parts, decoding for pauses) on a thread of its own while the window keeps
// painting. The caller waits for it in a local event loop; a window-modal progress dialog with a
// Cancel button keeps the user's hands off the window meanwhile.
#include <functional>

#include <QString>

class QWidget;

// Fraction done in 0..1; the job stops early when it returns false.
using JobProgress = std::function<bool(double fraction)>;

// Runs `job` and returns once it has finished. With `showDialog`, a progress dialog titled
// `label` appears over `owner` when the job takes longer than a moment. True when the user
// cancelled.
bool RunBackgroundJob(QWidget* owner, const QString& label, bool showDialog,
                      const std::function<void(const JobProgress&)>& job);
