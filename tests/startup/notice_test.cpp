// The modal notices: the engine's fatal start-up notice and the picture box's About box, looked
// at from inside their modal loop (caption, text, one OK button) and closed with that button.
#include "startup/picture_box.h"
#include "startup/program.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Window.H>
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {
struct Seen {
    bool modal = false;
    std::string caption, labels;
    std::vector<std::string> buttons;
};

void collect(Fl_Group *group, Seen &seen, Fl_Button *&ok) {
    for (int i = 0; i < group->children(); ++i) {
        Fl_Widget *child = group->child(i);
        if (!child->visible()) continue;
        if (Fl_Button *button = dynamic_cast<Fl_Button *>(child)) {
            seen.buttons.push_back(button->label() ? button->label() : "");
            ok = button;
        } else if (child->label()) {
            seen.labels += std::string(child->label()) + "\n";
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

Seen seenIn(void (*show)()) {
    Seen seen;
    Fl::add_timeout(0.05, inspect, &seen);
    Fl::add_timeout(20.0, giveUp);
    show();
    Fl::remove_timeout(giveUp);
    return seen;
}
} // namespace

TEST(Notices, ModalWithItsCaptionTextAndOneOk) {
    if (!getenv("DISPLAY") || !startup_OpenDisplay()) GTEST_SKIP() << "no display";
    testing::internal::CaptureStderr();
    const Seen fatal = seenIn([] { startup_Notice("No multi-texturing support !", "_Vortan_"); });
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "_Vortan_: No multi-texturing support !\n");
    const Seen about = seenIn(PictureBox_About);
    const std::tuple<const Seen &, const char *, const char *> cases[] = {
        {fatal, "_Vortan_", "No multi-texturing support !"}, {about, "Version", "PictureBox Library Version 1.00"}};
    for (const auto &[seen, caption, text] : cases) {
        EXPECT_TRUE(seen.modal) << caption;
        EXPECT_EQ(seen.caption, caption);
        EXPECT_EQ(seen.buttons, std::vector<std::string>{"OK"});
        EXPECT_NE(seen.labels.find(text), std::string::npos) << seen.labels;
    }
}
