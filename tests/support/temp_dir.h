// Temporary folders for tests that write files (trace log, captures, generated assets).
#pragma once
#include <cstdio>
#include <functional>
#include <string>

// Creates a fresh folder under /tmp and returns its path.
std::string testfs_MakeTempDir(const char *tag);

// Changes into a fresh temporary folder for the life of the object, then back.
struct TestCwd {
    explicit TestCwd(const char *tag);
    ~TestCwd();
    std::string path;
    std::string previous;
};

// Whole file as bytes / text; empty when missing.
std::string testfs_ReadFile(const std::string &path);
void testfs_WriteFile(const std::string &path, const std::string &content);

// What write prints into the stream it is given, as text.
std::string testfs_Printed(const std::function<void(FILE *)> &write);
