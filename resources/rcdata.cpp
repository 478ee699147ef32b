// Raw data resources: the table of ids and the bytes that the build embedded.
#include "resources/rcdata.h"

extern const unsigned char resource_bannerJpeg[];
extern const size_t resource_bannerJpegSize;

RcData resource_FindRcData(int id) {
    if (id == RCDATA_BANNER) return {resource_bannerJpeg, resource_bannerJpegSize};
    return {nullptr, 0};
}
