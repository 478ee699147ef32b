// Temporary folders for tests.
#include "tests/support/temp_dir.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

std::string testfs_MakeTempDir(const char *tag) {
    std::string pattern = std::string("/tmp/vortan-") + tag + "-XXXXXX";
    char *made = mkdtemp(pattern.data());
    return made ? std::string(made) : std::string("/tmp");
}

TestCwd::TestCwd(const char *tag) : path(testfs_MakeTempDir(tag)) {
    char buffer[4096];
    if (getcwd(buffer, sizeof buffer)) previous = buffer;
    if (chdir(path.c_str()) != 0) path.clear();
}

TestCwd::~TestCwd() {
    if (!previous.empty()) (void)!chdir(previous.c_str());
}

std::string testfs_ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void testfs_WriteFile(const std::string &path, const std::string &content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
}

std::string testfs_Printed(const std::function<void(FILE *)> &write) {
    FILE *out = tmpfile(); // not open_memstream: Windows has none
    if (!out) return "";
    write(out);
    std::string result;
    rewind(out);
    char chunk[4096];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, out)) > 0;) result.append(chunk, n);
    fclose(out);
    return result;
}
