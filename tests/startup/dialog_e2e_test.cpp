// The built vortan executable with its setup dialog, driven like a user with xdotool on the test
// display: Return from a check box into the show, and no display at all.
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

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

TEST(DialogEndToEnd, NoDisplayIsOneLineAndMinusOne) {
    if (std::string(VORTAN_EXE).empty()) GTEST_SKIP() << "the vortan executable is not built yet";
    Program program("dialog-nodisplay", "", false);
    EXPECT_EQ(program.finish(), -1);
    const std::string err = program.file("err.txt");
    EXPECT_NE(err.find("display"), std::string::npos) << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err; // exactly one line
    EXPECT_FALSE(program.hasLog());
}
