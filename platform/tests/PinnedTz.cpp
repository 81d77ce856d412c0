// Every test program runs against the tz release the project carries, not the
// host's: its zone files, compiled by the build, are set in TZDIR before any
// test (or a program a test starts) reads a zone. glibc reads TZDIR; the zone
// readers of the suite follow glibc.
#include <cstdlib>

namespace {
const bool PinnedTzDir = [] {
    setenv("TZDIR", HX_PINNED_TZDIR, 1);
    return true;
}();
} // namespace
