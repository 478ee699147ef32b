// The TGA reader: colour-mapped, true-colour and greyscale pictures, raw or run-length encoded,
// decoded from memory into RGB(A) or grey rows bottom first; power-of-two resampling and halving.
#include "draw/tga.h"

#include <cstring>
#include <new>

namespace {

constexpr size_t HEADER_SIZE = 18;
constexpr int MAX_MAP_ENTRIES = 256;

struct TgaHeader {
    int idLength;
    int mapType;
    int imageType;
    int mapFirst;
    int mapLength;
    int mapEntryBits;
    int width;
    int height;
    int bitsPerPixel;
    int descriptor;
};

int read16(const uint8_t *p) { return p[0] | (p[1] << 8); }

TgaHeader parseHeader(const uint8_t *p) {
    TgaHeader h;
    h.idLength = p[0];
    h.mapType = p[1];
    h.imageType = p[2];
    h.mapFirst = read16(p + 3);
    h.mapLength = read16(p + 5);
    h.mapEntryBits = p[7];
    h.width = read16(p + 12);
    h.height = read16(p + 14);
    h.bitsPerPixel = p[16];
    h.descriptor = p[17];
    return h;
}

bool isPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }


// Checks everything the header promises before a byte of pixels is read. Returns a reason, or
// null when the header describes a picture the reader takes.
const char *checkHeader(const TgaHeader &h) {
    if (h.mapType != 0 && h.mapType != 1) return "unsupported colour map type";
    int base = h.imageType & ~8;
    if (base < 1 || base > 3 || (h.imageType & ~0xB) != 0) return "unsupported image type";
    if (h.bitsPerPixel != 8 && h.bitsPerPixel != 24 && h.bitsPerPixel != 32) return "unsupported bits per pixel";
    // 8 bits are an index or a grey level; a true-colour pixel needs 24 or 32.
    if ((base == 2) != (h.bitsPerPixel != 8)) return "bits per pixel do not suit the image type";
    if (h.mapType == 1) {
        if (h.mapEntryBits != 24 && h.mapEntryBits != 32) return "unsupported colour map entry size";
        if (h.mapLength < 1 || h.mapLength > MAX_MAP_ENTRIES) return "unsupported colour map length";
    } else if (base == 1) {
        return "colour-mapped image without a colour map";
    }
    if (h.width < 1 || h.height < 1) return "empty image";
    if (!tga_FitsTexture(h.width, h.height)) return "image too large";
    return nullptr;
}

// Turns the file's pixels (BGR(A), grey or map indices) into RGB(A) or grey and puts each one
// where it belongs in bottom-first, left-to-right order. Writes move along one output row at a
// time, so a packet running past a row's end continues on the next row.
struct PixelSink {
    const TgaHeader *header;
    const uint8_t *map;   // colour map entries, BGR(A); null without a map
    int mapEntryBytes;
    int components;       // of the output
    uint8_t *out;
    long long written;    // pixels delivered so far, in file order
    long long total;

    int fileRow;          // file row being filled
    int left;             // pixels still to come in that row
    ptrdiff_t cursor;     // offset in out of the next pixel (an offset: it may step past the row)
    int step;             // bytes from one pixel of the row to the next: +components or -components

    void startRow() {
        int w = header->width;
        bool topFirst = (header->descriptor & 0x20) != 0;
        bool rightToLeft = (header->descriptor & 0x10) != 0;
        int row = topFirst ? header->height - 1 - fileRow : fileRow;
        cursor = static_cast<ptrdiff_t>((static_cast<size_t>(row) * w + (rightToLeft ? w - 1 : 0)) * components);
        step = rightToLeft ? -components : components;
        left = w;
    }

    void finishPixels(int n) {
        written += n;
        left -= n;
        if (left == 0 && written < total) {
            ++fileRow;
            startRow();
        }
    }

    // Converts one file pixel into rgba[components]; false when a map index lies outside the map.
    bool convert(const uint8_t *src, uint8_t *rgba) const {
        const uint8_t *bgr = src;
        if (map) {
            int index = src[0] - header->mapFirst;
            if (index < 0 || index >= header->mapLength) return false;
            bgr = map + static_cast<size_t>(index) * mapEntryBytes;
        }
        if (components == 1) {
            rgba[0] = bgr[0];
            return true;
        }
        rgba[0] = bgr[2];
        rgba[1] = bgr[1];
        rgba[2] = bgr[0];
        if (components == 4) rgba[3] = bgr[3];
        return true;
    }

    // Writes count copies of one file pixel; stops at the image's end.
    bool put(const uint8_t *src, long long count) {
        uint8_t rgba[4];
        if (!convert(src, rgba)) return false;
        while (count > 0 && written < total) {
            int n = count < left ? static_cast<int>(count) : left;
            for (int i = 0; i < n; ++i, cursor += step) memcpy(out + cursor, rgba, components);
            count -= n;
            finishPixels(n);
        }
        return true;
    }

    // Converts count consecutive file pixels (count fits in the current row).
    bool copy(const uint8_t *src, int count, int pixelBytes) {
        ptrdiff_t at = cursor;
        if (map) {
            for (int i = 0; i < count; ++i, at += step)
                if (!convert(src + i * pixelBytes, out + at)) return false;
        } else if (components == 1) {
            for (int i = 0; i < count; ++i, at += step) out[at] = src[i];
        } else if (components == 3) {
            for (int i = 0; i < count; ++i, at += step, src += 3) {
                uint8_t *d = out + at;
                d[0] = src[2];
                d[1] = src[1];
                d[2] = src[0];
            }
        } else {
            for (int i = 0; i < count; ++i, at += step, src += 4) {
                uint8_t *d = out + at;
                d[0] = src[2];
                d[1] = src[1];
                d[2] = src[0];
                d[3] = src[3];
            }
        }
        cursor = at;
        finishPixels(count);
        return true;
    }
};

const char *decodeRaw(const uint8_t *data, size_t size, int pixelBytes, PixelSink *sink) {
    if (size / pixelBytes < static_cast<size_t>(sink->total)) return "truncated pixel data";
    int w = sink->header->width;
    for (int row = 0; row < sink->header->height; ++row)
        if (!sink->copy(data + static_cast<size_t>(row) * w * pixelBytes, w, pixelBytes))
            return "colour map index outside the map";
    return nullptr;
}

const char *decodeRle(const uint8_t *data, size_t size, int pixelBytes, PixelSink *sink) {
    size_t at = 0;
    while (sink->written < sink->total) {
        if (at >= size) return "truncated run-length data";
        int packet = data[at++];
        long long count = (packet & 0x7F) + 1;
        if (packet & 0x80) {
            if (size - at < static_cast<size_t>(pixelBytes)) return "truncated run-length data";
            if (!sink->put(data + at, count)) return "colour map index outside the map";
            at += pixelBytes;
        } else {
            while (count > 0 && sink->written < sink->total) {
                int n = count < sink->left ? static_cast<int>(count) : sink->left;
                if ((size - at) / pixelBytes < static_cast<size_t>(n)) return "truncated run-length data";
                if (!sink->copy(data + at, n, pixelBytes)) return "colour map index outside the map";
                at += static_cast<size_t>(n) * pixelBytes;
                count -= n;
            }
        }
    }
    return nullptr;
}

} // namespace

bool tga_Decode(const uint8_t *data, size_t size, TgaImage *image, const char **error) {
    const char *reason = nullptr;
    if (!data || size < HEADER_SIZE) reason = "truncated header";
    TgaHeader h{};
    if (!reason) {
        h = parseHeader(data);
        reason = checkHeader(h);
    }
    size_t at = HEADER_SIZE + h.idLength;
    const uint8_t *map = nullptr;
    int mapEntryBytes = h.mapEntryBits / 8;
    if (!reason && at > size) reason = "truncated image id";
    if (!reason && h.mapType == 1) {
        size_t mapBytes = static_cast<size_t>(h.mapLength) * mapEntryBytes;
        if (size - at < mapBytes) reason = "truncated colour map";
        else map = data + at;
        at += mapBytes;
    }
    int pixelBytes = h.bitsPerPixel / 8;
    long long total = static_cast<long long>(h.width) * h.height;
    bool rle = (h.imageType & 8) != 0;
    // A run-length packet of 1 + pixelBytes bytes gives at most 128 pixels: a header asking for
    // more than the remaining bytes could hold is refused before anything is allocated.
    if (!reason && rle && static_cast<long long>((size - at) / (1 + pixelBytes)) * 128 < total)
        reason = "truncated run-length data";
    if (!reason && !rle && (size - at) / pixelBytes < static_cast<size_t>(total)) reason = "truncated pixel data";
    if (reason) {
        if (error) *error = reason;
        return false;
    }

    int base = h.imageType & 7;
    int components = base == 3 ? 1 : base == 1 ? mapEntryBytes : pixelBytes;
    TgaImage decoded;
    try {
        decoded.pixels.resize(static_cast<size_t>(total) * components);
    } catch (const std::bad_alloc &) {
        if (error) *error = "out of memory";
        return false;
    }
    PixelSink sink{&h, base == 1 ? map : nullptr, mapEntryBytes, components, decoded.pixels.data(), 0, total, 0, 0, 0, 0};
    sink.startRow();
    reason = rle ? decodeRle(data + at, size - at, pixelBytes, &sink) : decodeRaw(data + at, size - at, pixelBytes, &sink);
    if (reason) {
        if (error) *error = reason;
        return false;
    }
    decoded.width = h.width;
    decoded.height = h.height;
    decoded.components = components;
    *image = std::move(decoded);
    return true;
}

bool tga_ResampleToPowerOfTwo(TgaImage *image) {
    int w = image->width, h = image->height, c = image->components;
    if (isPowerOfTwo(w) && isPowerOfTwo(h)) return true;
    int w2 = tga_NextPowerOfTwo(w), h2 = tga_NextPowerOfTwo(h);
    std::vector<uint8_t> out;
    try {
        out.resize(static_cast<size_t>(w2) * h2 * c);
    } catch (const std::bad_alloc &) {
        *image = TgaImage();
        return false;
    }
    // Sampling positions as exact fractions num / den: no drift across a wide row, and the last
    // output column lands exactly on the last source column. Each tap is computed once.
    struct Tap {
        int i0, i1;          // the two neighbouring source columns (rows)
        long long w0, w1;    // their weights, summing to den
    };
    auto taps = [](int from, int to, std::vector<Tap> *out, long long *den) {
        *den = to > from ? to - 1 : 1;
        long long num = to > from ? from - 1 : 1;
        out->resize(to);
        for (int i = 0; i < to; ++i) {
            long long p = i * num;
            int i0 = static_cast<int>(p / *den);
            long long f = p % *den;
            (*out)[i] = {i0, i0 + 1 < from ? i0 + 1 : i0, *den - f, f};
        }
    };
    std::vector<Tap> columns, rows;
    long long denX = 1, denY = 1;
    taps(w, w2, &columns, &denX);
    taps(h, h2, &rows, &denY);
    // Rounded to nearest as (2 sum + den) / (2 den), found by a multiplication and corrected to
    // the exact quotient (every number involved is far below 2^53).
    const long long den2 = 2 * denX * denY;
    const double inverse = 1.0 / static_cast<double>(den2);
    const uint8_t *src = image->pixels.data();
    uint8_t *dst = out.data();
    for (const Tap &ty : rows) {
        const uint8_t *row0 = src + static_cast<size_t>(ty.i0) * w * c;
        const uint8_t *row1 = src + static_cast<size_t>(ty.i1) * w * c;
        for (const Tap &tx : columns) {
            const uint8_t *p00 = row0 + tx.i0 * c, *p10 = row0 + tx.i1 * c;
            const uint8_t *p01 = row1 + tx.i0 * c, *p11 = row1 + tx.i1 * c;
            for (int k = 0; k < c; ++k) {
                long long sum = ty.w0 * (tx.w0 * p00[k] + tx.w1 * p10[k]) + ty.w1 * (tx.w0 * p01[k] + tx.w1 * p11[k]);
                long long n = 2 * sum + den2 / 2;
                long long q = static_cast<long long>(static_cast<double>(n) * inverse);
                if (q * den2 > n) --q;
                else if ((q + 1) * den2 <= n) ++q;
                *dst++ = static_cast<uint8_t>(q > 255 ? 255 : q);
            }
        }
    }
    image->width = w2;
    image->height = h2;
    image->pixels.swap(out);
    return true;
}

void tga_HalveImage(const TgaImage &source, TgaImage *half) {
    int w = source.width, h = source.height, c = source.components;
    int w2 = w > 1 ? w / 2 : 1, h2 = h > 1 ? h / 2 : 1;
    half->width = w2;
    half->height = h2;
    half->components = c;
    if (w == 1 && h == 1) {
        half->pixels = source.pixels;
        return;
    }
    half->pixels.assign(static_cast<size_t>(w2) * h2 * c, 0);
    const uint8_t *s = source.pixels.data();
    uint8_t *d = half->pixels.data();
    for (int y = 0; y < h2; ++y) {
        for (int x = 0; x < w2; ++x) {
            for (int k = 0; k < c; ++k) {
                int v;
                if (w > 1 && h > 1) {
                    size_t a = (static_cast<size_t>(2 * y) * w + 2 * x) * c + k;
                    size_t b = a + static_cast<size_t>(w) * c;
                    v = (s[a] + s[a + c] + s[b] + s[b + c] + 2) / 4;
                } else {
                    // One pixel wide or high: the pair runs along the longer edge.
                    size_t a = (static_cast<size_t>(w > 1 ? 2 * x : 2 * y)) * c + k;
                    v = (s[a] + s[a + c] + 1) / 2;
                }
                *d++ = static_cast<uint8_t>(v);
            }
        }
    }
}

int tga_NextPowerOfTwo(int n) {
    int p = 1;
    while (p < n && p < (1 << 30)) p <<= 1;
    return p;
}

bool tga_FitsTexture(int width, int height) {
    return width >= 1 && height >= 1 && width <= TGA_MAX_EDGE && height <= TGA_MAX_EDGE &&
           static_cast<long long>(tga_NextPowerOfTwo(width)) * tga_NextPowerOfTwo(height) <= TGA_MAX_TEXELS;
}
