#pragma once
// Shared pieces of the tag editor tests: an offscreen QApplication, MP3 files built from bytes,
// and mutagen (an independent tag library) run through python3 to write fixtures and read results.
#include <map>
#include <string>

#include "support/testfiles.h"

namespace editortesting {

// Creates the process's QApplication on the offscreen platform on first use.
void EnsureApp();

// Adds ID3v2 text frames through mutagen. `frames` maps an identifier (TPE1, TIT2, COMM, WXXX,
// TXXX:desc...) to its text. `version` is 3 or 4. Drops an ID3v1 tag: append fixtures' v1 tags after.
void MutagenWriteV2(const std::string& path, const std::map<std::string, std::string>& frames,
                    int version = 3);

// The ID3v2 tag as mutagen reads it: identifier (COMM and WXXX/TXXX without their descriptions)
// to text, plus "version" -> "3"/"4", or {} when the file has no ID3v2 tag.
std::map<std::string, std::string> MutagenReadV2(const std::string& path);

// True when the file's last 128 bytes start with "TAG".
bool HasV1Tag(const std::string& path);

}  // namespace editortesting
