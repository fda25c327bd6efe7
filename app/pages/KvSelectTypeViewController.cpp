#include "KvSelectTypeViewController.h"

#include <QLabel>
#include <QPushButton>

#include "Images.h"
#include "PageLayout.h"
#include "QOVCustemButton.h"
#include "TCImageButton.h"
#include "Tr.h"

namespace {

constexpr int kCategoryCount = 7;
constexpr const char* kOfficeCategory = "8";

QString CategoryOfTag(int tag) {
    return QString::number(1 << tag);
}

}  // namespace

QStringList KvSelectTypeViewController::allCategories() {
    QStringList all;
    for (int tag = 0; tag < kCategoryCount; ++tag)
        all << CategoryOfTag(tag);
    return all;
}

int KvSelectTypeViewController::maskOf(const QStringList& categories) {
    int mask = 0;
    for (const QString& category : categories)
        mask |= category.toInt();
    return mask;
}

KvSelectTypeViewController::KvSelectTypeViewController(QWidget* parent)
    : QWidget(parent), selectArr_(allCategories()) {
    resize(PageLayout::kPageWidth, PageLayout::kPageHeight);
    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, Qt::white);
    setPalette(background);

    midlleLabel_ = new QLabel(Tr("QOV_TWO_MIDDLE_LABEL"), this);
    midlleLabel_->setGeometry(110, 40, 700, 40);
    QFont heading = midlleLabel_->font();
    heading.setPointSize(16);
    midlleLabel_->setFont(heading);

    LabelTextButton_ = makeButton("text", "text", "text", "text", QRect(110, 95, 200, 24));
    diskButton_ = makeButton("icon_b", "icon_b", "icon_b", "icon_b", QRect(48, 36, 48, 48));

    alltypesButton_ = new QPushButton(Tr("QOV_TWO_ALL_TYPES"), this);
    alltypesButton_->setFlat(true);
    alltypesButton_->setGeometry(110, 130, 300, 28);
    alltypesButton_->setIconSize(QSize(16, 16));
    connect(alltypesButton_, &QPushButton::clicked, this,
            &KvSelectTypeViewController::allTypesButtonClick);

    const struct {
        const char* stem;
        const char* caption;
        int tag;
        TCImageButton** button;
    } modes[] = {{"d-recover", "QOV_TWO_DELETED_MODE", 1, &deleteButton_},
                 {"f-recover", "QOV_TWO_FORMAT_MODE", 2, &formatButton_},
                 {"c-recover", "QOV_TWO_COMPLETE_MODE", 3, &completeButton_}};
    int x = 110;
    for (const auto& mode : modes) {
        const QString stem = mode.stem;
        TCImageButton* button = makeButton(stem + "-normal", stem + "-select", stem + "-hover",
                                           stem + "-normal", QRect(x, 190, 200, 150));
        const int tag = mode.tag;
        connect(button, &QAbstractButton::clicked, this,
                [this, tag] { selectScanTypeButtonClick(tag); });
        auto* caption = new QLabel(Tr(mode.caption), this);
        caption->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        caption->setWordWrap(true);
        caption->setGeometry(x, 348, 200, 44);
        *mode.button = button;
        x += 248;
    }
    deleteButton_->setButtonClicked(true);

    // The radio pair picks the same mode as the tiles; this layout shows the tiles.
    quickButton_ = new QPushButton(Tr("QOV_TWO_QUICK_SCAN"), this);
    advancedButton_ = new QPushButton(Tr("QOV_TWO_DEEP_SCAN"), this);
    for (auto [button, tag] : {std::pair{quickButton_, 1}, std::pair{advancedButton_, 2}}) {
        button->setFlat(true);
        button->setProperty("tag", tag);
        button->hide();
        connect(button, &QPushButton::clicked, this, [this, tag] { selectScanButton(tag); });
    }
    quickButton_->setIcon(Images::named("radio_button_yes"));
    advancedButton_->setIcon(Images::named("radio_button_no"));

    nextButton_ = makeButton("next_normal", "next_press", "next_hover", "next_disable",
                             QRect(686, 470, 120, 36));
    nextButton_->setTextWithName(Tr("QOV_TWO_CONTINUE_BUTTON"), QRect(0, 0, 124, 36));
    connect(nextButton_, &QAbstractButton::clicked, this,
            &KvSelectTypeViewController::nextButtonAction);

    importButton_ = makeButton("icon_import", "icon_import_hover", "icon_import_hover",
                               "icon_import", QRect(110, 480, 16, 16));
    importButton_->setToolTip(Tr("QOV_TWO_IMPORT_BUTTON_TIP"));
    connect(importButton_, &QAbstractButton::clicked, this,
            &KvSelectTypeViewController::importButtonAction);

    setAllBoxImage("checkbox_yes");
}

TCImageButton* KvSelectTypeViewController::makeButton(const QString& normal, const QString& active,
                                                      const QString& hover, const QString& disable,
                                                      const QRect& frame) {
    auto* button = new TCImageButton(this);
    button->setGeometry(frame);
    button->setImageFromFileNormalName(normal, active, hover, disable);
    button->setButtonEnabled(true);
    return button;
}

void KvSelectTypeViewController::setAllBoxImage(const QString& name) {
    allBoxImage_ = name;
    alltypesButton_->setIcon(Images::named(name));
}

void KvSelectTypeViewController::allTypesButtonClick() {
    selectArr_.clear();
    const bool selectNone = selectAllCount_ == 1;
    selectAllCount_ = selectNone ? 0 : 1;
    setAllBoxImage(selectNone ? "checkbox_no" : "checkbox_yes");
    if (!selectNone)
        selectArr_ = allCategories();
    nextButton_->setButtonEnabled(!selectNone);
    for (QOVCustemButton* tile : allTypeButton_)
        tile->changeButtonStart(!selectNone);
    emit isSelectOffice(selectNone ? 0 : 1);
}

void KvSelectTypeViewController::selectButtonClick(QOVCustemButton* tile) {
    changeAllSelectState(tile);
}

void KvSelectTypeViewController::changeAllSelectState(QOVCustemButton* tile) {
    tile->changeButtonStart(tile->isSelected());
    const QString category = CategoryOfTag(tile->buttonTag());
    if (!selectArr_.removeOne(category))
        selectArr_.append(category);
    const qsizetype count = selectArr_.size();
    if (count == 0) {
        setAllBoxImage("checkbox_no");
        selectAllCount_ = 0;
    } else if (count == kCategoryCount) {
        setAllBoxImage("checkbox_yes");
        selectAllCount_ = 1;
    } else {
        setAllBoxImage("checkbox_half");
        selectAllCount_ = 2;
    }
    nextButton_->setButtonEnabled(count != 0);
}

void KvSelectTypeViewController::selectScanTypeButtonClick(int tag) {
    // The formatted-drive tile scans like the deleted-file tile.
    const int mode = tag == 1 || tag == 2 ? 1 : 2;
    for (TCImageButton* tile : {deleteButton_, formatButton_, completeButton_})
        tile->setButtonClicked(false);
    TCImageButton* chosen = tag == 1 ? deleteButton_ : tag == 2 ? formatButton_ : completeButton_;
    chosen->setButtonClicked(true);
    emit changeScanTypeWithNum(mode);
}

void KvSelectTypeViewController::selectScanButton(int tag) {
    const bool quick = tag == 1;
    quickButton_->setIcon(Images::named(quick ? "radio_button_yes" : "radio_button_no"));
    advancedButton_->setIcon(Images::named(quick ? "radio_button_no" : "radio_button_yes"));
    emit changeScanTypeWithNum(tag);
}

void KvSelectTypeViewController::nextButtonAction() {
    emit nextButtonActionWithAllTypeArr(selectArr_);
}

void KvSelectTypeViewController::removeSelectOffice() {
    selectArr_.removeAll(kOfficeCategory);
}

QOVCustemButton* KvSelectTypeViewController::buildTypeButton(const QString& icon,
                                                             const QString& hoverIcon, int tag,
                                                             const QRect& frame) {
    auto* tile = new QOVCustemButton(this);
    tile->setGeometry(frame);
    tile->setIconImage(icon, hoverIcon);
    tile->setButtonTag(tag);
    connect(tile, &QAbstractButton::clicked, this, [this, tile] { selectButtonClick(tile); });
    allTypeButton_.push_back(tile);
    tile->show();
    return tile;
}
