// What the rulewick road tests share: the private X server and xdotool.
#pragma once

#include "tickmatch/tests/TestProcess.h"

#include <string>
#include <vector>

inline const char* kXvfb = "/usr/bin/Xvfb";
inline const char* kXdotool = "/usr/bin/xdotool";

// One xdotool run; its first output line, empty on failure.
inline std::string Xdotool(const std::vector<std::string>& args, const std::string& display,
                           int timeoutMs = 30000) {
    TChildProcess p;
    std::vector<std::string> argv{kXdotool};
    argv.insert(argv.end(), args.begin(), args.end());
    if (!p.Start(argv, {"DISPLAY=" + display})) return {};
    std::string line;
    p.ReadLine(line, timeoutMs);
    p.Wait(timeoutMs);
    return line;
}
