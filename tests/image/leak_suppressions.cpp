// What the leak checker is not to report in the image tests: libx265 3.5 keeps a block from each
// encoder it opens past the encoder's close, which no caller can free.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libx265.so\n";
}
