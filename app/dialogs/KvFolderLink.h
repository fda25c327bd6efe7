#pragma once

// A folder path shown as a blue, underlined link with the whole path as its
// tooltip; a click opens the folder in the desktop's file manager.

#include <QLabel>

class KvFolderLink : public QLabel {
    Q_OBJECT
public:
    explicit KvFolderLink(QWidget* parent = nullptr);

    void setPath(const QString& path);
    // Opens the path shown; nothing when it is empty.
    void open() const;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};
