// A stand-in for the statistics plug-in: it writes down each entry called,
// in order, and its entry 8 throws after writing itself down.

#include <stdexcept>
#include <string>

namespace {

std::string& Calls() {
    static std::string calls;
    return calls;
}

void Note(const std::string& call) {
    Calls() += call + ";";
}

// Positions 0 to 8 of the table, as the program counts them.
class SmartSpy {
public:
    virtual void finish() { Note("0"); }
    virtual void entry1() { Note("1"); }
    virtual void sendState(int first, int second) {
        Note("2:" + std::to_string(first) + "," + std::to_string(second));
    }
    virtual void entry3() { Note("3"); }
    virtual void entry4() { Note("4"); }
    virtual void entry5() { Note("5"); }
    virtual void entry6(int, int) { Note("6"); }
    virtual void entry7() { Note("7"); }
    virtual void recordText2(int id, const char* text) {
        Note("8:" + std::to_string(id) + ":" + text);
        throw std::runtime_error("the plug-in failed");
    }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) void* GetSmartSpy() {
    static SmartSpy spy;
    return &spy;
}

// What was called so far, cleared by the asking.
extern "C" __attribute__((visibility("default"))) const char* TakeSpyCalls() {
    static std::string taken;
    taken = Calls();
    Calls().clear();
    return taken.c_str();
}
