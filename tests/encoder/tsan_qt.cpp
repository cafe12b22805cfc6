// Qt is not built with ThreadSanitizer: the locks inside it are invisible, so the heap calls it
// makes under them (its posted-event list) look like races. Our own accesses are still checked.
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libQt6Core.so.6\n";
}
