#pragma once
// The entry point of the command-line programs: arguments arrive as UTF-8 on
// every platform (on Windows through wmain, so any path works). A program
// linked with runwarden_utf8_main defines utf8Main instead of main.
#include <string>
#include <vector>

int utf8Main(const std::vector<std::string>& args);
