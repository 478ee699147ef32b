// The built vortan executable with its setup dialog, driven like a user with xdotool on the test
// display: Return, Escape, "_terminate", the resolution list, the "debug" tail, no display at
// all, and a screenshot of the dialog compared with the template's layout.
#include "resources/dialog_template.h"
#include "resources/rcdata.h"
#include "startup/picture_box.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {
constexpr const char *FIND = "timeout 20 xdotool search --sync --onlyvisible";
const char *const SHOW_LOG_END = "- _Vortan_ \tstart Mainloop\n- _Vortan_ \tclosing stream\n- _Vortan_ \tGLFW terminate\n";

// Why these tests cannot run here, or "" when they can.
std::string missing() {
    if (std::string(VORTAN_EXE).empty()) return "the vortan executable is not built yet";
    if (!getenv("DISPLAY")) return "no display";
    if (std::system("command -v xdotool >/dev/null 2>&1") != 0) return "xdotool is missing";
    return "";
}

std::string run(const std::string &command) {
    std::string out;
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
    pclose(pipe);
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

// vortan started in folder with datas/opal.qlo = script; its output goes to out.txt, err.txt.
struct Program {
    pid_t pid = -1;
    std::string dir;

    Program(const char *tag, const std::string &arguments, bool display = true) : dir(testfs_MakeTempDir(tag)) {
        std::system(("mkdir -p " + dir + "/datas").c_str());
        testfs_WriteFile(dir + "/datas/opal.qlo", "@end 2\n");
        const std::string command = "exec " VORTAN_EXE " " + arguments + " >out.txt 2>err.txt";
        pid = fork();
        if (pid == 0) {
            if (chdir(dir.c_str()) != 0) _exit(126);
            if (!display) unsetenv("DISPLAY");
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char *>(nullptr));
            _exit(127);
        }
    }
    ~Program() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    // The dialog's window id, once it is on screen ("" if it never comes).
    std::string dialog() const { return run(std::string(FIND) + " --class vortan_setup | head -1"); }
    void keys(const std::string &window, const std::string &keys) const {
        run("xdotool windowfocus --sync " + window + " key --delay 50 " + keys);
    }
    void click(const std::string &window, const PixelRect &r, int dy) const {
        run("xdotool mousemove --window " + window + " " + std::to_string(1 + r.x + r.w / 2) + " " +
            std::to_string(1 + r.y + dy) + " click 1");
    }
    // The show's window size as "W H", once it is open ("" if it never comes).
    std::string showWindowSize() const {
        for (int i = 0; i < 100; ++i, usleep(100000)) {
            const std::string id = run(std::string(FIND) + " --pid " + std::to_string(pid) + " --name '^_Vortan_' | head -1");
            if (!id.empty()) return run("xwininfo -id " + id + " | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w\" \"h}'");
        }
        return "";
    }
    // Waits for the end (killing it after a minute) and returns the exit status as main gave it.
    int finish() {
        for (int i = 0; i < 600 && pid > 0; ++i, usleep(100000)) {
            int raw = 0;
            if (waitpid(pid, &raw, WNOHANG) == pid) {
                pid = -1;
                return WIFEXITED(raw) ? int(static_cast<signed char>(WEXITSTATUS(raw))) : -100;
            }
        }
        return -200;
    }
    std::string file(const char *name) const { return testfs_ReadFile(dir + "/" + name); }
    bool hasLog() const { return access((dir + "/_vor_.log").c_str(), F_OK) == 0; }
};

bool isFace(const unsigned char *p) { return p[0] == 0xD4 && p[1] == 0xD0 && p[2] == 0xC8; }
} // namespace

TEST(DialogEndToEnd, ReturnFromACheckBoxStartsTheShowAt640x480) {
    if (const std::string why = missing(); !why.empty()) GTEST_SKIP() << why;
    Program program("dialog-return", "");
    const std::string dialog = program.dialog();
    ASSERT_FALSE(dialog.empty()) << program.file("err.txt");
    EXPECT_FALSE(program.hasLog()); // nothing of the engine runs before "process_"
    // process_, _terminate, the list, fullscreen, NoVsync: four tabs reach "NoVsync".
    program.keys(dialog, "Tab Tab Tab Tab space Return");
    EXPECT_EQ(program.showWindowSize(), "640 480");
    EXPECT_EQ(program.finish(), 0) << program.file("err.txt");
    const std::string log = program.file("_vor_.log");
    EXPECT_EQ(log.find("- _Quillo_  \tinit\n"), 0u);
    EXPECT_NE(log.find(SHOW_LOG_END), std::string::npos) << log;
    EXPECT_EQ(program.file("out.txt"), ""); // no console without "debug"
}

TEST(DialogEndToEnd, EscapeAndTerminateEndWithoutTheEngine) {
    if (const std::string why = missing(); !why.empty()) GTEST_SKIP() << why;
    Program escape("dialog-escape", "debug");
    std::string dialog = escape.dialog();
    ASSERT_FALSE(dialog.empty()) << escape.file("err.txt");
    escape.keys(dialog, "Escape");
    EXPECT_EQ(escape.finish(), 0);
    EXPECT_FALSE(escape.hasLog());
    // The "debug" tail opened the console before the dialog; nothing of the engine printed.
    EXPECT_EQ(escape.file("out.txt"), "_.________ _Vortan_ Initialized\n");

    Program terminate("dialog-terminate", "");
    dialog = terminate.dialog();
    ASSERT_FALSE(dialog.empty());
    const PixelRect button = dialog_MapRect(263, 71, 120, 14); // "_terminate"
    terminate.click(dialog, button, button.h / 2);
    EXPECT_EQ(terminate.finish(), 0);
    EXPECT_FALSE(terminate.hasLog());
}

TEST(DialogEndToEnd, ChoosingEightHundredOpensAnEightHundredWindow) {
    if (const std::string why = missing(); !why.empty()) GTEST_SKIP() << why;
    Program program("dialog-800", "");
    const std::string dialog = program.dialog();
    ASSERT_FALSE(dialog.empty()) << program.file("err.txt");
    // Open the list with the mouse, step to the second entry and take it, then Return.
    program.click(dialog, dialog_MapRect(69, 72, 58, 47), 8);
    usleep(500000); // the list's menu opens and takes the keyboard
    run("xdotool key --delay 50 Down Return");
    usleep(300000);
    program.keys(dialog, "Return");
    EXPECT_EQ(program.showWindowSize(), "800 600");
    EXPECT_EQ(program.finish(), 0) << program.file("err.txt");
    EXPECT_TRUE(program.hasLog());
}

TEST(DialogEndToEnd, NoDisplayIsOneLineAndMinusOne) {
    if (std::string(VORTAN_EXE).empty()) GTEST_SKIP() << "the vortan executable is not built yet";
    Program program("dialog-nodisplay", "", false);
    EXPECT_EQ(program.finish(), -1);
    const std::string err = program.file("err.txt");
    EXPECT_NE(err.find("display"), std::string::npos) << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err; // exactly one line
    EXPECT_FALSE(program.hasLog());
}

TEST(DialogEndToEnd, ScreenshotMatchesTheTemplate) {
    if (const std::string why = missing(); !why.empty()) GTEST_SKIP() << why;
    if (std::system("command -v import >/dev/null 2>&1") != 0) GTEST_SKIP() << "imagemagick's import is missing";
    Program program("dialog-shot", "");
    const std::string dialog = program.dialog();
    ASSERT_FALSE(dialog.empty()) << program.file("err.txt");
    // Centred on the screen.
    const std::string geometry = run("xdotool getwindowgeometry " + dialog + " | tr -s ' ' | tr '\\n' ' '");
    int sw = 0, sh = 0;
    ASSERT_EQ(sscanf(run("xdotool getdisplaygeometry").c_str(), "%d %d", &sw, &sh), 2);
    EXPECT_NE(geometry.find("Position: " + std::to_string((sw - 587) / 2) + "," + std::to_string((sh - 163) / 2)),
              std::string::npos) << geometry;

    usleep(300000); // let the first expose finish before the grab
    run("cd " + program.dir + " && import -window " + dialog + " -depth 8 dialog.png && convert dialog.png -depth 8 rgb:dialog.rgb");
    program.keys(dialog, "Escape");
    EXPECT_EQ(program.finish(), 0);
    printf("dialog screenshot: %s/dialog.png\n", program.dir.c_str());
    const std::string shot = program.file("dialog.rgb");
    ASSERT_EQ(shot.size(), 587u * 163u * 3u); // 585 x 161 inside a one-pixel black border
    auto at = [&](int x, int y) { return reinterpret_cast<const unsigned char *>(&shot[(size_t(y) * 587 + size_t(x)) * 3]); };
    for (int x = 0; x < 587; ++x) EXPECT_EQ(at(x, 0)[0] + at(x, 162)[1], 0) << x;

    // The banner across the top, pixel for pixel as decoded.
    RcData banner = resource_FindRcData(RCDATA_BANNER);
    PictureBoxImage picture;
    ASSERT_TRUE(PictureBox_DecodeJpeg(banner.bytes, banner.size, picture));
    const PixelRect box = dialog_MapRect(2, 2, 385, 60);
    long difference = 0;
    for (int y = 0; y < box.h; ++y)
        for (int x = 0; x < box.w; ++x)
            for (int c = 0; c < 3; ++c)
                difference += std::abs(int(at(1 + box.x + x, 1 + box.y + y)[c]) - int(picture.rgb[(size_t(y) * 577 + size_t(x)) * 3 + size_t(c)]));
    EXPECT_LT(double(difference) / (box.w * box.h * 3), 2.0);

    // Every control draws inside its template rectangle, and nothing is drawn outside them.
    const DialogTemplate *t = resource_FindDialog(DIALOG_SETUP);
    std::vector<int> owner(587 * 163, -1);
    for (int i = 0; i < t->itemCount; ++i) {
        const DialogItemTemplate &item = t->items[i];
        const PixelRect r = dialog_MapRect(item.x, item.y, item.cx, item.cy);
        const int h = item.id == IDC_RESOLUTION ? 21 : r.h; // the closed list
        int drawn = 0;
        for (int y = r.y + 1; y < r.y + 1 + h; ++y)
            for (int x = r.x + 1; x < r.x + 1 + r.w; ++x) {
                drawn += !isFace(at(x, y));
                owner[size_t(y) * 587 + size_t(x)] = item.id;
            }
        EXPECT_GT(drawn, r.w * h / 20) << "control " << item.id;
    }
    int stray = 0;
    for (int y = 1; y < 162; ++y)
        for (int x = 1; x < 586; ++x) stray += owner[size_t(y) * 587 + size_t(x)] < 0 && !isFace(at(x, y));
    EXPECT_EQ(stray, 0);
    // The default button's heavy frame lies on its rectangle's edge.
    const PixelRect ok = dialog_MapRect(137, 71, 120, 14);
    EXPECT_EQ(at(1 + ok.x, 1 + ok.y + ok.h / 2)[0], 0);
    EXPECT_TRUE(isFace(at(ok.x, 1 + ok.y + ok.h / 2)));
}
