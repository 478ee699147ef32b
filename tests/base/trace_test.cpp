// Trace log: the first write of a run empties "_vor_.log", later writes append.
#include "base/trace.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const char *const LOG = "_vor_.log";
} // namespace

TEST(TraceLog, FirstWriteEmptiesTheFileLaterWritesAppend) {
    TestCwd cwd("trace");
    ASSERT_FALSE(cwd.path.empty());
    testfs_WriteFile(LOG, "- _Vortan_ \tline of the previous run\n");
    trace_Reset();
    trace_Write("- _Quillo_  \tinit\n");
    trace_Write("no line end added");
    trace_Write("\n");
    trace_Error("soundStream_Init", "file error");
    trace_Printf("- _Vortan_ \tsuccess on %s : %s\n", "glLoadSceneSlot", "scene.3ds");
    EXPECT_EQ(testfs_ReadFile(LOG), "- _Quillo_  \tinit\nno line end added\n"
                                    "- _Vortan_ \terror on soundStream_Init : file error\n"
                                    "- _Vortan_ \tsuccess on glLoadSceneSlot : scene.3ds\n");

    // A second run keeps only its own lines; an over-long formatted line is cut to the
    // formatting buffer, not written past it.
    trace_Reset();
    trace_Error("glLoadSceneSlot", std::string(5000, 'd').c_str());
    const std::string text = testfs_ReadFile(LOG);
    EXPECT_EQ(text.size(), 1023u);
    EXPECT_EQ(text.rfind("- _Vortan_ \terror on glLoadSceneSlot : ddd", 0), 0u);
}
