#pragma once
// The tag library mdlID3: everything the windows and the command line use.
#include "files/filereader.h"
#include "id3/bytes.h"
#include "id3/chapters.h"
#include "id3/genres.h"
#include "id3/id3v1.h"
#include "id3/id3v2read.h"
#include "id3/id3v2write.h"
#include "id3/keptframes.h"
#include "id3/mpeginfo.h"
#include "id3/taginfo.h"
#include "text/textcodec.h"
