#pragma once
// The steps of Update Info, one function each, so that a test can make any one of them fail and
// check that the file is put back. The program uses the tag library's routines.
#include <functional>
#include <string>

#include "id3/taginfo.h"

struct TagWriteSteps {
    // Gives the owner write permission when the file lacks it.
    std::function<bool(const std::string& path)> makeWritable;
    std::function<bool(const std::string& path)> removeV1;
    std::function<bool(const std::string& path, const mdlID3::ID3TagInfo& info)> writeV1;
    // `version` 0 writes 2.3, 1 writes 2.4; `clearOld` drops the old tag's other frames.
    std::function<bool(const std::string& path, const mdlID3::ID3TagInfo& info, int version, bool clearOld)> writeV2;
    // Why the last writeV2 failed ("" when it has no reason).
    std::function<std::string()> v2Error;
    // True for the tag library's own steps, whose result on a new clip the editor can also build
    // as bytes.
    bool library = false;

    static TagWriteSteps Library();
};
