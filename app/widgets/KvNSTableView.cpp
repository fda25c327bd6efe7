#include "KvNSTableView.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>

#include "Images.h"
#include "KvNotificationCenter.h"
#include "KvNotificationNames.h"
#include "Tr.h"
#include "UserDefaults.h"

namespace {

const QColor kSortIndicatorColour(126, 143, 164);

QFont HeaderFont() {
    QFont font(QStringLiteral("Helvetica"));
    font.setPixelSize(12);
    return font;
}

// A picture stretched over its frame on both axes.
QLabel* ScaledPicture(const QString& name, const QRect& frame, QWidget* parent) {
    auto* picture = new QLabel(parent);
    picture->setGeometry(frame);
    picture->setPixmap(Images::named(name));
    picture->setScaledContents(true);
    return picture;
}

}  // namespace

// CustomHeaderCell.

CustomHeaderCell::CustomHeaderCell(const QString& title)
    : title_(title), font_(HeaderFont()), textColor_(194, 200, 230) {}

void CustomHeaderCell::setSortAscending(bool ascending, int64_t priority) {
    ascending_ = ascending;
    priority_ = priority;
}

QString CustomHeaderCell::getStr() {
    font_ = HeaderFont();
    textColor_ = kSortIndicatorColour;
    return title_;
}

QRect CustomHeaderCell::textRect(const QRect& frame) const {
    QRect text = frame;
    if (priority_ != 0)
        text.translate(3, 0);
    else
        text.setWidth(text.width() - 8);
    return text.translated(0, 3);
}

void CustomHeaderCell::drawWithFrame(QPainter& painter, const QRect& frame) {
    painter.fillRect(frame, QColor(250, 251, 252));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(QColor(231, 233, 237), 1));
    const int left = frame.x();
    const int right = frame.x() + frame.width() - 1;
    const int top = frame.y();
    const int bottom = frame.y() + frame.height() - 1;
    // Top line, right separator, bottom line.
    painter.drawPolyline(QPolygon{QPoint(left, top), QPoint(right, top), QPoint(right, bottom),
                                  QPoint(left, bottom)});
    painter.restore();
    const QString text = getStr();
    painter.save();
    painter.setFont(font_);
    painter.setPen(textColor_);
    painter.drawText(textRect(frame), Qt::AlignLeft | Qt::AlignTop, text);
    painter.restore();
}

QPolygon CustomHeaderCell::sortIndicator(const QRect& frame, bool ascending) {
    const int left = frame.x() + frame.width() - 12;
    const int y = frame.y();
    const int height = frame.height();
    if (ascending)
        return {QPoint(left, y + height - 10), QPoint(left + 4, y + height - 17),
                QPoint(left + 8, y + height - 10)};
    return {QPoint(left, y + 10), QPoint(left + 4, y + 17), QPoint(left + 8, y + 10)};
}

void CustomHeaderCell::drawSortIndicatorWithFrame(QPainter& painter, const QRect& frame,
                                                  bool ascending, int64_t /*priority*/) const {
    painter.save();
    painter.setPen(Qt::NoPen);
    // In the title's colour: the header is near-white.
    painter.setBrush(priority_ == 0 ? kSortIndicatorColour : QColor(Qt::transparent));
    painter.drawPolygon(sortIndicator(frame, ascending));
    painter.restore();
}

// KvTableHeaderView.

KvTableHeaderView::KvTableHeaderView(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setFixedHeight(kHeight);
    setSectionsMovable(false);
    setHighlightSections(false);
}

CustomHeaderCell* KvTableHeaderView::cell(int logicalIndex) {
    if (logicalIndex < 0 || static_cast<size_t>(logicalIndex) >= cells_.size())
        return nullptr;
    return &cells_[static_cast<size_t>(logicalIndex)];
}

void KvTableHeaderView::setupHeaderCell() {
    // A reload of the rows keeps the sort column's mark and direction.
    const std::vector<CustomHeaderCell> before = std::move(cells_);
    cells_.clear();
    if (model() == nullptr)
        return;
    for (int column = 0; column < model()->columnCount(); ++column) {
        cells_.emplace_back(model()->headerData(column, Qt::Horizontal).toString());
        if (static_cast<size_t>(column) < before.size())
            cells_.back().setSortAscending(before[static_cast<size_t>(column)].ascending(),
                                           before[static_cast<size_t>(column)].priority());
    }
    viewport()->update();
}

void KvTableHeaderView::setModel(QAbstractItemModel* model) {
    if (this->model() != nullptr)
        disconnect(this->model(), nullptr, this, nullptr);
    QHeaderView::setModel(model);
    if (model != nullptr) {
        connect(model, &QAbstractItemModel::headerDataChanged, this,
                &KvTableHeaderView::setupHeaderCell);
        connect(model, &QAbstractItemModel::columnsInserted, this,
                &KvTableHeaderView::setupHeaderCell);
        connect(model, &QAbstractItemModel::columnsRemoved, this,
                &KvTableHeaderView::setupHeaderCell);
        connect(model, &QAbstractItemModel::modelReset, this, &KvTableHeaderView::setupHeaderCell);
    }
    setupHeaderCell();
}

void KvTableHeaderView::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    auto* self = const_cast<KvTableHeaderView*>(this);
    CustomHeaderCell* headerCell = self->cell(logicalIndex);
    if (headerCell == nullptr) {
        QHeaderView::paintSection(painter, rect, logicalIndex);
        return;
    }
    headerCell->drawWithFrame(*painter, rect);
    if (isSortIndicatorShown() && sortIndicatorSection() == logicalIndex)
        headerCell->drawSortIndicatorWithFrame(
            *painter, rect, sortIndicatorOrder() == Qt::AscendingOrder, headerCell->priority());
}

// KvNSTableView.

KvNSTableView::KvNSTableView(QWidget* parent)
    : QTableView(parent), header_(new KvTableHeaderView(this)) {
    setHorizontalHeader(header_);
    verticalHeader()->hide();
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setShowGrid(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
}

float KvNSTableView::getLableHight() {
    const QStringList languages = UserDefaults::languages();
    static const QStringList kLongSentence = {"de", "fr", "es", "it", "pt-BR"};
    return !languages.isEmpty() && kLongSentence.contains(languages.first()) ? 40.0f : 25.0f;
}

QRect KvNSTableView::nodeFrame() const {
    const QSize area = viewport()->size();
    return QRect(area.width() / 2 - 200, area.height() / 2, 400, 50);
}

void KvNSTableView::changeNoValue(int remove) {
    if (remove != 0) {
        delete noValueView_;
        return;
    }
    if (noValueView_)
        return;
    // Over the rows, below the header.
    noValueView_ = new QWidget(viewport());
    noValueView_->setGeometry(viewport()->rect());
    ScaledPicture(QStringLiteral("bg_150"), viewport()->rect(), noValueView_);
    nodeView_ = new QWidget(noValueView_);
    nodeView_->setGeometry(nodeFrame());
    ScaledPicture(QStringLiteral("arrow"), QRect(0, 0, 82, 39), nodeView_);
    auto* text = new QLabel(Tr("QOV_FOUR_NO_VALUE_NOTE"), nodeView_);
    text->setGeometry(82, 0, 420, static_cast<int>(getLableHight()));
    QFont font = text->font();
    font.setPixelSize(14);
    text->setFont(font);
    QPalette palette = text->palette();
    palette.setColor(QPalette::WindowText, Qt::gray);
    text->setPalette(palette);
    noValueView_->show();
}

void KvNSTableView::changeFrame() {
    if (nodeView_)
        nodeView_->setGeometry(nodeFrame());
}

void KvNSTableView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space) {
        // The preview, not a search by the typed letter.
        KvNotificationCenter::defaultCenter()->post(kvnote::kSpacePreviewFile);
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void KvNSTableView::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    // The note and its background follow the rows' area, and its box stays
    // centred: layouts resize the table without the window changing size.
    if (noValueView_) {
        noValueView_->setGeometry(viewport()->rect());
        for (QLabel* background : noValueView_->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
            background->setGeometry(viewport()->rect());
        changeFrame();
    }
}
