// Scenes of the widget library.

#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

#include "FakeFacade.h"
#include "Fonts.h"
#include "ImageAndTextCell.h"
#include "Images.h"
#include "KvHandButton.h"
#include "KvProgressView.h"
#include "Scene.h"
#include "TCImageButton.h"
#include "TCImageWindow.h"

namespace {

// A white window with a drawn title bar of `barHeight` and a title label in it.
std::unique_ptr<TCImageWindow> Window(int width, int height, const QString& title,
                                      double barHeight = 50) {
    auto window = std::make_unique<TCImageWindow>();
    window->resize(width, height);
    window->setWindowTitle(title);
    window->setTitleBarHeight(barHeight);
    window->setShowsTitle(true);
    return window;
}

QLabel* Caption(const QString& text, QWidget* parent, double size = 12) {
    auto* label = new QLabel(text, parent);
    label->setFont(Fonts::helvetica(size));
    label->setStyleSheet("color: rgb(120, 126, 136);");
    return label;
}

TCImageButton* ImageButton(const QString& base, QWidget* parent) {
    auto* button = new TCImageButton(parent);
    button->setImageFromFileNormalName(base + "_normal", base + "_press", base + "_hover",
                                       base + "_disable");
    button->setFixedSize(button->dstRect().size());
    return button;
}

}  // namespace

HARBEX_SCENE("widgets-titlebar") {
    auto window = Window(640, 180, "Harbex");
    // Screens put their own title label in the bar instead of the drawn title.
    window->setShowsTitle(false);
    QWidget* bar = window->titleBarView();
    auto* title = new QLabel("Harbex", bar);
    title->setFont(Fonts::helvetica(14));
    title->setGeometry(80, 15, 200, 20);
    auto* import = ImageButton("icon_import", bar);
    import->setImageFromFileNormalName("icon_import", "icon_import_hover", "icon_import_hover",
                                       "icon_import");
    import->setFixedSize(16, 16);
    import->move(580, 17);
    auto* about = new TCImageButton(bar);
    about->setImageFromFileNormalName("icon_infor", "icon_infor_hover", "icon_infor_hover",
                                      "icon_infor");
    about->setFixedSize(16, 16);
    about->move(608, 17);
    auto* text = Caption("The content begins at the bottom edge of the title bar.",
                         window->contentView(), 13);
    text->move(80, 50);
    return window;
}

HARBEX_SCENE("widgets-buttons") {
    auto window = Window(700, 420, "Buttons");
    auto* grid = new QGridLayout(window->contentView());
    grid->setContentsMargins(24, 20, 24, 20);
    grid->setHorizontalSpacing(22);
    grid->setVerticalSpacing(12);
    const QStringList states = {"normal", "hover", "pressed", "unusable"};
    for (int column = 0; column < states.size(); ++column)
        grid->addWidget(Caption(states[column], window->contentView()), 0, column + 1,
                        Qt::AlignHCenter);
    struct Row {
        const char* base;
        const char* label;
    };
    const Row rows[] = {{"back", "Back"},           {"continue", "Continue"}, {"btn_scan", "Scan"},
                        {"btn_recover", "Recover"}, {"icon_export", nullptr}, {"pause", nullptr}};
    int line = 1;
    for (const Row& row : rows) {
        grid->addWidget(Caption(row.base, window->contentView()), line, 0);
        for (int column = 0; column < states.size(); ++column) {
            TCImageButton* button = ImageButton(row.base, window->contentView());
            if (row.label)
                button->setTextWithName(row.label, QRect(QPoint(), button->size()));
            if (column == 1)
                button->setIsFocus(true);
            if (column == 2)
                button->setButtonClicked(true);
            if (column == 3)
                button->setButtonEnabled(false);
            grid->addWidget(button, line, column + 1, Qt::AlignHCenter);
        }
        ++line;
    }
    auto* link = new KvHandButton("Online help", window->contentView());
    link->setStyleSheet("color: rgb(53, 130, 248); border: none; text-decoration: underline;");
    grid->addWidget(link, line, 1, 1, 2, Qt::AlignLeft);
    return window;
}

HARBEX_SCENE("widgets-window-buttons") {
    auto window = Window(460, 200, "Window buttons", 40);
    auto* grid = new QGridLayout(window->contentView());
    grid->setContentsMargins(24, 16, 24, 16);
    const QStringList states = {"active", "notkey", "inactive", "rollover", "pressed"};
    const QStringList kinds = {"close", "minimize", "zoom"};
    for (int column = 0; column < states.size(); ++column)
        grid->addWidget(Caption(states[column], window->contentView()), 0, column + 1,
                        Qt::AlignHCenter);
    for (int row = 0; row < kinds.size(); ++row) {
        grid->addWidget(Caption(kinds[row], window->contentView()), row + 1, 0);
        for (int column = 0; column < states.size(); ++column) {
            auto* picture = new QLabel(window->contentView());
            picture->setPixmap(
                Images::named(QStringLiteral("window_%1_%2").arg(kinds[row], states[column])));
            grid->addWidget(picture, row + 1, column + 1, Qt::AlignCenter);
        }
    }
    return window;
}

HARBEX_SCENE("widgets-progress") {
    auto window = Window(560, 250, "Progress", 40);
    QWidget* content = window->contentView();
    const std::pair<float, const char*> steps[] = {
        {0.0f, "0 %"}, {1.0f, "1 %"}, {35.0f, "35 %"}, {99.9f, "99.9 %"}, {100.0f, "100 %"}};
    int y = 24;
    for (const auto& [percent, label] : steps) {
        Caption(label, content)->setGeometry(24, y - 6, 70, 16);
        auto* strip = new KvProgressView(content);
        strip->setGeometry(100, y, 420, KvProgressView::kBarHeight);
        strip->changeProgressValue(percent);
        y += 36;
    }
    return window;
}

HARBEX_SCENE("widgets-cells") {
    auto window = Window(520, 300, "Cells", 40);
    auto* model = new QStandardItemModel(0, 2, window.get());
    model->setHorizontalHeaderLabels({"Name", "Detail"});
    const std::pair<const char*, const char*> rows[] = {{"0IconImage", "Untitled (FAT32)"},
                                                        {"1IconImage", "Pictures"},
                                                        {"3IconImage", "holiday.jpg"},
                                                        {"2IconImage", "report.doc"},
                                                        {"5IconImage", "song.mp3"},
                                                        {"4IconImage", "clip.mov"},
                                                        {"9IconImage", "2026"},
                                                        {"11IconImage", "notes.txt"}};
    for (const auto& [icon, name] : rows) {
        auto* item = new QStandardItem(name);
        item->setData(Images::named(icon), Qt::DecorationRole);
        auto* detail = new QStandardItem(QStringLiteral("%1 detail").arg(name));
        detail->setData(Images::named(icon), Qt::DecorationRole);
        model->appendRow({item, detail});
    }
    auto* table = new QTableView(window->contentView());
    table->setModel(model);
    table->setItemDelegateForColumn(0, new ImageAndTextCell(table));
    table->setItemDelegateForColumn(1, new DetailTextAndImageCell(table));
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(22);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setColumnWidth(0, 220);
    table->setShowGrid(false);
    table->setAlternatingRowColors(true);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->selectRow(2);
    auto* layout = new QVBoxLayout(window->contentView());
    layout->setContentsMargins(16, 12, 16, 16);
    layout->addWidget(table);
    return window;
}
