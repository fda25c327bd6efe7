#pragma once

// Where dialogs open: in the middle of the screen they are on.

class QWidget;

void CenterOnScreen(QWidget* window);
// Runs `dialog` modally from the middle of its screen, then gives `returnTo`
// (when there is one) the focus back.
void RunCentredModal(QWidget* dialog, QWidget* returnTo);
