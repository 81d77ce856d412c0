// Hands hx_globetool's drawing commands to the drawing library.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "globe/GlobeTool.h"

int GlobeToolDrawCommand(int argc, char** argv) {
    const std::string cmd = argv[1];
    if (cmd != "render" && cmd != "texture")
        return -1;
    const std::vector<std::string> args(argv + 2, argv + argc);
    try {
        return cmd == "render" ? GlobeToolRender(args) : GlobeToolTexture(args);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
