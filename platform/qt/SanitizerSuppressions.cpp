// Leak reports of the sanitizer build that are not ours: fontconfig keeps its
// caches for the life of the process by design.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
