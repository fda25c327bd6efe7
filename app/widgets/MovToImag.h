#pragma once

// Turns a movie file into its poster picture.

#include <QImage>
#include <QString>

#include <functional>

class MovToImag {
public:
    // Answers a movie's poster frame, null when it has none.
    using FrameProvider = std::function<QImage(const QString& moviePath)>;

    explicit MovToImag(FrameProvider provider) : provider_(std::move(provider)) {}

    QString m_strMovPath;
    QString m_strDestPath;  // kept for callers; the conversion does not write it
    QImage m_pImage;
    bool m_bExecute() const { return execute_; }

    // Takes the poster frame of m_strMovPath into m_pImage. Main thread.
    void ExcuteInMainThread();

private:
    FrameProvider provider_;
    bool execute_ = true;
};
