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
constexpr int WAIT_STEPS = 600;         // 60 s at most for the program to end
constexpr const char *FIND = "timeout 20 xdotool search --sync --onlyvisible";

bool ready(std::string &why) {
    if (std::string(VORTAN_EXE).empty()) {
        why = "the vortan executable is not built yet";
        return false;
    }
    if (!getenv("DISPLAY")) {
        why = "no display";
        return false;
    }
    if (std::system("command -v xdotool >/dev/null 2>&1") != 0) {
        why = "xdotool is missing";
        return false;
    }
    return true;
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
    int status = -100;

    Program(const char *tag, const std::string &script, const std::string &arguments, bool display = true)
        : dir(testfs_MakeTempDir(tag)) {
        std::system(("mkdir -p " + dir + "/datas").c_str());
        testfs_WriteFile(dir + "/datas/opal.qlo", script);
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
    // Waits for the end (killing it after a minute) and returns the exit status as main gave it.
    int finish() {
        for (int i = 0; i < WAIT_STEPS && pid > 0; ++i) {
            int raw = 0;
            if (waitpid(pid, &raw, WNOHANG) == pid) {
                pid = -1;
                status = WIFEXITED(raw) ? int(static_cast<signed char>(WEXITSTATUS(raw))) : -100;
                return status;
            }
            usleep(100000);
        }
        return -200;
    }
    std::string file(const char *name) const { return testfs_ReadFile(dir + "/" + name); }
    bool hasLog() const { return access((dir + "/_vor_.log").c_str(), F_OK) == 0; }
};

// The show's window of this process, and its size as "W H".
std::string showWindowSize(const Program &program) {
    const std::string id =
        run(std::string(FIND) + " --pid " + std::to_string(program.pid) + " --name '^_Vortan_' | head -1");
    if (id.empty()) return "";
    return run("xwininfo -id " + id + " | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w\" \"h}'");
}

const char *const SHOW_LOG_END = "- _Vortan_ \tstart Mainloop\n- _Vortan_ \tclosing stream\n- _Vortan_ \tGLFW terminate\n";

struct Screenshot {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    const unsigned char *at(int x, int y) const { return &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3]; }
};

bool readPpm(const std::string &path, Screenshot &shot) {
    const std::string bytes = testfs_ReadFile(path);
    int maxValue = 0, consumed = 0;
    if (sscanf(bytes.c_str(), "P6 %d %d %d%n", &shot.width, &shot.height, &maxValue, &consumed) != 3) return false;
    size_t start = size_t(consumed) + 1, size = size_t(shot.width) * size_t(shot.height) * 3;
    if (maxValue != 255 || bytes.size() < start + size) return false;
    shot.rgb.assign(bytes.begin() + long(start), bytes.begin() + long(start + size));
    return true;
}

bool isFace(const unsigned char *p) { return p[0] == 0xD4 && p[1] == 0xD0 && p[2] == 0xC8; }
} // namespace

TEST(DialogEndToEnd, ReturnStartsTheShowAt640x480) {
    std::string why;
    if (!ready(why)) GTEST_SKIP() << why;
    Program program("dialog-return", "@end 2\n", "");
    const std::string dialog = program.dialog();
    ASSERT_FALSE(dialog.empty()) << program.file("err.txt");
    EXPECT_FALSE(program.hasLog());   // nothing of the engine runs before "process_"
    program.keys(dialog, "Return");
    std::string size;
    for (int i = 0; i < 100 && size.empty(); ++i) {
        size = showWindowSize(program);
        if (size.empty()) usleep(100000);
    }
    EXPECT_EQ(size, "640 480");
    EXPECT_EQ(program.finish(), 0) << program.file("err.txt");
    const std::string log = program.file("_vor_.log");
    EXPECT_EQ(log.find("- _Quillo_  \tinit\n"), 0u);
    EXPECT_NE(log.find(SHOW_LOG_END), std::string::npos) << log;
    EXPECT_EQ(program.file("out.txt"), "");   // no console without "debug"
}

TEST(DialogEndToEnd, ReturnFromACheckBoxStartsTheShow) {
    std::string why;
    if (!ready(why)) GTEST_SKIP() << why;
    Program program("dialog-checkbox", "@end 0\n", "");
    const std::string dialog = program.dialog();
    ASSERT_FALSE(dialog.empty()) << program.file("err.txt");
    // process_, _terminate, the list, fullscreen, NoVsync: four tabs reach "NoVsync".
    program.keys(dialog, "Tab Tab Tab Tab space Return");
    EXPECT_EQ(program.finish(), 0) << program.file("err.txt");
    EXPECT_NE(program.file("_vor_.log").find(SHOW_LOG_END), std::string::npos);
}

TEST(DialogEndToEnd, EscapeAndTerminateEndWithoutTheEngine) {
    std::string why;
    if (!ready(why)) GTEST_SKIP() << why;
    Program escape("dialog-escape", "@end 0\n", "debug");
    std::string dialog = escape.dialog();
    ASSERT_FALSE(dialog.empty()) << escape.file("err.txt");
    escape.keys(dialog, "Escape");
    EXPECT_EQ(escape.finish(), 0);
    EXPECT_FALSE(escape.hasLog());
    // The "debug" tail opened the console before the dialog; nothing of the engine printed.
    EXPECT_EQ(escape.file("out.txt"), "_.________ _Vortan_ Initialized\n");

    Program terminate("dialog-terminate", "@end 0\n", "");
    dialog = terminate.dialog();
    ASSERT_FALSE(dialog.empty());
    const PixelRect button = dialog_MapRect(263, 71, 120, 14);   // "_terminate"
    run("xdotool mousemove --window " + dialog + " " + std::to_string(1 + button.x + button.w / 2) + " " +
        std::to_string(1 + button.y + button.h / 2) + " click 1");
    EXPECT_EQ(terminate.finish(), 0);
    EXPECT_FALSE(terminate.hasLog());
    EXPECT_EQ(terminate.file("out.txt"), "");
}

TEST(DialogEndToEnd, ChoosingEightHundredOpensAnEightHundredWindow) {
    std::string why;
    if (!ready(why)) GTEST_SKIP() << why;
    Program program("dialog-800", "@end 3\n", "");
    const std::string dialog = program.dialog();
    ASSERT_FALSE(dialog.empty()) << program.file("err.txt");
    // Open the list with the mouse, step to the second entry and take it, then Return.
    const PixelRect list = dialog_MapRect(69, 72, 58, 47);
    run("xdotool mousemove --window " + dialog + " " + std::to_string(1 + list.x + list.w / 2) + " " +
        std::to_string(1 + list.y + 8) + " click 1");
    usleep(500000);   // the list's menu opens and takes the keyboard
    run("xdotool key --delay 50 Down Return");
    usleep(300000);
    program.keys(dialog, "Return");
    std::string size;
    for (int i = 0; i < 100 && size.empty(); ++i) {
        size = showWindowSize(program);
        if (size.empty()) usleep(100000);
    }
    EXPECT_EQ(size, "800 600");
    EXPECT_EQ(program.finish(), 0) << program.file("err.txt");
    EXPECT_TRUE(program.hasLog());
}

TEST(DialogEndToEnd, NoDisplayIsOneLineAndMinusOne) {
    if (std::string(VORTAN_EXE).empty()) GTEST_SKIP() << "the vortan executable is not built yet";
    Program program("dialog-nodisplay", "@end 0\n", "", false);
    EXPECT_EQ(program.finish(), -1);
    const std::string err = program.file("err.txt");
    EXPECT_NE(err.find("display"), std::string::npos) << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;   // exactly one line
    EXPECT_FALSE(program.hasLog());
}

TEST(DialogEndToEnd, ScreenshotMatchesTheTemplate) {
    std::string why;
    if (!ready(why)) GTEST_SKIP() << why;
    if (std::system("command -v import >/dev/null 2>&1") != 0) GTEST_SKIP() << "imagemagick's import is missing";
    Program program("dialog-shot", "@end 0\n", "");
    const std::string dialog = program.dialog();
    ASSERT_FALSE(dialog.empty()) << program.file("err.txt");
    // Centred on the screen.
    const std::string geometry = run("xdotool getwindowgeometry " + dialog + " | tr -s ' ' | tr '\\n' ' '");
    const std::string screen = run("xdotool getdisplaygeometry");
    int sw = 0, sh = 0;
    ASSERT_EQ(sscanf(screen.c_str(), "%d %d", &sw, &sh), 2);
    const std::string where = std::to_string((sw - 587) / 2) + "," + std::to_string((sh - 163) / 2);
    EXPECT_NE(geometry.find("Position: " + where), std::string::npos) << geometry;

    usleep(300000);   // let the first expose finish before the grab
    const std::string ppm = program.dir + "/dialog.ppm";
    run("import -window " + dialog + " -depth 8 " + ppm + " && convert " + ppm + " " + program.dir + "/dialog.png");
    program.keys(dialog, "Escape");
    EXPECT_EQ(program.finish(), 0);

    Screenshot shot;
    ASSERT_TRUE(readPpm(ppm, shot));
    printf("dialog screenshot: %s/dialog.png\n", program.dir.c_str());
    ASSERT_EQ(shot.width, 587);
    ASSERT_EQ(shot.height, 163);
    for (int x = 0; x < shot.width; ++x) {
        EXPECT_EQ(shot.at(x, 0)[0], 0);
        EXPECT_EQ(shot.at(x, shot.height - 1)[1], 0);
    }

    // The banner across the top, pixel for pixel as decoded.
    RcData banner = resource_FindRcData(RCDATA_BANNER);
    PictureBoxImage picture;
    ASSERT_TRUE(PictureBox_DecodeJpeg(banner.bytes, banner.size, picture));
    const PixelRect box = dialog_MapRect(2, 2, 385, 60);
    long difference = 0;
    for (int y = 0; y < box.h; ++y)
        for (int x = 0; x < box.w; ++x)
            for (int c = 0; c < 3; ++c)
                difference += std::abs(int(shot.at(1 + box.x + x, 1 + box.y + y)[c]) -
                                       int(picture.rgb[(size_t(y) * 577 + size_t(x)) * 3 + size_t(c)]));
    EXPECT_LT(double(difference) / (box.w * box.h * 3), 2.0);

    // Every control draws inside its template rectangle, and nothing is drawn outside them.
    const DialogTemplate *t = resource_FindDialog(DIALOG_SETUP);
    std::vector<PixelRect> rects;
    for (int i = 0; i < t->itemCount; ++i) {
        const DialogItemTemplate &item = t->items[i];
        PixelRect r = dialog_MapRect(item.x, item.y, item.cx, item.cy);
        if (item.id == IDC_RESOLUTION) r.h = 21;   // the closed list
        r.x += 1;
        r.y += 1;
        rects.push_back(r);
        int drawn = 0;
        for (int y = r.y; y < r.y + r.h; ++y)
            for (int x = r.x; x < r.x + r.w; ++x) drawn += !isFace(shot.at(x, y));
        EXPECT_GT(drawn, r.w * r.h / 20) << "control " << item.id;
    }
    int stray = 0;
    for (int y = 1; y < shot.height - 1; ++y) {
        for (int x = 1; x < shot.width - 1; ++x) {
            bool inside = false;
            for (const PixelRect &r : rects) inside |= x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h;
            if (!inside && !isFace(shot.at(x, y))) ++stray;
        }
    }
    EXPECT_EQ(stray, 0);
    // The default button's heavy frame lies on its rectangle's edge.
    const PixelRect ok = dialog_MapRect(137, 71, 120, 14);
    EXPECT_EQ(shot.at(1 + ok.x, 1 + ok.y + ok.h / 2)[0], 0);
    EXPECT_TRUE(isFace(shot.at(ok.x, 1 + ok.y + ok.h / 2)));
}
