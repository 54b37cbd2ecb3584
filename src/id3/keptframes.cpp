#include "id3/keptframes.h"

#include <utility>

namespace mdlID3 {

int32_t CollectKeptFrame(KeptFrameList& list, KeptFrame frame) {
    frame.Size = static_cast<int32_t>(frame.Data.size());
    list.push_back(std::move(frame));
    const auto index = static_cast<int32_t>(list.size() - 1);
    UpgradeKeptFrame(list, index);
    return index;
}

}  // namespace mdlID3
