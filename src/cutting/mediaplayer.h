#pragma once
// The player interface lives with the playback engine that implements it.
#include "playback/mediaplayer.h"
