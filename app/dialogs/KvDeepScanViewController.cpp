#include "KvDeepScanViewController.h"

#include <QLabel>
#include <QPushButton>

#include "Fonts.h"
#include "Geometry.h"
#include "Images.h"
#include "Tr.h"

namespace {

constexpr const char* kEmphasised = "Deep Scan";

}  // namespace

KvDeepScanViewController::KvDeepScanViewController(QWidget* parent)
    : QWidget(parent),
      deepScanNodeLabel_(new QLabel(Tr("QOV_FOUR_DEEPSCAN_NODE"), this)),
      closeButton_(new QPushButton(this)) {
    resize(kWidth, kHeight);
    deepScanNodeLabel_->setGeometry(FromBottomLeft(QRectF(12, 8, 250, 48), kHeight));
    deepScanNodeLabel_->setWordWrap(true);
    deepScanNodeLabel_->setFont(Fonts::helveticaLight(12));
    deepScanNodeLabel_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    closeButton_->setGeometry(FromBottomLeft(QRectF(274, 38, 16, 16), kHeight));
    closeButton_->setFlat(true);
    closeButton_->setIcon(Images::named(QStringLiteral("del_normal")));
    closeButton_->setIconSize(QSize(16, 16));
    closeButton_->setCursor(Qt::PointingHandCursor);
    connect(closeButton_, &QPushButton::clicked, this,
            &KvDeepScanViewController::closeButtonAction);
    setTextFiled();
}

void KvDeepScanViewController::setTextFiled() {
    setTextFiled(Tr("QOV_FOUR_DEEPSCAN_NODE"));
}

void KvDeepScanViewController::setTextFiled(const QString& note) {
    const qsizetype at = note.indexOf(QLatin1String(kEmphasised));
    if (at < 0) {
        qInfo("Failed _1");
    } else {
        const QString emphasis = QStringLiteral("<span style=\"font-family:'%1'; font-size:14px\">")
                                     .arg(Fonts::helvetica(14).family());
        const qsizetype length = qsizetype(qstrlen(kEmphasised));
        deepScanNodeLabel_->setTextFormat(Qt::RichText);
        deepScanNodeLabel_->setText(note.left(at).toHtmlEscaped() + emphasis +
                                    note.mid(at, length).toHtmlEscaped() + "</span>" +
                                    note.mid(at + length).toHtmlEscaped());
    }
    qInfo("Failed _2");
}

void KvDeepScanViewController::closeButtonAction() {
    emit popupViewHidden();
}
