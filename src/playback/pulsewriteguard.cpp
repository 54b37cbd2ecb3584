#include "playback/pulsewriteguard.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

// libpulse's types as far as these two calls need them; its headers are not a build dependency.
struct pa_stream;
using PaFreeCallback = void (*)(void*);
using BeginWrite = int (*)(pa_stream*, void**, size_t*);
using Write = int (*)(pa_stream*, const void*, size_t, PaFreeCallback, int64_t, int);

namespace {
// Where a write into a dead stream goes; only the GUI thread writes to the sink.
unsigned char sDropped[1 << 16];

template <typename F>
F Next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}
}  // namespace

extern "C" __attribute__((visibility("default"))) int pa_stream_begin_write(pa_stream* stream, void** data,
                                                                           size_t* bytes) {
    static const BeginWrite next = Next<BeginWrite>("pa_stream_begin_write");
    if (next && next(stream, data, bytes) == 0) return 0;
    *data = sDropped;
    *bytes = std::min(*bytes == static_cast<size_t>(-1) ? sizeof sDropped : *bytes, sizeof sDropped);
    return 0;
}

extern "C" __attribute__((visibility("default"))) int pa_stream_write(pa_stream* stream, const void* data,
                                                                     size_t bytes, PaFreeCallback freeData,
                                                                     int64_t offset, int seek) {
    static const Write next = Next<Write>("pa_stream_write");
    if (data == sDropped || !next) return 0;
    if (next(stream, data, bytes, freeData, offset, seek) == 0) return 0;
    if (freeData) freeData(const_cast<void*>(data));
    return 0;
}

bool PulseWriteGuardActive() {
    return dlsym(RTLD_DEFAULT, "pa_stream_begin_write") == reinterpret_cast<void*>(&pa_stream_begin_write) &&
           dlsym(RTLD_DEFAULT, "pa_stream_write") == reinterpret_cast<void*>(&pa_stream_write);
}
