#include "id3/keptframes.h"

#include <utility>

namespace mdlID3 {

std::vector<KeptFrame>& KeptFrames() {
    static std::vector<KeptFrame> frames;
    return frames;
}

int32_t KeptFrameCount() { return static_cast<int32_t>(KeptFrames().size()); }

void ClearKeptFrames() { KeptFrames().clear(); }

int32_t CollectKeptFrame(KeptFrame frame) {
    frame.Size = static_cast<int32_t>(frame.Data.size());
    auto& frames = KeptFrames();
    frames.push_back(std::move(frame));
    auto index = static_cast<int32_t>(frames.size() - 1);
    UpgradeKeptFrame(index);
    return index;
}

}  // namespace mdlID3
