#pragma once

// The engine log: one line per call to standard output and to the log file
// (sMAC_Harbex.log in the work folder, or in $XDG_STATE_HOME/harbex, else
// ~/.local/state/harbex, when the work folder cannot be written). Safe from
// any thread; lines never interleave. Logging never fails its caller.
class CatchExeception {
public:
    // Longest message kept on a line; longer ones are cut.
    static constexpr int kMaxMessageLength = 1999;

    // Writes "HH:MM:SS " and the formatted message; answers the line's length.
    static int WriteLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

    // The work folder (the executable's folder), taken once.
    static const char* GetWorkPath();
};
