// What the sanitizers are told about the system libraries under Korvel, for sanitizer builds of
// the programs and of every test binary. Only reports that start inside those libraries are left
// out, as narrowly as the reports allow; every access of this program's own code is still checked.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)

extern "C" {

// fontconfig keeps one small pattern of its configuration for the life of the process; Qt's font
// database asks for it once. libx265 loses a block inside every encoder it opens, whatever its
// options.
const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\nleak:libx265.so\n";
}

// Neither Qt nor oneTBB is built for the thread checker, so the order their own locks and task
// hand-overs create is invisible to it:
// - Qt's pooled worker threads hand memory over through Qt's futex-based locks: the memory calls
//   that Qt Core and Qt GUI make themselves are left unchecked.
// - oneTBB keeps its task objects in pools of its own, written by the spawning thread, read by the
//   running thread and recycled, ordered by uninstrumented code: reports whose innermost frame is
//   that bookkeeping (the library's code, its headers, and the lambda with which the engine hands
//   over a pointer to its work, which is itself ordered by explicit marks) are left out.
// - FFmpeg's decoders and encoders run threads of their own and hand frames and buffers back with
//   reference counts kept in atomics: the memory calls that its libraries make are left unchecked.
const char* __tsan_default_suppressions() {
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libavutil.so.57\n"
           "called_from_lib:libavcodec.so.59\n"
           "called_from_lib:libavformat.so.59\n"
           "called_from_lib:libswscale.so.6\n"
           "race_top:^tbb::detail::\n"
           "race_top:/oneapi/tbb/\n"
           "race_top:engine/pool_task.h\n";
}

} // extern "C"

#endif
