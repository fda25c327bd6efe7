#include "KvSearchField.h"

#include <QAction>
#include <QMenu>

#include "Images.h"

KvSearchField::KvSearchField(QWidget* parent) : QLineEdit(parent) {
    magnifier_ = addAction(QIcon(Images::named("search_magnifier")), LeadingPosition);
    clear_ = addAction(QIcon(Images::named("del_normal")), TrailingPosition);
    clear_->setVisible(false);
    connect(this, &QLineEdit::textChanged, this,
            [this](const QString& text) { clear_->setVisible(!text.isEmpty()); });
    connect(magnifier_, &QAction::triggered, this, &KvSearchField::popUpMenu);
    connect(clear_, &QAction::triggered, this, &KvSearchField::clearClicked);
    connect(this, &QLineEdit::returnPressed, this, &KvSearchField::send);
}

void KvSearchField::setSearchMenuTemplate(QMenu* menuTemplate) {
    template_ = menuTemplate;
}

void KvSearchField::send() {
    recents_.remember(text());
    emit searchSent();
}

QMenu* KvSearchField::buildMenu() {
    delete shown_;
    shown_ = new QMenu(this);
    if (!template_)
        return shown_;
    const bool anyRecent = !recents_.isEmpty();
    for (QAction* item : template_->actions()) {
        const int tag = item->data().toInt();
        if (tag == kRecentsPlace) {
            for (const QString& entry : recents_.entries()) {
                QAction* recent = shown_->addAction(entry);
                connect(recent, &QAction::triggered, this, [this, entry] {
                    setText(entry);
                    send();
                });
            }
            continue;
        }
        if ((tag == kRecentsTitle && !anyRecent) || (tag == kNoRecents && anyRecent))
            continue;
        // The template's own items keep their connections.
        shown_->addAction(item);
    }
    return shown_;
}

void KvSearchField::popUpMenu() {
    buildMenu()->popup(mapToGlobal(rect().bottomLeft()));
}
