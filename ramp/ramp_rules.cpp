// The rampable commands and the parameters a ramp cannot move.
#include "ramp/ramp_rules.h"

#include <cstring>

namespace {
const RampCommand COMMANDS[] = {
    {"@glsetclearcolor", 0, {}, {}},
    {"@glsetcolor", 1, {}, {}},
    {"@glsetcinemascope", 0, {1}, {"on"}},
    {"@glsetlayerparam", 1, {2, 3}, {"texture slot name", "visible"}},
    {"@glsetlayerpos", 1, {2}, {"blend"}},
    {"@glsetlayerparamex", 1, {}, {}},
    {"@glfx_rtalpha", 1, {}, {}},
    {"@glsetreplayspeed", 0, {}, {}},
    {"@glsetreplayframe", 0, {}, {}},
};
} // namespace

const RampCommand *ramp_FindCommand(const char *name) {
    for (const RampCommand &command : COMMANDS)
        if (strcmp(command.name, name) == 0) return &command;
    return nullptr;
}

const char *ramp_CommandNames() {
    return "@glsetclearcolor, @glsetcolor, @glsetcinemascope, @glsetlayerparam, @glsetlayerpos, "
           "@glsetlayerparamex, @glfx_rtalpha, @glsetreplayspeed, @glsetreplayframe";
}
