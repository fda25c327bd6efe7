#include "SavePanel.h"

#include <QDir>
#include <QFileDialog>

namespace {

SavePanel::Answerer& CurrentAnswerer() {
    static SavePanel::Answerer answerer;
    return answerer;
}

}  // namespace

void SavePanel::setAnswerer(Answerer answerer) {
    CurrentAnswerer() = std::move(answerer);
}

QString SavePanel::run(QWidget* window) const {
    QString chosen;
    if (CurrentAnswerer()) {
        chosen = CurrentAnswerer()(*this);
    } else {
        QFileDialog dialog(window);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setNameFilter(QStringLiteral("*.") + allowedFileType);
        dialog.setDefaultSuffix(allowedFileType);
        dialog.setDirectory(directory.isEmpty() ? QDir::homePath() : directory);
        dialog.selectFile(nameFieldStringValue);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen = dialog.selectedFiles().constFirst();
    }
    if (chosen.isEmpty())
        return {};
    const QString suffix = QStringLiteral(".") + allowedFileType;
    if (!allowedFileType.isEmpty() && !chosen.endsWith(suffix))
        chosen += suffix;
    return chosen;
}
