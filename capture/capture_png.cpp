// The capture's PNG encoder: lossless 8-bit RGB with the "sub" filter on every row, deflated as
// literals and runs (matches at distance 1) under one Huffman code per band of rows.
#include "capture/capture_png.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <zlib.h> // crc32 only

namespace {
constexpr int LITLEN = 286;       // deflate's literal/length alphabet
constexpr int CODELENS = 19;      // the alphabet that codes the code lengths
constexpr int MAX_LITERAL_BITS = 12; // four codes in one write
constexpr size_t BAND_BYTES = 65535; // filtered bytes per band: one stored block holds a band

struct Code {
    uint16_t bits[LITLEN];  // bit-reversed: deflate sends codes from their first bit
    uint8_t length[LITLEN];
};

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the bit writer and the run search read and write little-endian words"
#endif

// Deflate's bits, first bit lowest. Each put stores eight bytes and moves on by the whole bytes
// among them (no branch): the buffer keeps eight bytes of room past the end.
struct Writer {
    unsigned char *at;
    uint64_t pending = 0; // fewer than 8 bits between puts
    int count = 0;

    void put(uint32_t bits, int length) { put64(bits, length); }
    void put64(uint64_t bits, int length) { // length <= 56
        pending |= bits << count;
        count += length;
        memcpy(at, &pending, 8);
        const int bytes = count >> 3;
        at += bytes;
        pending >>= 8 * bytes;
        count &= 7;
    }
    void alignToByte() {
        if (count) *at++ = (unsigned char)pending;
        pending = 0;
        count = 0;
    }
};

// Code lengths of a Huffman code for the counts, none over limit. At least two symbols get a
// code (decoders refuse a code of one symbol), so counts of zero may be given one.
void huffmanLengths(const uint32_t *counts, int n, int limit, uint8_t *length) {
    int symbols[LITLEN], used = 0;
    for (int s = 0; s < n; ++s)
        if (counts[s]) symbols[used++] = s;
    for (int s = 0; used < 2; ++s)
        if (!counts[s]) symbols[used++] = s;
    std::sort(symbols, symbols + used, [&](int a, int b) {
        return counts[a] != counts[b] ? counts[a] < counts[b] : a < b;
    });
    // Two queues: the leaves by count, then the inner nodes in the order they are made (their
    // weights do not decrease). A node's parent always comes after it.
    uint64_t weight[2 * LITLEN];
    int parent[2 * LITLEN], depth[2 * LITLEN];
    for (int i = 0; i < used; ++i) weight[i] = std::max<uint32_t>(counts[symbols[i]], 1);
    int leaf = 0, inner = used;
    for (int next = used; next < 2 * used - 1; ++next) {
        int pair[2];
        for (int &take : pair)
            take = (leaf < used && (inner >= next || weight[leaf] <= weight[inner])) ? leaf++ : inner++;
        weight[next] = weight[pair[0]] + weight[pair[1]];
        parent[pair[0]] = parent[pair[1]] = next;
    }
    const int root = 2 * used - 2;
    depth[root] = 0;
    for (int i = root - 1; i >= 0; --i) depth[i] = depth[parent[i]] + 1;

    // Lengths over the limit: JPEG's adjustment (ITU T.81, K.3) keeps the code complete.
    int perLength[2 * LITLEN] = {};
    int longest = 0;
    for (int i = 0; i < used; ++i) {
        ++perLength[depth[i]];
        longest = std::max(longest, depth[i]);
    }
    for (int len = longest; len > limit; --len) {
        while (perLength[len] > 0) {
            int shorter = len - 2;
            while (perLength[shorter] == 0) --shorter;
            perLength[len] -= 2;
            perLength[len - 1] += 1;
            perLength[shorter + 1] += 2;
            perLength[shorter] -= 1;
        }
    }
    // The rarest symbols take the longest codes.
    std::fill(length, length + n, 0);
    int i = 0;
    for (int len = std::min(longest, limit); len >= 1; --len)
        for (int k = 0; k < perLength[len]; ++k) length[symbols[i++]] = uint8_t(len);
}

// Canonical codes for the lengths (RFC 1951, 3.2.2), bit-reversed.
void canonicalCodes(const uint8_t *length, int n, uint16_t *bits) {
    int perLength[16] = {}, next[16] = {};
    for (int s = 0; s < n; ++s) ++perLength[length[s]];
    perLength[0] = 0;
    for (int len = 1, code = 0; len < 16; ++len) {
        code = (code + perLength[len - 1]) << 1;
        next[len] = code;
    }
    for (int s = 0; s < n; ++s) {
        const int len = length[s];
        if (!len) continue;
        uint32_t code = uint32_t(next[len]++), reversed = 0;
        for (int b = 0; b < len; ++b) reversed |= ((code >> b) & 1u) << (len - 1 - b);
        bits[s] = uint16_t(reversed);
    }
}

// The length symbol (257..285) and extra bits of a match length 3..258.
struct LengthCode {
    uint16_t symbol[259];
    uint8_t extraBits[259];
    uint8_t extra[259];
    LengthCode() {
        static const int base[28] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19, 23,
                                     27, 31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227};
        static const int bitsOf[28] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,
                                       2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};
        for (int s = 0; s < 28; ++s)
            for (int len = base[s]; len < base[s] + (1 << bitsOf[s]) && len < 258; ++len) {
                symbol[len] = uint16_t(257 + s);
                extraBits[len] = uint8_t(bitsOf[s]);
                extra[len] = uint8_t(len - base[s]);
            }
        symbol[258] = 285; // 258 has a symbol of its own, without extra bits
    }
};
const LengthCode lengthCode;

// The code lengths of both alphabets as deflate sends them: symbols 0-15, 16 (repeat the last
// 3-6 times), 17 (3-10 zeros), 18 (11-138 zeros), each with its extra bits.
struct LengthItem {
    uint8_t symbol, extra, extraBits;
};
int codeLengthItems(const uint8_t *lengths, int total, LengthItem *items) {
    int n = 0;
    for (int i = 0; i < total;) {
        const uint8_t v = lengths[i];
        int run = 1;
        while (i + run < total && lengths[i + run] == v) ++run;
        i += run;
        if (v == 0) {
            for (; run >= 11; run -= std::min(run, 138)) items[n++] = {18, uint8_t(std::min(run, 138) - 11), 7};
            if (run >= 3) {
                items[n++] = {17, uint8_t(run - 3), 3};
                run = 0;
            }
        } else {
            items[n++] = {v, 0, 0};
            --run;
            for (; run >= 3; run -= std::min(run, 6)) items[n++] = {16, uint8_t(std::min(run, 6) - 3), 2};
        }
        for (; run > 0; --run) items[n++] = {v, 0, 0};
    }
    return n;
}

// Walks a band's filtered bytes eight at a time: eight bytes that all repeat the byte before
// them start a run (a match at distance 1, as long as the repeats go on); any other eight are
// literals. Runs shorter than 15 bytes may go unseen: they cost little as literals. The counting
// pass and the writing pass see the same steps. data holds 8 readable bytes past size.
template <class Step> void walkBand(const unsigned char *data, size_t size, Step &step) {
    size_t i = 0;
    while (i + 8 <= size) {
        uint64_t word;
        memcpy(&word, data + i, 8);
        const uint64_t pattern = i ? data[i - 1] * 0x0101010101010101ull : ~word;
        if (word != pattern) {
            step.literals8(data + i);
            i += 8;
            continue;
        }
        size_t end = i + 8;
        for (;; end += 8) {
            memcpy(&word, data + end, 8);
            if (const uint64_t differs = word ^ pattern) {
                end = std::min(size, end + size_t(__builtin_ctzll(differs) >> 3));
                break;
            }
            if (end + 8 >= size) {
                end = size;
                break;
            }
        }
        for (size_t left = end - i; left > 0;) {
            if (left < 3) { // too short for a match
                for (; left > 0; --left) step.literal(data[i - 1]);
                break;
            }
            size_t take = std::min<size_t>(left, 258);
            if (left - take > 0 && left - take < 3) take = left - 3; // leave a match's worth
            step.run(take);
            left -= take;
        }
        i = end;
    }
    for (; i < size; ++i) step.literal(data[i]);
}

// The counting pass: four tables so that repeated bytes do not wait on one counter.
struct CountStep {
    uint32_t byByte[4][256] = {};
    uint32_t counts[LITLEN] = {};
    uint64_t runBits = 0; // the runs' extra bits and distance codes
    void literals8(const unsigned char *p) {
        for (int k = 0; k < 8; ++k) ++byByte[k & 3][p[k]];
    }
    void literal(unsigned char byte) { ++counts[byte]; }
    void run(size_t length) {
        ++counts[lengthCode.symbol[length]];
        runBits += 1u + lengthCode.extraBits[length];
    }
    void total() {
        for (int b = 0; b < 256; ++b) counts[b] += byByte[0][b] + byByte[1][b] + byByte[2][b] + byByte[3][b];
    }
};

// The writing pass: four literals at a time (codes are at most 12 bits: 48 bits in one put).
struct WriteStep {
    Writer out;
    const uint16_t *bits;
    const uint8_t *length;
    const uint32_t *runEntry; // a run's length code, its extra bits and the distance code; length above bit 24
    void literals4(const unsigned char *p) {
        const uint64_t low = bits[p[0]] | uint64_t(bits[p[1]]) << length[p[0]];
        const uint64_t high = bits[p[2]] | uint64_t(bits[p[3]]) << length[p[2]];
        const int lowLength = length[p[0]] + length[p[1]];
        out.put64(low | high << lowLength, lowLength + length[p[2]] + length[p[3]]);
    }
    void literals8(const unsigned char *p) {
        literals4(p);
        literals4(p + 4);
    }
    void literal(unsigned char byte) { out.put(bits[byte], length[byte]); }
    void run(size_t n) { out.put(runEntry[n] & 0xffffff, int(runEntry[n] >> 24)); }
};

void putStored(Writer &out, const unsigned char *data, size_t size, bool last) {
    for (size_t done = 0; done < size;) {
        const size_t part = std::min<size_t>(size - done, 65535);
        out.put(last && done + part == size ? 1 : 0, 3);
        out.alignToByte();
        const unsigned char header[4] = {(unsigned char)part, (unsigned char)(part >> 8), (unsigned char)~part,
                                         (unsigned char)(~part >> 8)};
        memcpy(out.at, header, 4);
        memcpy(out.at + 4, data + done, part);
        out.at += 4 + part;
        done += part;
    }
}

// One band as a deflate block with its own Huffman code, or stored when that is smaller.
void putBand(Writer &out, const unsigned char *data, size_t size, bool last) {
    CountStep counting;
    walkBand(data, size, counting);
    counting.total();
    uint32_t *counts = counting.counts;
    counts[256] = 1; // the block's end
    uint64_t cost = counting.runBits; // in bits
    Code lit;
    huffmanLengths(counts, LITLEN, MAX_LITERAL_BITS, lit.length);
    canonicalCodes(lit.length, LITLEN, lit.bits);
    int hlit = LITLEN;
    while (hlit > 257 && lit.length[hlit - 1] == 0) --hlit;

    // Two distance codes of one bit: only distance 1 (code 0) is sent, and the code is complete.
    uint8_t lengths[LITLEN + 2];
    memcpy(lengths, lit.length, size_t(hlit));
    lengths[hlit] = lengths[hlit + 1] = 1;
    LengthItem items[LITLEN + 2];
    const int itemCount = codeLengthItems(lengths, hlit + 2, items);
    uint32_t itemCounts[CODELENS] = {};
    for (int i = 0; i < itemCount; ++i) ++itemCounts[items[i].symbol];
    uint8_t itemLength[CODELENS];
    uint16_t itemBits[CODELENS];
    huffmanLengths(itemCounts, CODELENS, 7, itemLength);
    canonicalCodes(itemLength, CODELENS, itemBits);
    static const uint8_t order[CODELENS] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    int hclen = CODELENS;
    while (hclen > 4 && itemLength[order[hclen - 1]] == 0) --hclen;

    cost += 3 + 5 + 5 + 4 + 3 * uint64_t(hclen);
    for (int i = 0; i < itemCount; ++i) cost += itemLength[items[i].symbol] + items[i].extraBits;
    for (int s = 0; s < LITLEN; ++s) cost += uint64_t(counts[s]) * lit.length[s];
    for (int s = 257; s < LITLEN; ++s) cost += counts[s]; // a distance code per run
    if (cost >= 8 * (uint64_t(size) + 5 * (size / 65535 + 1)) + 10) {
        putStored(out, data, size, last);
        return;
    }

    out.put(last ? 1 : 0, 1);
    out.put(2, 2); // dynamic Huffman codes
    out.put(uint32_t(hlit - 257), 5);
    out.put(2 - 1, 5);
    out.put(uint32_t(hclen - 4), 4);
    for (int i = 0; i < hclen; ++i) out.put(itemLength[order[i]], 3);
    for (int i = 0; i < itemCount; ++i) {
        const LengthItem &item = items[i];
        out.put(itemBits[item.symbol] | uint32_t(item.extra) << itemLength[item.symbol],
                itemLength[item.symbol] + item.extraBits);
    }
    uint32_t runEntry[259];
    for (int len = 3; len <= 258; ++len) {
        const unsigned symbol = lengthCode.symbol[len];
        runEntry[len] = (lit.bits[symbol] | uint32_t(lengthCode.extra[len]) << lit.length[symbol]) |
                        uint32_t(lit.length[symbol] + lengthCode.extraBits[len] + 1) << 24;
    }
    WriteStep writing{out, lit.bits, lit.length, runEntry}; // a local writer stays in registers
    walkBand(data, size, writing);
    out = writing.out;
    out.put(lit.bits[256], lit.length[256]);
}

// A row as the "sub" filter gives it: its filter type, then each byte less the same channel of
// the pixel to its left.
void subFilter(unsigned char *__restrict line, const unsigned char *__restrict in, size_t width) {
    line[0] = 1;
    memcpy(line + 1, in, 3);
    for (size_t i = 3; i < width * 3; ++i) line[1 + i] = (unsigned char)(in[i] - in[i - 3]);
}

// The same from B, G, R, A pixels, a pixel at a time: four differences in one word (bytes
// subtracted without borrowing from each other), turned into R, G, B order. Each store spills
// one byte past the pixel; the next pixel, the next row's filter type or the room past the band
// takes it.
void subFilterBgra(unsigned char *__restrict line, const unsigned char *__restrict in, size_t width) {
    constexpr uint32_t HIGH = 0x80808080u;
    line[0] = 1;
    uint32_t left = 0;
    for (size_t x = 0; x < width; ++x) {
        uint32_t pixel;
        memcpy(&pixel, in + 4 * x, 4);
        const uint32_t difference = ((pixel | HIGH) - (left & ~HIGH)) ^ ((pixel ^ ~left) & HIGH);
        const uint32_t rgb = __builtin_bswap32(difference) >> 8;
        memcpy(line + 1 + 3 * x, &rgb, 4);
        left = pixel;
    }
}

// Adler-32 of the deflated bytes, sixteen lanes at a time for the compiler's vector unit: over
// a block of L bytes, a grows by their sum and b by L * a + the sum of (L - k) * byte k, which
// the lanes give as 16 * (their running totals' sums) - (lane number * lane total).
uint32_t adler32Of(uint32_t adler, const unsigned char *p, size_t n) {
    constexpr uint64_t MOD = 65521;
    uint64_t a = adler & 0xffff, b = adler >> 16;
    while (n >= 16) {
        const size_t chunks = std::min<size_t>(n / 16, 256); // the lanes' totals stay far from overflowing
        uint32_t lane[16] = {}, running[16] = {};
        for (size_t c = 0; c < chunks; ++c, p += 16)
            for (int j = 0; j < 16; ++j) {
                lane[j] += p[j];
                running[j] += lane[j];
            }
        uint64_t sum = 0, weighted = 0;
        for (int j = 0; j < 16; ++j) {
            sum += lane[j];
            weighted += 16 * uint64_t(running[j]) - uint64_t(j) * lane[j];
        }
        b = (b + 16 * chunks * a + weighted) % MOD;
        a = (a + sum) % MOD;
        n -= 16 * chunks;
    }
    for (; n > 0; --n) {
        a += *p++;
        b += a;
    }
    return uint32_t((b % MOD) << 16 | (a % MOD));
}

unsigned char *putBigEndian(unsigned char *at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = (unsigned char)(value >> (24 - 8 * i));
    return at + 4;
}

// A chunk's length, type and data are in place from start; its CRC goes after them.
unsigned char *endChunk(unsigned char *start, unsigned char *end) {
    putBigEndian(start, uint32_t(end - start - 8));
    const uLong crc = crc32(crc32(0, nullptr, 0), start + 4, uInt(end - start - 4));
    return putBigEndian(end, uint32_t(crc));
}

bool encode(std::vector<unsigned char> &out, const CapturePixels &pixels) {
    const int width = pixels.width, height = pixels.height;
    const size_t lineBytes = size_t(width) * 3 + 1, inBytes = size_t(width) * (pixels.bgra ? 4 : 3);
    const size_t rowsPerBand = std::max<size_t>(1, BAND_BYTES / lineBytes);
    const size_t bandBytes = rowsPerBand * lineBytes;
    // Scratch kept by each encoding thread; the file is built in place there, then copied out
    // (a vector would clear the whole worst case on every frame).
    thread_local std::vector<unsigned char> filtered;
    thread_local std::unique_ptr<unsigned char[]> file;
    thread_local size_t fileSize = 0;
    filtered.resize(bandBytes + 8);
    // Worst case: every band stored, with a block header per 65535 bytes.
    const size_t total = lineBytes * size_t(height);
    const size_t bound = 8 + 25 + 8 + 2 + total + 5 * (total / 65535 + size_t(height) + 1) + 4 + 4 + 12 + 8;
    if (fileSize < bound) {
        file.reset(new unsigned char[bound]);
        fileSize = bound;
    }
    unsigned char *at = file.get();
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    memcpy(at, signature, 8);
    unsigned char *chunk = at + 8;
    memcpy(chunk + 4, "IHDR", 4);
    at = putBigEndian(putBigEndian(chunk + 8, uint32_t(width)), uint32_t(height));
    const unsigned char format[5] = {8, 2, 0, 0, 0}; // 8 bits, RGB, deflate, filters, no interlace
    memcpy(at, format, 5);
    at = endChunk(chunk, at + 5);

    chunk = at;
    memcpy(chunk + 4, "IDAT", 4);
    at = chunk + 8;
    *at++ = 0x78; // deflate, 32K window
    *at++ = 0x01; // fastest; the header's check
    Writer bits{at};
    uint32_t adler = 1;
    for (size_t first = 0; first < size_t(height); first += rowsPerBand) {
        const size_t rows = std::min(rowsPerBand, size_t(height) - first);
        for (size_t r = 0; r < rows; ++r) {
            const size_t row = first + r;
            const unsigned char *in = pixels.bytes + (pixels.bottomUp ? size_t(height) - 1 - row : row) * inBytes;
            if (pixels.bgra) subFilterBgra(filtered.data() + r * lineBytes, in, size_t(width));
            else subFilter(filtered.data() + r * lineBytes, in, size_t(width));
        }
        const size_t size = rows * lineBytes;
        adler = adler32Of(adler, filtered.data(), size);
        putBand(bits, filtered.data(), size, first + rows == size_t(height));
    }
    bits.alignToByte();
    at = putBigEndian(bits.at, uint32_t(adler));
    at = endChunk(chunk, at);

    chunk = at;
    memcpy(chunk + 4, "IEND", 4);
    at = endChunk(chunk, chunk + 8);
    out.assign(file.get(), at);
    return true;
}
} // namespace

bool capture_EncodePng(std::vector<unsigned char> &out, const CapturePixels &pixels) {
    out.clear();
    // 16384 x 16384 at most: the file's one IDAT chunk stays well under its 2 GiB limit.
    constexpr size_t MAX_PIXELS = size_t(1) << 28;
    if (pixels.width <= 0 || pixels.height <= 0 || size_t(pixels.width) * size_t(pixels.height) > MAX_PIXELS)
        return false;
    try {
        return encode(out, pixels);
    } catch (const std::bad_alloc &) { // a frame too large for the memory left: that frame fails
        out.clear();
        return false;
    }
}
