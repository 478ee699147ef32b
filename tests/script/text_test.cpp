// Bounded string routines: results, bounds and the squeeze rules the script syntax rests on.
#include "script/text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// A buffer whose last byte sits right before an inaccessible page, so reading one byte past
// it crashes the test instead of passing silently.
struct GuardedBuffer {
    explicit GuardedBuffer(size_t size) : size(size) {
        page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        void *map = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        base = static_cast<char *>(map);
        mprotect(base + page, page, PROT_NONE);
        data = base + page - size;
    }
    ~GuardedBuffer() { munmap(base, 2 * page); }
    size_t size;
    size_t page;
    char *base;
    char *data;
};

constexpr char CANARY = '#';

std::string squeezed(const std::string &text) {
    char buffer[256];
    text_CopyBounded(buffer, text.c_str());
    text_Squeeze(buffer);
    return buffer;
}

} // namespace

TEST(TextCopyBounded, CopiesCutsAndReportsTheSourceLength) {
    char buffer[8];
    memset(buffer, CANARY, sizeof buffer);
    EXPECT_EQ(text_CopyBounded(buffer, "abc", 8), 3u);
    EXPECT_STREQ(buffer, "abc");

    memset(buffer, CANARY, sizeof buffer);
    EXPECT_EQ(text_CopyBounded(buffer, "abcdefghijkl", 5), 12u); // full length, not the copied count
    EXPECT_STREQ(buffer, "abcd");
    EXPECT_EQ(buffer[5], CANARY);

    memset(buffer, CANARY, sizeof buffer);
    EXPECT_EQ(text_CopyBounded(buffer, "abcdefg", 8), 7u); // exactly fits
    EXPECT_STREQ(buffer, "abcdefg");

    memset(buffer, CANARY, sizeof buffer);
    EXPECT_EQ(text_CopyBounded(buffer, "abc", 0), 0u); // n = 0 writes nothing at all
    EXPECT_EQ(buffer[0], CANARY);

    EXPECT_EQ(text_CopyBounded(buffer, "abc", 1), 3u);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(buffer[1], CANARY);

    // The array overload takes its bound from the type.
    char small[4];
    memset(small, CANARY, sizeof small);
    EXPECT_EQ(text_CopyBounded(small, "overlong"), 8u);
    EXPECT_STREQ(small, "ove");
}

TEST(TextAppendBounded, AppendsAtMostNAndNeverPassesTheBuffer) {
    char buffer[12] = "ab";
    text_AppendBounded(buffer, "cdef", 2, sizeof buffer);
    EXPECT_STREQ(buffer, "abcd");
    text_AppendBounded(buffer, "xy", 10, sizeof buffer); // stops at the source's terminator
    EXPECT_STREQ(buffer, "abcdxy");
    text_AppendBounded(buffer, "zzz", 0, sizeof buffer);
    EXPECT_STREQ(buffer, "abcdxy");

    // The result is cut at the destination's bound and stays terminated.
    char bounded[8] = "abc";
    memset(bounded + 4, CANARY, 4);
    EXPECT_EQ(text_AppendBounded(bounded, "0123456789", 10, 6), bounded);
    EXPECT_STREQ(bounded, "abc01");
    EXPECT_EQ(bounded[6], CANARY);
    EXPECT_EQ(bounded[7], CANARY);

    // A full destination takes nothing more.
    char full[4] = "abc";
    text_AppendBounded(full, "d");
    EXPECT_STREQ(full, "abc");

    // An unterminated destination is terminated at its bound rather than scanned past it.
    GuardedBuffer guarded(6);
    memset(guarded.data, 'x', 6);
    text_AppendBounded(guarded.data, "y", 1, 6);
    EXPECT_STREQ(guarded.data, "xxxxx");

    // The array overload appends up to the whole room by default.
    char path[10] = "dir/";
    text_AppendBounded(path, "file.tga");
    EXPECT_STREQ(path, "dir/file.");
}

TEST(TextReplaceAll, ReplacesLeftToRightWithoutRescanning) {
    char buffer[64];
    EXPECT_EQ(text_ReplaceAll("a\tb\t\tc", "\t", " ", buffer, sizeof buffer), 3u);
    EXPECT_STREQ(buffer, "a b  c");

    // Inserted text is not scanned again, so a replacement containing the pattern is safe.
    EXPECT_EQ(text_ReplaceAll("aXa", "a", "aa", buffer, sizeof buffer), 2u);
    EXPECT_STREQ(buffer, "aaXaa");
    EXPECT_EQ(text_ReplaceAll("aaa", "aa", "b", buffer, sizeof buffer), 1u);
    EXPECT_STREQ(buffer, "ba");

    // An absent replacement removes the pattern.
    EXPECT_EQ(text_ReplaceAll("x--y--z", "--", nullptr, buffer, sizeof buffer), 2u);
    EXPECT_STREQ(buffer, "xyz");

    // In place: source and destination the same buffer.
    text_CopyBounded(buffer, "one two");
    EXPECT_EQ(text_ReplaceAll(buffer, "o", "0", buffer, sizeof buffer), 2u);
    EXPECT_STREQ(buffer, "0ne tw0");

    EXPECT_EQ(text_ReplaceAll("nothing here", "@", "#", buffer, sizeof buffer), 0u);
    EXPECT_STREQ(buffer, "nothing here");
}

TEST(TextReplaceAll, WithoutDestinationGivesTheSizeNeeded) {
    EXPECT_EQ(text_ReplaceAll("a\tb\tc", "\t", "    ", nullptr, 0), strlen("a    b    c") + 1);
    EXPECT_EQ(text_ReplaceAll("x--y--z", "--", "", nullptr, 0), strlen("xyz") + 1);
    EXPECT_EQ(text_ReplaceAll("aaaa", "aa", nullptr, nullptr, 0), 1u);
    EXPECT_EQ(text_ReplaceAll("abc", "q", "long", nullptr, 0), 4u);
}

TEST(TextReplaceAll, AReplacementThatDoesNotFitIsNotMade) {
    char buffer[16];
    memset(buffer, CANARY, sizeof buffer);
    size_t made = text_ReplaceAll("a.b.c.d", ".", "----", buffer, 12);
    EXPECT_EQ(made, 1u);
    EXPECT_STREQ(buffer, "a----b.c.d");
    EXPECT_LE(strlen(buffer), 11u);
    for (size_t i = 12; i < sizeof buffer; i++) EXPECT_EQ(buffer[i], CANARY) << i;
}

TEST(TextSqueeze, FoldsRunsToTheirFirstCharacter) {
    EXPECT_EQ(squeezed("a \t b"), "a b");
    EXPECT_EQ(squeezed("a\t b"), "a\tb");
    EXPECT_EQ(squeezed("x  \n"), "x \n");
    EXPECT_EQ(squeezed("a\v\fb"), "a\vb");
    // A line feed or carriage return is never dropped: each starts a run of its own.
    EXPECT_EQ(squeezed("a\n  b"), "a\nb");
    EXPECT_EQ(squeezed("a \n\n b"), "a \n\nb");
    EXPECT_EQ(squeezed("a\r\nb"), "a\r\nb");
    EXPECT_EQ(squeezed("a  \r  b"), "a \rb");
}

TEST(TextSqueeze, TrimsLeadingWhiteSpaceAndOneTrailingCharacter) {
    EXPECT_EQ(squeezed(" \t\n\r x"), "x"); // leading line feeds go too
    EXPECT_EQ(squeezed("x "), "x");
    EXPECT_EQ(squeezed("x\t\t"), "x");
    EXPECT_EQ(squeezed("x\n"), "x\n"); // a final line feed stays
    EXPECT_EQ(squeezed("x \n"), "x \n");
    EXPECT_EQ(squeezed("x\t \n"), "x\t\n");
    EXPECT_EQ(squeezed("x \r"), "x "); // only the one last character goes
    EXPECT_EQ(squeezed("x\r"), "x");
    EXPECT_EQ(squeezed(""), "");
    EXPECT_EQ(squeezed(" \t \n "), "");
    EXPECT_EQ(squeezed("\n"), "");
    EXPECT_EQ(squeezed("plain"), "plain");
}

TEST(TextSqueeze, NeverGrowsAndNormalisesAScriptLine) {
    // The loader's normalisation: squeeze, then the tab left of a run becomes a blank.
    char line[255] = "  @cmd\t\t1 |  2  \n";
    text_Squeeze(line);
    EXPECT_STREQ(line, "@cmd\t1 | 2 \n");
    char scratch[255];
    text_ReplaceAll(line, "\t", " ", scratch, sizeof scratch);
    EXPECT_STREQ(scratch, "@cmd 1 | 2 \n");

    const char *inputs[] = {"   ", "a b c", "\t\ta\t\tb\t\t", "\n\n\nx\n\n", " \r\n \r\n "};
    for (const char *input : inputs) {
        std::string out = squeezed(input);
        EXPECT_LE(out.size(), strlen(input)) << input;
        EXPECT_TRUE(out.empty() || (out[0] != ' ' && out[0] != '\t' && out[0] != '\n')) << input;
    }
}

TEST(TextSlice, CopiesByPosition) {
    char name[12];
    text_Slice("(intro\n", 8, name, sizeof name, 1, 10);
    EXPECT_STREQ(name, "intro\n"); // ends at the first terminator copied
    text_Slice("(averyverylongname", 19, name, sizeof name, 1, 10);
    EXPECT_STREQ(name, "averyverylo");
    text_Slice("abcdef", 7, name, sizeof name, 2, 0);
    EXPECT_STREQ(name, "c");

    // The destination bound cuts the copy.
    char small[4];
    memset(small, CANARY, sizeof small);
    text_Slice("abcdefgh", 9, small, 3, 0, 7);
    EXPECT_STREQ(small, "ab");
    EXPECT_EQ(small[3], CANARY);

    // Positions past the source read as terminators.
    text_Slice("abc", 4, name, sizeof name, 10, 3);
    EXPECT_STREQ(name, "");
}

TEST(TextSlice, NeverReadsPastItsSource) {
    // Unterminated source flush against an unreadable page: any read past it crashes.
    GuardedBuffer source(5);
    memcpy(source.data, "(ab12", 5);
    char name[12];
    text_Slice(source.data, source.size, name, sizeof name, 1, 10);
    EXPECT_STREQ(name, "ab12");
    text_Slice(source.data, source.size, name, sizeof name, 4, 10);
    EXPECT_STREQ(name, "2");
    // A start so far out that a + i wraps around must still read nothing of the source.
    memset(name, CANARY, sizeof name);
    text_Slice(source.data, source.size, name, sizeof name, static_cast<size_t>(-3), 10);
    for (char c : name) EXPECT_EQ(c, '\0');
}
