// The modal notices: the engine's fatal start-up notice and the picture box's About box, looked
// at from inside their modal loop (caption, text, one OK button) and closed with that button.
#include "startup/picture_box.h"
#include "startup/program.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Window.H>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
struct Seen {
    bool modal = false;
    std::string caption;
    std::vector<std::string> buttons;
    std::vector<std::string> labels;
};

void collect(Fl_Group *group, Seen &seen, Fl_Button *&ok) {
    for (int i = 0; i < group->children(); ++i) {
        Fl_Widget *child = group->child(i);
        if (!child->visible()) continue;
        if (Fl_Button *button = dynamic_cast<Fl_Button *>(child)) {
            seen.buttons.push_back(button->label() ? button->label() : "");
            ok = button;
        } else if (child->label()) {
            seen.labels.push_back(child->label());
        }
        if (Fl_Group *inner = child->as_group()) collect(inner, seen, ok);
    }
}

// Runs inside the notice's modal loop: records what is shown and presses the OK button.
void inspect(void *data) {
    Seen &seen = *static_cast<Seen *>(data);
    Fl_Window *window = Fl::modal();
    if (!window || !window->shown()) {
        Fl::repeat_timeout(0.05, inspect, data);
        return;
    }
    seen.modal = true;
    seen.caption = window->label() ? window->label() : "";
    Fl_Button *ok = nullptr;
    collect(window, seen, ok);
    if (ok) ok->do_callback();
    else window->hide();
}

// A notice that never shows up must not hang the test.
void giveUp(void *) {
    if (Fl::modal()) Fl::modal()->hide();
}

bool contains(const std::vector<std::string> &texts, const std::string &text) {
    for (const std::string &t : texts)
        if (t.find(text) != std::string::npos) return true;
    return false;
}
} // namespace

TEST(Notices, FatalStartupNoticeIsModalWithOneOkAndOnStandardError) {
    if (!getenv("DISPLAY") || !startup_OpenDisplay()) GTEST_SKIP() << "no display";
    Seen seen;
    Fl::add_timeout(0.05, inspect, &seen);
    Fl::add_timeout(20.0, giveUp);
    testing::internal::CaptureStderr();
    startup_Notice("No multi-texturing support !", "_Vortan_");
    const std::string err = testing::internal::GetCapturedStderr();
    Fl::remove_timeout(giveUp);
    EXPECT_EQ(err, "_Vortan_: No multi-texturing support !\n");
    EXPECT_TRUE(seen.modal);
    EXPECT_EQ(seen.caption, "_Vortan_");
    EXPECT_EQ(seen.buttons, std::vector<std::string>{"OK"});
    EXPECT_TRUE(contains(seen.labels, "No multi-texturing support !"));
}

TEST(Notices, PictureBoxAbout) {
    if (!getenv("DISPLAY") || !startup_OpenDisplay()) GTEST_SKIP() << "no display";
    Seen seen;
    Fl::add_timeout(0.05, inspect, &seen);
    Fl::add_timeout(20.0, giveUp);
    PictureBox_About();
    Fl::remove_timeout(giveUp);
    EXPECT_TRUE(seen.modal);
    EXPECT_EQ(seen.caption, "Version");
    EXPECT_EQ(seen.buttons, std::vector<std::string>{"OK"});
    EXPECT_TRUE(contains(seen.labels, "PictureBox Library Version 1.00"));
}
