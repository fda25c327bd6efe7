#pragma once

// Saving the scan result from the results window: the choice of the file,
// the checks on the folder that will hold it, the request to the bridge and
// the wait while the bridge writes it.

#include <QString>

#include <functional>

class QWidget;

namespace ScanResultSaver {

// Makes the wait window of a save over `parent`, calls `start` (which starts
// the save), runs the window modally and answers nonzero when the save succeeded.
using WaitRunner = std::function<int(QWidget* parent, const std::function<void()>& start)>;

// Loops until the user saves or gives up: asks for the file, refuses a
// folder that cannot be written, warns about one on the scanned device, then
// saves under the wait window and keeps the path in the private settings list.
// Answers the saved file's path; empty when nothing was saved.
QString run(QWidget* window, const WaitRunner& wait);

// True when this process may make a new file in `folder`.
bool canWriteInto(const QString& folder);

}  // namespace ScanResultSaver
