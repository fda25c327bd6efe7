#pragma once

#include <cstdio>
#include <string>

// Where the engine log goes when the work folder cannot be written:
// $XDG_STATE_HOME/harbex (when absolute), else $HOME/.local/state/harbex;
// empty when neither is known.
std::string LogStateFolder();

// Opens the log file for appending: in `workFolder`, else in the state
// folder (created when missing). Null when neither can be opened; `openedPath`
// receives the file's path.
FILE* OpenLogFile(const std::string& workFolder, std::string* openedPath = nullptr);
