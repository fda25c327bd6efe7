#pragma once

// What the command line asks of a start: argument 1 the interface language,
// optionally followed by "*loaderflag*"; argument 2 a saved scan result.

#include <QString>

struct StartRoad {
    // Set the interface language to `language` (it may be empty).
    bool setLanguage = false;
    QString language;
    // No language was given: hand over to the enclosing loader, if there is one.
    bool askLoader = false;
    // The saved scan result to remember, "" when none was named.
    QString rsfPath;
};

StartRoad ReadStartArguments(int argc, const char* const* argv);

// Makes `language` the interface language of this and later runs.
void setCurLanguage(const QString& language);
// Launches the loader application around this one; the program is not
// installed inside one here, so there is nothing to launch.
bool ZZManRunLoader();
