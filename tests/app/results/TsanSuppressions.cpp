// Qt is not built with the thread sanitizer, and its locks are futexes the
// sanitizer cannot see, so the memory calls Qt's own code makes under them
// (copies, frees of event and image data) look like races. They are left
// out; every access made by our code is still checked.
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libQt6Widgets.so.6\n";
}
