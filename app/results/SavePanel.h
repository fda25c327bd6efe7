#pragma once

// The chooser of a file to write: a folder, a proposed name and the one file
// type allowed. Tests install an answerer that chooses in place of the user.

#include <QString>

#include <functional>

class QWidget;

class SavePanel {
public:
    QString directory;
    QString nameFieldStringValue;
    // The extension every chosen name ends in, without its dot.
    QString allowedFileType;

    // The chosen file's path, ending in the allowed type; empty when cancelled.
    QString run(QWidget* window) const;

    using Answerer = std::function<QString(const SavePanel&)>;
    // Replaces the user while set; an empty answerer restores the dialog.
    static void setAnswerer(Answerer answerer);
};
