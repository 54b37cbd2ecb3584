#pragma once
// A progress line for long command-line work ("label [#####     ]  42%"), redrawn in place with
// a carriage return. It is drawn only when its stream is a terminal: when stderr goes to a file or
// a pipe, scripts see nothing of it and their logs stay clean.
//
//   ProgressLine progress("Scanning frames");
//   SomeLongWork(..., progress.Callback());
//   progress.Finish();  // clears the line before the result is printed
#include <cstdio>
#include <functional>
#include <string>

class ProgressLine {
public:
    // On stderr.
    explicit ProgressLine(std::string label);
    // On `out`, drawn only if `out` is a terminal.
    ProgressLine(std::string label, FILE* out);
    // Clears the line if it is still shown.
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    bool Enabled() const { return out_ != nullptr; }
    // Share done, 0..1 (clamped). Redraws only when the whole percent shown changes.
    void Update(double fraction);
    // For work that reports through a std::function<void(double)>.
    std::function<void(double)> Callback();
    // Erases the line, so that what is printed next starts at the left margin.
    void Finish();

private:
    std::string label_;
    FILE* out_ = nullptr;
    int shownPercent_ = -1;
    size_t shownWidth_ = 0;
};
