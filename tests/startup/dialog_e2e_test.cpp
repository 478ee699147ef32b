// The built vortan executable with its setup dialog, driven like a user with xdotool on the test
// display: Return from a check box into the show, and no display at all.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/vortan_run.h"

TEST(DialogEndToEnd, ReturnFromACheckBoxStartsTheShowAt640x480) {
    if (!vrun_HaveDisplay() || std::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "no display or xdotool";
    const std::string dir = vrun_MakeShow("dialog-return", "@end 2\n");
    const VortanChild run(dir, "", "run");
    const std::string dialog = run.window("--onlyvisible --class vortan_setup");
    ASSERT_FALSE(dialog.empty()) << testfs_ReadFile(dir + "/run.err");
    EXPECT_FALSE(vrun_Exists(dir + "/_vor_.log")); // nothing of the engine runs before "process_"
    // process_, _terminate, the list, fullscreen, NoVsync: four tabs reach "NoVsync".
    std::system(("xdotool windowfocus --sync " + dialog + " key --delay 50 Tab Tab Tab Tab space Return").c_str());
    const std::string show = run.window("--onlyvisible --pid " + run.pid + " --name '^_Vortan_'");
    std::system(("xwininfo -id " + show + " | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w\" \"h}' >" +
                 vrun_Quoted(dir + "/size.txt")).c_str());
    EXPECT_EQ(testfs_ReadFile(dir + "/size.txt"), "640 480\n");
    ASSERT_TRUE(run.ended("exit 0\n", 60)) << testfs_ReadFile(dir + "/run.err");
    const std::string log = testfs_ReadFile(dir + "/_vor_.log");
    EXPECT_EQ(log.find("- _Quillo_  \tinit\n"), 0u);
    EXPECT_NE(log.find("- _Vortan_ \tstart Mainloop\n- _Vortan_ \tclosing stream\n- _Vortan_ \tGLFW terminate\n"),
              std::string::npos) << log;
    EXPECT_EQ(testfs_ReadFile(dir + "/run.out"), ""); // no console without "debug"
}

TEST(DialogEndToEnd, NoDisplayIsOneLineAndMinusOne) {
    const VortanRun run = vrun_Run(vrun_MakeShow("dialog-nodisplay", "@end 2\n"), "", "env -u DISPLAY");
    EXPECT_EQ(run.status, -1);
    EXPECT_NE(run.err.find("display"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err; // exactly one line
    EXPECT_EQ(run.log, "");
}
