#include "CNViewRelations.h"

#include <QWidget>

bool isSubviewOfView(const QWidget* view, const QWidget* parent) {
    return view && parent && view->parentWidget() == parent;
}

bool containsSubView(const QWidget* view, const QWidget* child) {
    return isSubviewOfView(child, view);
}
