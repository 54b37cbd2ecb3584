#pragma once
// What the cutting session asks of the tag editor: load a file when it is opened, show the editor
// on the open file, and write the editor's fields into a saved clip. Paths are UTF-8.
#include <string>

#include "clips/cliptags.h"

class TagHandOver {
public:
    virtual ~TagHandOver() = default;
    // Open: the editor loads the file's technical data and tags into its fields.
    virtual void LoadFile(const std::string& path, const std::string& fileTitle) = 0;
    // "View/Change  MP3 Info": point the editor at the open file and show it.
    virtual void ShowFor(const std::string& path, const std::string& fileTitle) = 0;
    // Save Selection: write the editor's fields into the clip. False, with a reason, on failure.
    virtual bool WriteInto(const std::string& clipPath, std::string* error) = 0;
    // The same tags as bytes that the clip is written with in one pass, when the editor can give
    // exactly what WriteInto would leave; false, and WriteInto runs on the clip, otherwise.
    virtual bool TagsForClip(ClipTags* /*tags*/) { return false; }
};
