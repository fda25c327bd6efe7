#pragma once

// Where dialogs open: in the middle of the screen they are on.

class QWidget;

void CenterOnScreen(QWidget* window);
