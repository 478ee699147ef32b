// Trace log: the first write of a run empties "_vor_.log", later writes append, and a failed
// open drops its line and makes the next write start the file afresh.
#include "startup/trace.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const char *const LOG = "_vor_.log";

std::string logText() { return testfs_ReadFile(LOG); }
} // namespace

TEST(TraceLog, FirstWriteEmptiesTheFileLaterWritesAppend) {
    TestCwd cwd("trace");
    ASSERT_FALSE(cwd.path.empty());
    testfs_WriteFile(LOG, "- _Vortan_ \tline of the previous run\n");
    trace_Reset();

    trace_Write("- _Quillo_  \tinit\n");
    EXPECT_EQ(logText(), "- _Quillo_  \tinit\n");
    trace_Write("- _Quillo_ \tregister functions\n");
    trace_Write("no line end added");
    trace_Write("\n");
    EXPECT_EQ(logText(), "- _Quillo_  \tinit\n- _Quillo_ \tregister functions\nno line end added\n");

    // Appending creates the file again when it went missing meanwhile.
    ASSERT_EQ(remove(LOG), 0);
    trace_Write("- _Vortan_ \tGLFW terminate\n");
    EXPECT_EQ(logText(), "- _Vortan_ \tGLFW terminate\n");

    // A second run (the flag forgotten) keeps only its own lines.
    trace_Reset();
    trace_Write("- _Vortan_ \tinit\n");
    EXPECT_EQ(logText(), "- _Vortan_ \tinit\n");
}

TEST(TraceLog, FormattedLines) {
    TestCwd cwd("trace");
    ASSERT_FALSE(cwd.path.empty());
    trace_Reset();
    trace_Error("soundStream_Init", "file error");
    trace_Printf("- _Vortan_ \tsuccess on %s : %s\n", "glLoadSceneSlot", "scene.3ds");
    EXPECT_EQ(logText(), "- _Vortan_ \terror on soundStream_Init : file error\n"
                         "- _Vortan_ \tsuccess on glLoadSceneSlot : scene.3ds\n");

    // An over-long formatted line is cut to the formatting buffer, not written past it.
    trace_Reset();
    std::string detail(5000, 'd');
    trace_Error("glLoadSceneSlot", detail.c_str());
    std::string text = logText();
    EXPECT_EQ(text.size(), 1023u);
    EXPECT_EQ(text.rfind("- _Vortan_ \terror on glLoadSceneSlot : ddd", 0), 0u);
}

TEST(TraceLog, AFailedOpenDropsTheLineAndRestartsTheFile) {
    TestCwd cwd("trace");
    ASSERT_FALSE(cwd.path.empty());
    trace_Reset();
    trace_Write("first\n");
    trace_Write("second\n");
    ASSERT_EQ(logText(), "first\nsecond\n");

    // A folder in the log's place: the open fails and the line is lost without a word.
    ASSERT_EQ(remove(LOG), 0);
    ASSERT_EQ(mkdir(LOG, 0755), 0);
    trace_Write("lost\n");
    ASSERT_EQ(rmdir(LOG), 0);

    // The next write starts afresh: what stood in the file before the failure goes with it.
    testfs_WriteFile(LOG, "first\nsecond\n");
    trace_Write("third\n");
    EXPECT_EQ(logText(), "third\n");
    trace_Write("fourth\n");
    EXPECT_EQ(logText(), "third\nfourth\n");

    // Failing on the very first write of a run behaves the same.
    trace_Reset();
    ASSERT_EQ(remove(LOG), 0);
    ASSERT_EQ(mkdir(LOG, 0755), 0);
    trace_Write("lost too\n");
    ASSERT_EQ(rmdir(LOG), 0);
    testfs_WriteFile(LOG, "stale\n");
    trace_Write("fifth\n");
    EXPECT_EQ(logText(), "fifth\n");
}

TEST(TraceLog, AVanishedWorkingFolderDropsTheLine) {
    // Permission bits do not stop root, so the failure comes from a folder that no longer exists.
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    std::string gone = testfs_MakeTempDir("trace-gone");
    std::string next = testfs_MakeTempDir("trace-next");
    ASSERT_EQ(chdir(gone.c_str()), 0);
    trace_Reset();
    trace_Write("before\n");
    ASSERT_EQ(remove(LOG), 0);
    ASSERT_EQ(rmdir(gone.c_str()), 0);
    trace_Write("dropped\n");

    ASSERT_EQ(chdir(next.c_str()), 0);
    testfs_WriteFile(LOG, "older run\n");
    trace_Write("after\n");
    EXPECT_EQ(logText(), "after\n");
    ASSERT_EQ(chdir(previous), 0);
}
