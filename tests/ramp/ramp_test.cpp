// Ramps: each rampable command's values at frames along each curve (the expected values worked
// out here from the curves' formulas), ramps cut and refused, and captured frames.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "engine/engine.h"
#include "ramp/ramp.h"
#include "scene/scene.h"
#include "tests/support/engine_stage.h"
#include "tests/support/vortan_run.h"

namespace {

double curve(const std::string &name, double u) {
    u = std::fmin(1.0, std::fmax(0.0, u));
    if (name == "smooth") return u * u * (3 - 2 * u);
    if (name == "in") return u * u;
    if (name == "out") return u * (2 - u);
    if (name == "step") return u < 1 ? 0 : 1;
    return u;
}

// A script loaded as the show loads it, played at 10 frames a second (one line a frame, ramps
// moved after it) up to script time `until`; at each frame `seen` looks at the state.
void play(const std::string &text, double until, const std::function<void(double)> &seen = nullptr) {
    testfs_WriteFile("ramp.qlo", text);
    script_Reset();
    script_Init();
    engine_ResetState();
    engine_ResetLayers();
    engine_RegisterCommands();
    scene_ResetState();
    ramp_Reset();
    ASSERT_EQ(script_Load("ramp.qlo"), SCRIPT_OK);
    for (int k = 0; k / 10.0 <= until + 1e-9; ++k) {
        script_Eval(k / 10.0);
        ramp_Apply(k / 10.0);
        if (seen) seen(k / 10.0);
    }
}

struct CommandRow {
    const char *lines;           // the line before sets `from`; the ramp runs from 1 to 2 s
    std::function<float()> value;
    double from, to;
};

} // namespace

TEST(Ramps, EachCommandMovesItsValuesAlongEachCurve) {
    EngineStage stage;
    const CommandRow rows[] = {
        {"@glsetclearcolor 0|0.2|0|0\n@glsetclearcolor 1..2%s|0.8|0|0\n", [] { return engine.colors[2].red; }, 0.2, 0.8},
        {"@glsetcolor 0|0|0|0.5|0\n@glsetcolor 1..2%s|0|0|0.1|0\n", [] { return engine.colors[0].green; }, 0.5, 0.1},
        {"@glsetcinemascope 0|1|0\n@glsetcinemascope 1..2%s|1|20\n", [] { return engine.cinemascopePercent; }, 0, 20},
        {"@glsetlayerparam 0|0|x|1|0|1|1\n@glsetlayerparam 1..2%s|0|x|1|1|3|1\n", [] { return engine.layers[0].repeatU; }, 1, 3},
        {"@glsetlayerpos 0|2|0|0|0|100|0|0\n@glsetlayerpos 1..2%s|2|0|0|0|301|0|0\n", [] { return engine.layers[2].y; }, 100, 301},
        {"@glsetlayerparamex 0|4|8|0|0|0\n@glsetlayerparamex 1..2%s|4|-8|0|0|0\n", [] { return engine.layers[4].speedX; }, 8, -8},
        {"@glfx_rtalpha 0|1|0.9\n@glfx_rtalpha 1..2%s|1|0.3\n", [] { return engine.layers[21].fade; }, 0.9, 0.3},
        {"@glsetreplayspeed 0|2\n@glsetreplayspeed 1..2%s|-6\n", [] { return scene.replaySpeed; }, 2, -6},
        {"@glsetreplayframe 0|10\n@glsetreplayframe 1..2%s|70\n", [] { return scene.replayFrame; }, 10, 70},
    };
    const char *curves[] = {"", ":smooth", ":in", ":out", ":step"};
    for (const CommandRow &row : rows) {
        for (const char *written : curves) {
            char text[256];
            snprintf(text, sizeof text, row.lines, written);
            const std::string name = written[0] ? written + 1 : "linear";
            play(std::string(text) + "@end 9\n", 2.5, [&](double t) {
                if (t < 0.15) return; // the lines before the ramp's run on frames 0 and 1
                const double expected = row.from + (row.to - row.from) * curve(name, t - 1.0);
                EXPECT_NEAR(row.value(), expected, 1e-4 * (1 + std::fabs(expected))) << text << " at " << t;
            });
        }
    }
    engine.screenHeight = 480;
    play("@glsetcinemascope 0|1|0\n@glsetcinemascope 0.1..1.1|1|10\n@end 9\n", 0.6);
    EXPECT_EQ(engine.cinemascopeBar, 24); // 480 x 5 % while ramping: whole rows of the way there
    EXPECT_EQ(engine.cinemascopeHeight, 432);
}

TEST(Ramps, LaterLinesCutThemRefusalsSetAtOnce) {
    EngineStage stage;
    const float *red = &engine.colors[2].red;
    struct Row {
        const char *script;
        double at;                // script time looked at
        const float *value;       // looked at then
        float expected;
        const char *said;         // in the trace log ("" : no error)
    } rows[] = {
        // A plain line on the same value ends the ramp: its own value stays.
        {"@glsetclearcolor 1..2|1|0|0\n@glsetclearcolor 1.5|0|0.5|0\n", 1.9, red, 0.0f, ""},
        // A second ramp on it starts from the value reached at 1.4 s.
        {"@glsetclearcolor 1..2|1|0|0\n@glsetclearcolor 1.5..2.5|0|0|0\n", 2.0, red, 0.4f * 0.5f, ""},
        // A layer's fade speed set alone ends the ramp of its place on that value only.
        {"@glsetlayerpos 1..2|2|0|4|100|0|0|0\n@glsetlayerfadespeed 1.5|2|-1\n", 1.9, &engine.layers[2].fadeSpeed, -1.0f, ""},
        {"@glsetlayerpos 1..2|2|0|4|100|0|0|0\n@glsetlayerfadespeed 1.5|2|-1\n", 1.9, &engine.layers[2].x, 90.0f, ""},
        // Another colour's line leaves this ramp alone.
        {"@glsetclearcolor 1..2|1|0|0\n@glsetcolor 1.5|1|0|0|0\n", 1.8, red, 0.8f, ""},
        {"@glsetclearcolor 2..1|1|0|0\n", 2.0, red, 1.0f, "ends (1 s) before it starts (2 s)"},
        {"@glsetclearcolor 1..2:bounce|1|0|0\n", 1.0, red, 1.0f, "no curve 'bounce' (linear, smooth, in, out, step)"},
        {"@glsetlayerparam 0|1|a|1|0|1|1\n@glsetlayerparam 1..2|1|a|0|1|1|1\n", 1.0, &engine.layers[1].fade, 1.0f,
         "@glsetlayerparam 1..2: its visible differs from the one in force"},
        {"@glsetlayerfadespeed 1..2|1|3\n", 1.0, &engine.layers[1].fadeSpeed, 3.0f, "@glsetlayerfadespeed 1..2: this command cannot ramp"},
        // Beats: 120 a minute from 0.5 s on puts beats 1 and 3 at 1 s and 2 s.
        {"@setbpm 0|120|0.5\n@glsetclearcolor 1b..3b:in|1|0|0\n", 1.5, red, 0.25f, ""},
        {"@setbpm 0|60\n@glsetclearcolor 1b..2b:in|1|0|0\n", 1.5, red, 0.25f, ""},
    };
    for (const Row &row : rows) {
        trace_Reset();
        std::remove("_vor_.log");
        play(std::string(row.script) + "@end 9\n", row.at);
        EXPECT_NEAR(*row.value, row.expected, 1e-5) << row.script;
        const std::string log = testfs_ReadFile("_vor_.log");
        if (row.said[0]) EXPECT_NE(log.find(row.said), std::string::npos) << row.script << log;
        else EXPECT_EQ(log.find("error"), std::string::npos) << row.script << log;
    }
}

TEST(Ramps, CapturedFramesFollowTheCurveFromTheStartAndAfterALateStart) {
    if (!vrun_HaveDisplay()) GTEST_SKIP() << "no display";
    const std::string dir = vrun_MakeShow("ramps", "@glsetclearcolor 0|0|0|0\n@glsetclearcolor 0.2..1.2:smooth|0|0|1\n"
                                                   "@setbpm 1.2|60|1.2\n@glsetclearcolor 1b..2b:out|1|0|1\n@end 3\n");
    ASSERT_EQ(vrun_Run(dir, "--capture all --fps 10 --resolution 32x24").status, 0);
    const auto blue = [&](const std::string &folder, int k) {
        Picture picture;
        EXPECT_TRUE(vrun_ReadPng(vrun_Frame(dir + "/" + folder, k), &picture)) << k;
        return picture.rgb.empty() ? std::vector<int>{} : picture.colour(3, 3);
    };
    for (int k = 2; k <= 30; ++k) {
        const double t = k / 10.0;
        const double b = t < 2.2 ? curve("smooth", t - 0.2) : 1.0;
        const double r = t < 2.2 ? 0.0 : curve("out", t - 2.2);
        const std::vector<int> seen = blue("all", k);
        ASSERT_EQ(seen.size(), 3u);
        EXPECT_NEAR(seen[0], 255 * r, 0.6) << k; // the driver rounds x.5 either way
        EXPECT_NEAR(seen[2], 255 * b, 0.6) << k;
    }
    // A late start plays the frames before unseen: its frames are the same.
    const VortanRun late = vrun_Run(dir, "--capture late --fps 10 --resolution 32x24 --start 2.4 --duration 0.3");
    ASSERT_EQ(late.status, 0) << late.err;
    for (int k = 0; k < 3; ++k) EXPECT_EQ(blue("late", k), blue("all", 24 + k)) << k;
    std::system(("rm -rf " + vrun_Quoted(dir)).c_str());
}
