// Reports of the sanitizers that come from the system's libraries under Qt, not from this program,
// kept as narrow as the reports allow. The sanitizers read these when the tests start.

extern "C" {

// fontconfig keeps one small pattern of its configuration for the life of the process; Qt's
// font database asks for it once.
const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

// Qt is not built for the thread checker: its own pooled worker threads hand memory over through
// Qt's futex-based locks, which the checker cannot see, so it reports the memory calls of Qt Core
// and Qt GUI on those threads as races. Only the memory calls that these two libraries make
// themselves are left unchecked; every access of this program, also on Qt's threads, is still
// checked, and so are its own locks.
const char* __tsan_default_suppressions() {
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n";
}

} // extern "C"
