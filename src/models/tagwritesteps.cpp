#include "models/tagwritesteps.h"

#include "files/filereader.h"
#include "id3/id3v1.h"
#include "id3/id3v2write.h"

TagWriteSteps TagWriteSteps::Library() {
    TagWriteSteps steps;
    steps.makeWritable = [](const std::string& path) { return mdlID3::ClearReadOnly(path); };
    steps.removeV1 = [](const std::string& path) { return mdlID3::RemoveID3v1Tag(path, true); };
    steps.writeV1 = [](const std::string& path, const mdlID3::ID3TagInfo& info) {
        return mdlID3::WriteID3v1Tag(path, info, true);
    };
    steps.writeV2 = [](const std::string& path, const mdlID3::ID3TagInfo& info, int version, bool clearOld) {
        return mdlID3::WriteID3v2Tag(path, info, version, clearOld, true);
    };
    steps.v2Error = [] { return mdlID3::LastTagWriteError(); };
    steps.library = true;
    return steps;
}
