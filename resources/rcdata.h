// Raw data resources built into the executable, found by their integer id.
#pragma once
#include <cstddef>

constexpr int RCDATA_BANNER = 3;   // the setup dialog's banner, a 577 x 98 baseline JPEG

struct RcData {
    const unsigned char *bytes;
    size_t size;
};

// The resource with this id; bytes is null and size 0 when the program has none.
RcData resource_FindRcData(int id);
