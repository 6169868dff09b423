#include "cli/utf8_main.h"

#include "platform/text.h"

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(rw::platform::wideToUtf8(argv[i]));
    return utf8Main(args);
}
#else
int main(int argc, char** argv) { return utf8Main(std::vector<std::string>(argv + 1, argv + argc)); }
#endif
