// Stands in for a companion program in the tests: writes its arguments, one a
// line, and its working directory to "<name>.args" in the working directory.
#include <cstdio>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
    std::string name = argv[0];
    name = name.substr(name.find_last_of('/') + 1);
    char cwd[4096] = {};
    if (::getcwd(cwd, sizeof cwd) == nullptr) return 1;
    const std::string tmp = name + ".args.tmp";
    FILE* f = std::fopen(tmp.c_str(), "w");
    if (f == nullptr) return 1;
    std::fprintf(f, "cwd=%s\n", cwd);
    for (int i = 1; i < argc; ++i)
        std::fprintf(f, "%s\n", argv[i]);
    std::fclose(f);
    // Complete or absent: the test never reads half a file.
    return std::rename(tmp.c_str(), (name + ".args").c_str()) == 0 ? 0 : 1;
}
