#include "edit/editrender.h"

#include <memory>
#include <vector>

#include <fcntl.h>

#include "files/descriptor.h"

SideInfoSource SideInfoFromFile(const std::string& source, const FrameTable& table) {
    auto file = std::make_shared<FileDescriptor>(OpenFile(source, O_RDONLY));
    return [file, &table](size_t i) -> std::optional<Layer3SideInfo> {
        if (!file->IsOpen() || i >= table.frames.size()) return std::nullopt;
        const MpegFrame& f = table.frames[i];
        std::vector<uint8_t> bytes(f.length);
        if (ReadAt(file->get(), bytes.data(), bytes.size(), f.offset) != static_cast<int64_t>(bytes.size()))
            return std::nullopt;
        Layer3SideInfo info;
        if (!ParseLayer3SideInfo(bytes, info)) return std::nullopt;
        return info;
    };
}

bool SaveEdited(const std::string& source, const FrameTable& table, const EditList& edits, const RenderOptions& options,
                const std::string& target, const ClipTags* tags, const ClipHook& finish,
                const RenderProgress& progress, RenderPlan& plan, std::string* error) {
    if (!PlanRender(table, edits, SideInfoFromFile(source, table), options, plan, error)) return false;
    return WriteRender(source, table, plan, target, tags, finish, progress, error, options.replaceExisting);
}
