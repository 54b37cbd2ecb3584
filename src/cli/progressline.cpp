#include "cli/progressline.h"

#include <algorithm>
#include <cmath>

#include <unistd.h>

namespace {

constexpr int kBarWidth = 24;

}  // namespace

ProgressLine::ProgressLine(std::string label) : ProgressLine(std::move(label), stderr) {}

ProgressLine::ProgressLine(std::string label, FILE* out) : label_(std::move(label)) {
    if (out && isatty(fileno(out))) out_ = out;
}

ProgressLine::~ProgressLine() { Finish(); }

void ProgressLine::Update(double fraction) {
    if (!out_) return;
    if (!(fraction >= 0.0)) fraction = 0.0;  // NaN too
    fraction = std::min(fraction, 1.0);
    const int percent = static_cast<int>(std::floor(fraction * 100.0));
    if (percent == shownPercent_) return;
    shownPercent_ = percent;
    const int filled = static_cast<int>(std::floor(fraction * kBarWidth));
    std::string line = label_ + " [" + std::string(filled, '#') + std::string(kBarWidth - filled, ' ') + "] ";
    char number[8];
    std::snprintf(number, sizeof number, "%3d%%", percent);
    line += number;
    shownWidth_ = std::max(shownWidth_, line.size());
    std::fprintf(out_, "\r%s", line.c_str());
    std::fflush(out_);
}

std::function<void(double)> ProgressLine::Callback() {
    return [this](double fraction) { Update(fraction); };
}

void ProgressLine::Finish() {
    if (!out_ || shownWidth_ == 0) return;
    std::fprintf(out_, "\r%s\r", std::string(shownWidth_, ' ').c_str());
    std::fflush(out_);
    shownWidth_ = 0;
    shownPercent_ = -1;
}
