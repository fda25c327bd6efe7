// Linked into every test program; read by the thread sanitizer only.
//
// Qt is not built with the thread sanitizer, and its locks are futexes the
// sanitizer cannot see, so the memory Qt's own code touches under them looks
// raced on: its copies and frees of event, image and proxy data, the slot
// object of a queued call (made by the posting thread, run and deleted by the
// receiving one), and the same in the libraries Qt runs its own threads in,
// GLib (its event loop) and libproxy (its proxy lookup). glibc's time-zone
// set-up is guarded by a lock of glibc's own, equally unseen. Only those
// frames are left out; every access made by our code is still checked.
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libQt6Widgets.so.6\n"
           "called_from_lib:libQt6Network.so.6\n"
           "called_from_lib:libglib-2.0.so.0\n"
           "called_from_lib:libproxy.so.1\n"
           "race_top:QtPrivate::QSlotObject\n"
           "race:QMetaCallEvent::~QMetaCallEvent\n"
           "race:tzset_internal\n";
}
