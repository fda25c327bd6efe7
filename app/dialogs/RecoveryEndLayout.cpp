#include "RecoveryEndLayout.h"

#include "DialogParts.h"
#include "Geometry.h"
#include "KvFolderLink.h"
#include "TCImageButton.h"
#include "Tr.h"

RecoveryEndLayout RecoveryEndLayout::setUp(TCImageWindow* window, double linkY) {
    QWidget* content = DialogParts::setUpContent(window, kWidth, kHeight);
    auto* link = new KvFolderLink(content);
    link->setGeometry(FromBottomLeft({30, linkY, 400, 20}, kHeight));
    TCImageButton* ok = DialogParts::makeButton(content, Tr("QOV_FOUR_RECOVERY_STOP_BUTTON"),
                                                {330, 12, 100, 30}, kHeight);
    return {content, link, ok};
}
