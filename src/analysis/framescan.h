#pragma once
// Exact walk over the MPEG audio frames of a file: every frame header decoded, lengths followed,
// playing time summed from the samples per frame.
#include <string>

// Playing time in seconds from walking every frame; 0 when the file has no MPEG audio frames.
double ScanDurationSeconds(const std::string& path);
