// scenegen command line: a demo maker's starting scene, the bundled show's scene, benchmark
// scenes and the fuzzer's seeds, written as 3DS files with lib3ds.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/scenegen/scenegen.h"

namespace {

const char USAGE[] =
    "usage: scenegen quad|cube OUT.3ds [--camera NAME] [--light NAME] [--map NAME] [--frames N]\n"
    "           a textured quad (facing +z) or cube of edge 20 at the origin, a camera looking at\n"
    "           it and a point light; its material takes --map as texture map (a texture slot\n"
    "           name); defaults Camera01, Light01, texture.tga, 100 frames\n"
    "       scenegen show OUT.3ds         the bundled show's scene (60 s at 30 frames a second)\n"
    "       scenegen bench FACES OUT.3ds  a scene of about FACES triangles\n"
    "       scenegen seeds DIR            small scenes using every feature (fuzzing seeds)\n"
    "       scenegen --help               this text\n";

int usageError(const char *message, const char *word) {
    fprintf(stderr, "scenegen: %s%s\n%s", message, word, USAGE);
    return 2;
}

// scenegen quad|cube OUT.3ds [options]
int writeUser(int argc, char **argv) {
    SgUserScene options;
    options.cube = strcmp(argv[1], "cube") == 0;
    for (int i = 3; i < argc; i += 2) {
        if (i + 1 >= argc) return usageError("missing value after ", argv[i]);
        const char *value = argv[i + 1];
        // 3DS names are kept in 64 bytes; the engine matches them exactly (maps without case).
        if (strlen(value) == 0 || strlen(value) > 63) return usageError("names are 1 to 63 characters: ", value);
        if (strcmp(argv[i], "--camera") == 0) options.camera = value;
        else if (strcmp(argv[i], "--light") == 0) options.light = value;
        else if (strcmp(argv[i], "--map") == 0) options.map = value;
        else if (strcmp(argv[i], "--frames") == 0 && atoi(value) >= 1 && atoi(value) <= 100000) options.frames = atoi(value);
        else return usageError("unknown option or bad value: ", argv[i]);
    }
    if (scenegen_WriteUser(options, argv[2])) return 0;
    fprintf(stderr, "scenegen: cannot write %s\n", argv[2]);
    return 1;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 2 && strcmp(argv[1], "--help") == 0) {
        fputs(USAGE, stdout);
        return 0;
    }
    if (argc >= 3 && (strcmp(argv[1], "quad") == 0 || strcmp(argv[1], "cube") == 0)) return writeUser(argc, argv);
    if (argc == 3 && strcmp(argv[1], "show") == 0) {
        if (scenegen_WriteShow(argv[2])) return 0;
        fprintf(stderr, "scenegen: cannot write %s\n", argv[2]);
        return 1;
    }
    if (argc == 4 && strcmp(argv[1], "bench") == 0) {
        int faces = atoi(argv[2]);
        if (faces < 1 || faces > 5000000) {
            fprintf(stderr, "scenegen: face count must be 1..5000000\n");
            return 2;
        }
        if (scenegen_WriteBench(faces, argv[3])) return 0;
        fprintf(stderr, "scenegen: cannot write %s\n", argv[3]);
        return 1;
    }
    if (argc == 3 && strcmp(argv[1], "seeds") == 0) {
        if (scenegen_WriteSeeds(argv[2])) return 0;
        fprintf(stderr, "scenegen: cannot write into %s\n", argv[2]);
        return 1;
    }
    fputs(USAGE, stderr);
    return 2;
}
