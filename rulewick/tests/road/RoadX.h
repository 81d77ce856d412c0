// What the rulewick road tests share: the private X server and xdotool.
#pragma once

#include "tickmatch/tests/TestProcess.h"

#include <filesystem>
#include <fstream>
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

// A private X server on a free display; its name (":N"), empty on failure.
inline std::string StartXvfb(TChildProcess& x) {
    if (!x.Start({kXvfb, "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"}))
        return {};
    std::string number;
    return x.ReadLine(number, 30000) ? ":" + number : std::string();
}

// dir (ending in "/") holding the shipped clocks, places and servers and
// empty alarm and Dayloom lists.
inline void FillListFiles(const std::string& dir) {
    for (const char* f : {"hxclocks.hxd", "hxzones.hxd", "hxservers.hxd"})
        std::filesystem::copy_file(std::string(HX_SUITE_DIR "/") + f, dir + f);
    for (const char* f : {"hxalarms.hxd", "hxdayloom.hxd"})
        std::ofstream(dir + f);
}
