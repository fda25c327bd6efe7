#pragma once

// The results window's search field: a line edit with a magnifier that opens
// the recent-searches menu and a clear button shown while there is text.
// Sending a search (Return, or a recent entry chosen) remembers the text as
// the newest recent search first, then emits searchSent.

#include <QLineEdit>
#include <QMenu>
#include <QPointer>

#include "RecentSearches.h"

class QAction;

class KvSearchField : public QLineEdit {
    Q_OBJECT

public:
    // Tags of the menu template's items (QAction::data).
    enum MenuTag {
        kRecentsTitle = 1000,  // shown only when there are recent searches
        kRecentsPlace = 1001,  // replaced by the recent searches
        kNoRecents = 1003,     // shown only when there are none
    };

    explicit KvSearchField(QWidget* parent = nullptr);

    RecentSearches& recents() { return recents_; }
    const RecentSearches& recents() const { return recents_; }

    // The template the menu is made from; owned by the caller.
    void setSearchMenuTemplate(QMenu* menuTemplate);
    QMenu* searchMenuTemplate() const { return template_; }
    // The menu as it shows now: the template with the recent searches in place.
    // Owned by the field, made anew on every call.
    QMenu* buildMenu();
    void popUpMenu();

    QAction* clearAction() const { return clear_; }

signals:
    // The field's action: the user sent the text.
    void searchSent();
    // The clear button was pressed.
    void clearClicked();

private:
    void send();

    RecentSearches recents_;
    QPointer<QMenu> template_;
    QPointer<QMenu> shown_;
    QAction* magnifier_ = nullptr;
    QAction* clear_ = nullptr;
};
