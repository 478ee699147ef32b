// The picture box rules both controls follow: flags from the creation style, pictures read by
// name from the raw-data resources or from files, and the changes of BM_SETIMAGE and PBX_SETSTYLE.
#include "startup/picture_styles.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "resources/rcdata.h"
#include "script/text.h"
#include "state/engine_state.h"

namespace {
// Creation takes the first of these the style carries; the other rules look in this order.
constexpr uint32_t CREATION_TYPES[] = {PBS_RESOURCE, PBS_BITMAP, PBS_RESOURCE2, PBS_ICON};
constexpr uint32_t PICTURE_TYPES[] = {PBS_RESOURCE2, PBS_RESOURCE, PBS_BITMAP, PBS_ICON};

// "#n": the decimal resource id n; anything else names no resource.
bool resourceId(const char *name, int &id) {
    if (name[0] != '#' || name[1] == '\0') return false;
    char *end = nullptr;
    const long value = strtol(name + 1, &end, 10);
    if (*end != '\0' || value < 0 || value > 0xFFFF) return false;
    id = int(value);
    return true;
}

bool decode(const char *name, const unsigned char *bytes, size_t size, PictureBoxImage &image) {
    if (PictureBox_DecodeJpeg(bytes, size, image)) return true;
    fprintf(stderr, "vortan: picture '%s' not shown: %s\n", name, image.error);
    return false;
}
} // namespace

PictureBoxCreation PictureBox_CreationFlags(uint32_t style) {
    PictureBoxCreation made{PBS_AUTOSIZE, style};
    if (style & PBS_FIT) {
        made.flags = PBS_FIT;
        made.style &= ~PBS_FIT;
    } else if (style & PBS_AUTOSIZE) {
        made.style &= ~PBS_AUTOSIZE;
    }
    for (uint32_t type : CREATION_TYPES) {
        if (made.style & type) {
            made.flags |= type;
            made.style &= ~type;
            break;
        }
    }
    return made;
}

bool PictureBox_IsClassName(const char *className) {
    char name[PICTUREBOX_CLASS_SIZE];
    text_CopyBounded(name, className ? className : "");
    return strstr(name, PICTUREBOX_CLASS) != nullptr;
}

uint32_t PictureBox_PictureType(uint32_t flags) {
    for (uint32_t type : PICTURE_TYPES)
        if (flags & type) return type;
    return 0;
}

bool PictureBox_LoadPicture(const char *name, uint32_t flags, PictureBoxImage &image) {
    image = PictureBoxImage{};
    if (!name || !name[0]) return false;
    if (name[0] == '#') {
        int id = 0;
        if (!resourceId(name, id) || !(flags & (PBS_RESOURCE | PBS_RESOURCE2))) return false;
        const RcData data = resource_FindRcData(id);
        return data.bytes && decode(name, data.bytes, data.size, image);
    }
    std::vector<uint8_t> bytes;
    if (!engine_ReadFile(name, PICTUREBOX_MAX_FILE, &bytes) || bytes.empty()) return false;
    return decode(name, bytes.data(), bytes.size(), image);
}

uint32_t PictureBox_ImageFlags(uint32_t flags, uint32_t types) {
    return (flags & ~PictureBox_PictureType(flags)) | types;
}

PictureBoxStyle PictureBox_NewStyle(uint32_t flags, uint32_t newFlags, intptr_t size) {
    PictureBoxStyle style{};
    style.flags = newFlags | PictureBox_PictureType(flags);
    style.clientEdge = (style.flags & PBS_CLIENTEDGE) != 0;
    style.toggleBorder = (style.flags & PBS_TOGGLEBORDER) != 0;
    style.width = int(size & 0xFFFF);
    style.height = int((size >> 16) & 0xFFFF);
    style.resize = style.width != 0 && style.height != 0;
    return style;
}
