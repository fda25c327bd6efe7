#pragma once

// The offer of a deep scan that the results window shows in an attached
// pop-up: a note with the words "Deep Scan" set larger, and a close button.

#include <QWidget>

class QLabel;
class QPushButton;

class KvDeepScanViewController : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 300;
    static constexpr int kHeight = 64;

    explicit KvDeepScanViewController(QWidget* parent = nullptr);

    // Shows the program's note with its emphasis.
    void setTextFiled();
    // Shows `note` with "Deep Scan" emphasised; without those words the
    // label keeps the text it had.
    void setTextFiled(const QString& note);
    void closeButtonAction();

    QLabel* deepScanNodeLabel() const { return deepScanNodeLabel_; }
    QPushButton* closeButton() const { return closeButton_; }

signals:
    // The close button was pressed: the pop-up should go.
    void popupViewHidden();

private:
    QLabel* deepScanNodeLabel_;
    QPushButton* closeButton_;
};
