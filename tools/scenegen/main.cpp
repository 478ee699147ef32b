// scenegen command line: writes the bundled show's scene or a benchmark scene.
//   scenegen show OUT.3ds        the show's animated scene (60 s at 30 frames a second)
//   scenegen bench FACES OUT.3ds a scene of about FACES triangles
//   scenegen seeds DIR           small scenes using every feature (fuzzing seeds)
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/scenegen/scenegen.h"

int main(int argc, char **argv) {
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
    fprintf(stderr, "usage: scenegen show OUT.3ds\n       scenegen bench FACES OUT.3ds\n       scenegen seeds DIR\n");
    return 2;
}
