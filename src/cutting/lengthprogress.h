#pragma once
// The length-progress seam lives with the playback engine that implements it.
#include "playback/lengthprogress.h"
