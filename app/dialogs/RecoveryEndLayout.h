#pragma once

// What the two dialogs that end a recovery share: a content view of one
// size below the bar, the destination folder as a link, and OK at the foot.

class KvFolderLink;
class QWidget;
class TCImageButton;
class TCImageWindow;

struct RecoveryEndLayout {
    static constexpr double kWidth = 460;
    static constexpr double kHeight = 150;

    // Lays the shared parts out in `window`, the link `linkY` points up from
    // the content's bottom.
    static RecoveryEndLayout setUp(TCImageWindow* window, double linkY);

    QWidget* content;
    KvFolderLink* folderLink;
    TCImageButton* okButton;
};
