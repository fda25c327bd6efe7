#pragma once

// A borderless text button that reads as a link: the pointer becomes a
// pointing hand while it is over the button.

#include <QPushButton>

class KvHandButton : public QPushButton {
    Q_OBJECT
public:
    explicit KvHandButton(const QString& text = {}, QWidget* parent = nullptr);
};
