// The TGA writer: header, optional colour map, raw or run-length encoded pixels.
#include "tools/texgen/tga_write.h"

#include <cstdio>
#include <cstring>
#include <map>

namespace {

void put16(std::vector<uint8_t> &out, int v) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

// One pixel as the file stores it: BGR(A), grey, or a map index.
using FilePixel = std::vector<uint8_t>;

void writeRle(std::vector<uint8_t> &out, const std::vector<FilePixel> &pixels) {
    size_t i = 0, n = pixels.size();
    while (i < n) {
        size_t run = 1;
        while (i + run < n && run < 128 && pixels[i + run] == pixels[i]) ++run;
        if (run >= 2) {
            out.push_back(static_cast<uint8_t>(0x80 | (run - 1)));
            out.insert(out.end(), pixels[i].begin(), pixels[i].end());
            i += run;
            continue;
        }
        // Raw packet: up to 128 pixels, ending where a run of two begins.
        size_t count = 1;
        while (i + count < n && count < 128 && !(i + count + 1 < n && pixels[i + count] == pixels[i + count + 1]))
            ++count;
        out.push_back(static_cast<uint8_t>(count - 1));
        for (size_t k = 0; k < count; ++k) out.insert(out.end(), pixels[i + k].begin(), pixels[i + k].end());
        i += count;
    }
}

} // namespace

std::vector<uint8_t> tgawrite_Encode(const uint8_t *pixels, int width, int height, int components,
                                     const TgaWriteOptions &options) {
    int base = options.imageType & 7;
    bool rle = (options.imageType & 8) != 0;
    bool typeOk = (options.imageType & ~0xB) == 0 && base >= 1 && base <= 3;
    bool componentsOk = base == 3 ? components == 1 : (components == 3 || components == 4);
    if (!typeOk || !componentsOk || width < 1 || height < 1 || width > 65535 || height > 65535 ||
        options.imageId.size() > 255)
        return {};

    // Pixels in file order, each as the file stores it.
    std::vector<FilePixel> filePixels;
    filePixels.reserve(static_cast<size_t>(width) * height);
    std::map<FilePixel, int> palette;
    std::vector<FilePixel> mapEntries;
    for (int fileRow = 0; fileRow < height; ++fileRow) {
        int row = options.topFirst ? height - 1 - fileRow : fileRow;
        for (int fileColumn = 0; fileColumn < width; ++fileColumn) {
            int column = options.rightToLeft ? width - 1 - fileColumn : fileColumn;
            const uint8_t *p = pixels + (static_cast<size_t>(row) * width + column) * components;
            FilePixel stored(p, p + components);
            if (components >= 3) std::swap(stored[0], stored[2]);
            if (base == 1) {
                auto found = palette.find(stored);
                if (found == palette.end()) {
                    if (mapEntries.size() == 256) return {};
                    found = palette.emplace(stored, static_cast<int>(mapEntries.size())).first;
                    mapEntries.push_back(stored);
                }
                int index = found->second + options.mapFirst;
                if (index > 255) return {};
                stored.assign(1, static_cast<uint8_t>(index));
            }
            filePixels.push_back(std::move(stored));
        }
    }

    std::vector<uint8_t> out;
    out.push_back(static_cast<uint8_t>(options.imageId.size()));
    out.push_back(base == 1 ? 1 : 0);
    out.push_back(static_cast<uint8_t>(options.imageType));
    put16(out, base == 1 ? options.mapFirst : 0);
    put16(out, static_cast<int>(mapEntries.size()));
    out.push_back(base == 1 ? static_cast<uint8_t>(components * 8) : 0);
    put16(out, 0); // x origin
    put16(out, 0); // y origin
    put16(out, width);
    put16(out, height);
    out.push_back(static_cast<uint8_t>(base == 2 ? components * 8 : 8));
    uint8_t descriptor = (options.topFirst ? 0x20 : 0) | (options.rightToLeft ? 0x10 : 0);
    if (base == 2 && components == 4) descriptor |= 8; // eight alpha bits
    if (base == 1 && components == 4) descriptor |= 8;
    out.push_back(descriptor);
    out.insert(out.end(), options.imageId.begin(), options.imageId.end());
    for (const FilePixel &entry : mapEntries) out.insert(out.end(), entry.begin(), entry.end());
    if (rle) {
        writeRle(out, filePixels);
    } else {
        for (const FilePixel &p : filePixels) out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

bool tgawrite_Save(const char *path, const uint8_t *pixels, int width, int height, int components,
                   const TgaWriteOptions &options) {
    std::vector<uint8_t> bytes = tgawrite_Encode(pixels, width, height, components, options);
    if (bytes.empty()) return false;
    FILE *file = fopen(path, "wb");
    if (!file) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = fclose(file) == 0 && ok;
    return ok;
}
