#include "KvCheckUpdateWindowController.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextLayout>

#include <algorithm>

#include "DialogParts.h"
#include "DialogPlacement.h"
#include "DialogTitleBar.h"
#include "Fonts.h"
#include "Geometry.h"
#include "KvDialogFading.h"
#include "KvHandButton.h"
#include "KvLinkUrl.h"
#include "KvPublicUtilities.h"
#include "PrivateData.h"
#include "TCImageButton.h"
#include "Tr.h"
#include "UpdateCheck.h"

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 320;
constexpr double kTitleBarHeight = TCImageWindow::kMinimumTitleBarHeight;
constexpr double kContentHeight = kHeight - kTitleBarHeight;
// The feature list: its lines are laid out at this width, each at least this high.
constexpr double kMeasureWidth = 200;
constexpr double kMinimumLineHeight = 25;
constexpr double kMinimumCountedHeight = 30;
constexpr double kMinimumListHeight = 99;
constexpr int kListWidth = 430;
constexpr int kLineWidth = 380;

QFont SystemFont(int pixels) {
    QFont font = QApplication::font();
    font.setPixelSize(pixels);
    return font;
}

// A face filling the content, with a message and, unless it is the
// checking face, an OK button that closes the window.
QWidget* MakeFace(QWidget* parent) {
    auto* face = new QWidget(parent);
    face->setGeometry(0, 0, kWidth, int(kContentHeight));
    face->hide();
    return face;
}

QLabel* MakeMessage(QWidget* face, const QString& text, double y) {
    QLabel* label =
        DialogParts::makeText(face, QRectF(40, y, kWidth - 80, 60), kContentHeight, 14, true);
    label->setAlignment(Qt::AlignCenter);
    label->setText(text);
    return label;
}

}  // namespace

KvCheckUpdateWindowController::Source KvCheckUpdateWindowController::programSource() {
    return {KvLinkUrl::GetUrl(QStringLiteral("IniURL")), &KvPublicUtilities::isCanBeUseNetWork,
            kFetchLimitMs};
}

KvCheckUpdateWindowController::KvCheckUpdateWindowController(Source source, QWidget* parent)
    : TCImageWindow(parent),
      source_(std::move(source)),
      fading_(new KvDialogFading(this)),
      checkProgressView_(nullptr),
      noNetworkView_(nullptr),
      noUpdateView_(nullptr),
      haveUpdateView_(nullptr),
      titleLable_(nullptr),
      versionLabel_(nullptr),
      changeValueScrollView_(nullptr),
      progressBar_(nullptr),
      showVersionScrollView_(nullptr) {
    resize(kWidth, kHeight);
    auto* content = new QWidget;
    setContentView(content);
    content->resize(kWidth, int(kContentHeight));

    checkProgressView_ = MakeFace(content);
    progressBar_ = new QProgressBar(checkProgressView_);
    progressBar_->setGeometry(FromBottomLeft(QRectF(140, 150, 200, 12), kContentHeight));
    progressBar_->setTextVisible(false);
    MakeMessage(checkProgressView_, Tr("UPDATE_CHECKING"), 70);

    noNetworkView_ = MakeFace(content);
    MakeMessage(noNetworkView_, Tr("UPDATE_NO_NETWORK"), 140);
    noUpdateView_ = MakeFace(content);
    MakeMessage(noUpdateView_, Tr("UPDATE_NO_UPDATE"), 140);

    haveUpdateView_ = MakeFace(content);
    titleLable_ =
        DialogParts::makeText(haveUpdateView_, QRectF(25, 250, 430, 24), kContentHeight, 16);
    versionLabel_ =
        DialogParts::makeText(haveUpdateView_, QRectF(25, 222, 430, 20), kContentHeight, 13);
    for (QLabel* label : {titleLable_, versionLabel_})
        label->setTextFormat(Qt::PlainText);
    changeValueScrollView_ = new QScrollArea(haveUpdateView_);
    changeValueScrollView_->setGeometry(
        FromBottomLeft(QRectF(25, 70, kListWidth + 16, 145), kContentHeight));
    changeValueScrollView_->setFrameShape(QFrame::NoFrame);
    changeValueScrollView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    showVersionScrollView_ = new QWidget;
    changeValueScrollView_->setWidget(showVersionScrollView_);
    auto* download = new KvHandButton(Tr("UPDATE_DOWNLOAD"), haveUpdateView_);
    download->setGeometry(FromBottomLeft(QRectF(25, 25, 250, 26), kContentHeight));
    download->setStyleSheet(
        QStringLiteral("color: rgb(24,90,166); text-decoration: underline;"
                       " text-align: left;"));
    connect(download, &QAbstractButton::clicked, this,
            &KvCheckUpdateWindowController::updateClickHereAction);

    for (QWidget* face : {noNetworkView_, noUpdateView_, haveUpdateView_}) {
        TCImageButton* ok = DialogParts::makeButton(face, Tr("UPDATE_OK"), QRectF(360, 20, 100, 32),
                                                    kContentHeight);
        connect(ok, &QAbstractButton::clicked, this,
                &KvCheckUpdateWindowController::closeWindowAction);
    }
    windowDidLoad();
}

KvCheckUpdateWindowController::~KvCheckUpdateWindowController() = default;

void KvCheckUpdateWindowController::windowDidLoad() {
    if (titleLabel_ == nullptr) {
        titleLabel_ = AddTitleLabel(this, QRectF(80, 0, 300, 25), Fonts::helveticaLight(14));
    }
    titleLabel_->setText(Tr("WINDOW_TOP_TITLE"));
    setWindowTitle(Tr("WINDOW_TOP_TITLE"));
    // A busy bar: it moves until the check ends.
    progressBar_->setRange(0, 0);
    RetargetCloseButton(this, [this] { closeWindow(); });
    getVersionChange();
}

void KvCheckUpdateWindowController::getVersionChange() {
    showFace(Face::kChecking);
    if (!source_.networkTest) {
        showFace(Face::kNoNetwork);
        return;
    }
    source_.networkTest(this, [this](bool usable) {
        if (!usable) {
            showFace(Face::kNoNetwork);
            return;
        }
        check_ = new KvUpdateCheck(this);
        connect(check_, &KvUpdateCheck::finished, this, &KvCheckUpdateWindowController::fetched);
        check_->start(source_.listUrl,
                      PrivateData::value(QStringLiteral("VersionCheck")).toInteger(),
                      source_.limitMs);
    });
}

void KvCheckUpdateWindowController::fetched() {
    // No answer within the limit: as good as no network.
    if (!check_->answered())
        showFace(Face::kNoNetwork);
    else
        whatIsNewVersionDiff(PropertyListDictionary(check_->list()));
    check_->deleteLater();
}

void KvCheckUpdateWindowController::whatIsNewVersionDiff(QVariantMap remote) {
    const qint64 local = PrivateData::value(QStringLiteral("VersionCheck")).toInteger();
    const auto remoteVersion =
        static_cast<int32_t>(remote.value(QStringLiteral("VersionCheck")).toLongLong());
    if (remoteVersion <= local) {
        showFace(Face::kNoUpdate);
        return;
    }
    showFace(Face::kHaveUpdate);
    const QString version = remote.value(QStringLiteral("Version")).toString();
    versionLabel_->setText(QStringLiteral("New features of Version %1:").arg(version));
    titleLable_->setText(QStringLiteral("Harbex %1 has been released.").arg(version));
    remote.remove(QStringLiteral("VersionCheck"));
    remote.remove(QStringLiteral("Version"));

    const QFont measure = SystemFont(10);
    double listHeight = 0;
    for (const QVariant& value : std::as_const(remote)) {
        listHeight += std::max(kMinimumCountedHeight,
                               heightForStringDrawing(value.toString(), measure, kMeasureWidth));
    }
    listHeight = std::max(listHeight, kMinimumListHeight);
    qDeleteAll(showVersionScrollView_->findChildren<QLabel*>(Qt::FindDirectChildrenOnly));
    showVersionScrollView_->resize(kListWidth, int(listHeight));

    double running = 0;
    for (int i = 1; i <= int(remote.size()); ++i) {
        const QString value = remote.value(QString::number(i)).toString();
        const double height =
            std::max(kMinimumLineHeight, heightForStringDrawing(value, measure, kMeasureWidth));
        running += height;
        auto* line = new QLabel(showVersionScrollView_);
        line->setTextFormat(Qt::PlainText);
        line->setText(QStringLiteral("%1.%2").arg(i).arg(value));
        line->setWordWrap(true);
        line->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        line->setFont(Fonts::helveticaLight(13));
        line->setToolTip(value);
        line->setGeometry(
            FromBottomLeft(QRectF(0, listHeight - running, kLineWidth, height), listHeight));
        line->show();
    }
    // The list opens at its first feature.
    changeValueScrollView_->verticalScrollBar()->setValue(0);
}

double KvCheckUpdateWindowController::heightForStringDrawing(const QString& text, const QFont& font,
                                                             double width) {
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    double height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout.endLayout();
    return text.isEmpty() ? 0.0 : height;
}

void KvCheckUpdateWindowController::updateClickHereAction() {
    KvLinkUrl::OpenLink(QStringLiteral("UpdateURL"));
}

void KvCheckUpdateWindowController::closeWindow() {
    fading_->closeNow();
}

void KvCheckUpdateWindowController::showFace(Face face) {
    face_ = face;
    checkProgressView_->setVisible(face == Face::kChecking);
    noNetworkView_->setVisible(face == Face::kNoNetwork);
    noUpdateView_->setVisible(face == Face::kNoUpdate);
    haveUpdateView_->setVisible(face == Face::kHaveUpdate);
    if (face != Face::kChecking)
        progressBar_->setRange(0, 1);
}

void RunUpdateWindow(const std::function<void()>& closed) {
    {
        KvCheckUpdateWindowController window;
        RunCentredModal(&window, nullptr);
    }
    // However the window was closed, the program goes on from here.
    if (closed)
        closed();
}
