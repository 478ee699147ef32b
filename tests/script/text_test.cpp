// Bounded string routines: results, bounds and the squeeze rules the script syntax rests on.
#include "script/text.h"
#include "tests/support/guarded_buffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

constexpr char CANARY = '#';

TEST(Text, CopyAndAppendStayInsideTheirBounds) {
    // Source, bound, returned length (the source's, not the copied count), result; the byte past
    // the bound is untouched.
    const std::tuple<const char *, size_t, size_t, const char *> copies[] = {
        {"abcdefghijkl", 5, 12, "abcd"}, {"abcdefg", 8, 7, "abcdefg"}, {"abc", 1, 3, ""}};
    for (const auto &[source, n, length, result] : copies) {
        char buffer[9];
        memset(buffer, CANARY, sizeof buffer);
        EXPECT_EQ(text_CopyBounded(buffer, source, n), length) << source;
        EXPECT_STREQ(buffer, result);
        EXPECT_EQ(buffer[n], CANARY) << source;
    }
    char buffer[4];
    memset(buffer, CANARY, sizeof buffer);
    EXPECT_EQ(text_CopyBounded(buffer, "abc", 0), 0u); // n = 0 writes nothing at all
    EXPECT_EQ(buffer[0], CANARY);
    EXPECT_EQ(text_CopyBounded(buffer, "overlong"), 8u); // the array overload takes its bound from the type
    EXPECT_STREQ(buffer, "ove");

    char text[8] = "ab";
    memset(text + 3, CANARY, 5);
    text_AppendBounded(text, "cdef", 2, 6);
    EXPECT_STREQ(text, "abcd"); // at most n characters
    text_AppendBounded(text, "xyz", 10, 6);
    EXPECT_STREQ(text, "abcdx"); // cut at the destination's bound, terminated
    EXPECT_EQ(text[6], CANARY);
    text_AppendBounded(text, "q", 1, 6);
    EXPECT_STREQ(text, "abcdx"); // a full destination takes nothing more

    // An unterminated destination is terminated at its bound rather than scanned past it.
    GuardedBuffer guarded(6);
    memset(guarded.data, 'x', 6);
    text_AppendBounded(guarded.data, "y", 1, 6);
    EXPECT_STREQ(guarded.data, "xxxxx");
}

TEST(Text, ReplaceAllLeftToRightWithoutRescanning) {
    // Source, pattern, replacement, replacements made, result.
    const std::tuple<const char *, const char *, const char *, size_t, const char *> cases[] = {
        {"a\tb\t\tc", "\t", " ", 3, "a b  c"},
        {"aXa", "a", "aa", 2, "aaXaa"}, // inserted text is not scanned again
        {"x--y--z", "--", nullptr, 2, "xyz"}, // an absent replacement removes the pattern
        {"aaaa", "aa", "", 2, ""},
    };
    for (const auto &[source, pattern, replacement, made, result] : cases) {
        char buffer[64];
        EXPECT_EQ(text_ReplaceAll(source, pattern, replacement, buffer, sizeof buffer), made) << source;
        EXPECT_STREQ(buffer, result);
        // Without a destination: the size the result needs.
        EXPECT_EQ(text_ReplaceAll(source, pattern, replacement, nullptr, 0), strlen(result) + 1) << source;
    }

    char buffer[16];
    // A replacement that does not fit is not made, and nothing is written past the bound.
    memset(buffer, CANARY, sizeof buffer);
    EXPECT_EQ(text_ReplaceAll("a.b.c.d", ".", "----", buffer, 12), 1u);
    EXPECT_STREQ(buffer, "a----b.c.d");
    for (size_t i = 12; i < sizeof buffer; i++) EXPECT_EQ(buffer[i], CANARY) << i;
}

TEST(Text, SqueezeFoldsRunsAndTrims) {
    const char *const cases[][2] = {
        // A run folds to its first character; a line feed or carriage return starts a run of its own.
        {"a \t b", "a b"}, {"a\t b", "a\tb"}, {"a\v\fb", "a\vb"}, {"a\n  b", "a\nb"}, {"a \n\n b", "a \n\nb"},
        {"a\r\nb", "a\r\nb"}, {"a  \r  b", "a \rb"},
        // Leading white space goes, line feeds included; at the end only the one last character,
        // and a final line feed stays.
        {" \t\n\r x", "x"}, {"x ", "x"}, {"x\t\t", "x"}, {"x\n", "x\n"}, {"x  \n", "x \n"}, {"x\t \n", "x\t\n"},
        {"x \r", "x "}, {"x\r", "x"}, {" \t \n ", ""}, {"\n", ""},
        {"  @cmd\t\t1 |  2  \n", "@cmd\t1 | 2 \n"},
    };
    for (const auto &c : cases) {
        char buffer[64];
        text_CopyBounded(buffer, c[0]);
        text_Squeeze(buffer);
        EXPECT_STREQ(buffer, c[1]) << '"' << c[0] << '"';
    }
}

TEST(Text, SliceCopiesByPositionAndNeverReadsPastItsSource) {
    // Macro names cut at 11 and ending at their line feed are seen through the loader's tests.
    char name[12], small[4];
    memset(small, CANARY, sizeof small);
    text_Slice("abcdefgh", 9, small, 3, 0, 7); // the destination bound cuts the copy
    EXPECT_STREQ(small, "ab");
    EXPECT_EQ(small[3], CANARY);

    // Unterminated source flush against an unreadable page: any read past it crashes.
    GuardedBuffer source(5);
    memcpy(source.data, "(ab12", 5);
    text_Slice(source.data, 5, name, sizeof name, 1, 10);
    EXPECT_STREQ(name, "ab12");
    text_Slice(source.data, 5, name, sizeof name, 10, 3); // positions past the source read as terminators
    EXPECT_STREQ(name, "");
    // A start so far out that a + i wraps around must still read nothing of the source.
    memset(name, CANARY, sizeof name);
    text_Slice(source.data, 5, name, sizeof name, static_cast<size_t>(-3), 10);
    for (char c : name) EXPECT_EQ(c, '\0');
}
