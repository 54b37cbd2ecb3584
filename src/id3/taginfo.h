#pragma once
// The record of tag texts that the tag library, the tag editor and the command line exchange.
// Every text is UTF-8.
#include <string>

namespace mdlID3 {

struct ID3TagInfo {
    std::string Artist;
    std::string Album;
    std::string Title;
    std::string Year;
    std::string Genre;
    std::string Comment;
    std::string Track;
    std::string Encoder;
    std::string LinkTo;
    std::string Copyright;
    std::string Composer;
    std::string OrigArtist;
};

void ClearTagInfo(ID3TagInfo& info);

}  // namespace mdlID3
