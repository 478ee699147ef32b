// Running the built vortan executable in a folder of its own, and reading back what it left:
// captured PNG frames, standard output and error, the trace log, the exit status.
#pragma once
#include <png.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

struct VortanRun {
    int status = -100;
    std::string out, err, log;
};

inline std::string vrun_Quoted(const std::string &text) { return "'" + text + "'"; }

// A fresh folder holding datas/opal.qlo = script.
inline std::string vrun_MakeShow(const char *tag, const std::string &script) {
    const std::string dir = testfs_MakeTempDir(tag);
    std::system(("mkdir -p " + vrun_Quoted(dir) + "/datas").c_str());
    testfs_WriteFile(dir + "/datas/opal.qlo", script);
    return dir;
}

// Runs vortan in folder with arguments; prefix goes before the command (environment settings).
// Xvfb now and then refuses a connection made right after the last one closed; such a run stops
// at once with its GL start-up notice, and a second try gets through.
inline VortanRun vrun_Run(const std::string &folder, const std::string &arguments, const std::string &prefix = "") {
    const std::string command =
        "cd " + vrun_Quoted(folder) + " && " + prefix + " " VORTAN_EXE " " + arguments + " >out.txt 2>err.txt";
    VortanRun run;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int raw = std::system(command.c_str());
        run.status = WIFEXITED(raw) ? int(static_cast<signed char>(WEXITSTATUS(raw))) : -100;
        run.err = testfs_ReadFile(folder + "/err.txt");
        if (run.status != -1 || run.err.find("Error in GL init !") == std::string::npos) break;
    }
    run.out = testfs_ReadFile(folder + "/out.txt");
    run.log = testfs_ReadFile(folder + "/_vor_.log");
    return run;
}

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb; // top row first
    const uint8_t *at(int x, int rowFromTop) const { return &rgb[(size_t(rowFromTop) * size_t(width) + size_t(x)) * 3]; }
    std::vector<int> colour(int x, int rowFromTop) const { return std::vector<int>(at(x, rowFromTop), at(x, rowFromTop) + 3); }
};

// Reads a captured frame; false unless it is 8-bit RGB, as the capture promises.
inline bool vrun_ReadPng(const std::string &path, Picture *picture) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    if (image.format != PNG_FORMAT_RGB) {
        png_image_free(&image);
        return false;
    }
    picture->width = int(image.width);
    picture->height = int(image.height);
    picture->rgb.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, picture->rgb.data(), 0, nullptr) != 0;
}

inline std::string vrun_Frame(const std::string &dir, int k) {
    char name[32];
    snprintf(name, sizeof name, "/frame-%05d.png", k);
    return dir + name;
}

inline bool vrun_Exists(const std::string &path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

inline int vrun_CountFrames(const std::string &dir) {
    int n = 0;
    while (vrun_Exists(vrun_Frame(dir, n))) ++n;
    return n;
}

inline bool vrun_HaveDisplay() { return getenv("DISPLAY") != nullptr; }

// Waits up to seconds for done() to hold.
template <typename Done> bool vrun_WaitUntil(Done done, double seconds) {
    for (int i = 0; i < int(seconds * 50); ++i, usleep(20000))
        if (done()) return true;
    return false;
}

// A test that path holds text, for vrun_WaitUntil.
inline auto vrun_Holds(const std::string &path, const std::string &text) {
    return [=] { return testfs_ReadFile(path).find(text) != std::string::npos; };
}

// vortan started in dir in the background, its output in tag.out and tag.err and "exit N" in
// tag.status at its end; stopped when the test is over, should it still run.
struct VortanChild {
    std::string dir, tag, pid;
    // Started again (up to three times) when Xvfb refused its display, as vrun_Run does.
    VortanChild(const std::string &folder, const std::string &arguments, const char *name) : dir(folder), tag(name) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            std::system(("cd " + vrun_Quoted(dir) + " && rm -f " + tag + ".* && (" VORTAN_EXE " " + arguments + " >" + tag +
                         ".out 2>" + tag + ".err & echo $! >" + tag + ".pid; wait $!; echo exit $? >" + tag + ".status) &").c_str());
            if (vrun_WaitUntil(vrun_Holds(dir + "/" + tag + ".pid", "\n"), 30))
                pid = testfs_ReadFile(dir + "/" + tag + ".pid").substr(0, testfs_ReadFile(dir + "/" + tag + ".pid").find('\n'));
            const std::string err = vrun_WaitUntil(vrun_Holds(dir + "/" + tag + ".status", "exit"), 1.0) ? testfs_ReadFile(dir + "/" + tag + ".err") : "";
            if (err.find("cannot open the display") == std::string::npos && err.find("Error in GL init !") == std::string::npos) break;
        }
    }
    ~VortanChild() {
        if (!pid.empty()) std::system(("kill " + pid + " 2>/dev/null").c_str());
    }
    // The id of the first window xdotool finds with search ("" when none comes), looked for while
    // the process lives: a short capture may end before its window is found.
    std::string window(const std::string &search) const {
        const std::string id = vrun_Quoted(dir + "/" + tag + ".window");
        std::system(("for i in $(seq 300); do kill -0 " + pid + " 2>/dev/null || break; xdotool search " + search +
                     " 2>/dev/null | head -1 >" + id + "; [ -s " + id + " ] && break; sleep 0.2; done").c_str());
        const std::string found = testfs_ReadFile(dir + "/" + tag + ".window");
        return found.substr(0, found.find('\n'));
    }
    bool ended(const char *status, double seconds) const { return vrun_WaitUntil(vrun_Holds(dir + "/" + tag + ".status", status), seconds); }
};
