// Paints the program's pictures from the table in ArtTable.h into PNG files
// (name.png at 1x and name@2x.png at 2x) and writes a resource list for them.
//   artgen OUTPUT_DIR

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>

#include <cstdio>

#include "ArtTable.h"

namespace {

using namespace harbex::art;

// One palette and one line weight for everything.
const QColor kBlue(53, 130, 248);
const QColor kBlueLight(96, 158, 250);
const QColor kBlueDark(31, 98, 201);
const QColor kGrey(194, 198, 204);
const QColor kGreyDark(120, 126, 136);
const QColor kInk(51, 57, 66);
const QColor kPaper(255, 255, 255);
const QColor kWash(240, 244, 250);
const QColor kRed(226, 76, 64);
const QColor kAmber(245, 166, 35);
const QColor kGreen(72, 187, 98);
constexpr double kLine = 1.5;

QColor FaceColour(State state) {
    switch (state) {
        case State::Hover:
            return kBlueLight;
        case State::Press:
            return kBlueDark;
        case State::Disable:
            return kGrey;
        default:
            return kBlue;
    }
}

QPen Pen(const QColor& colour, double width = kLine) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// Draws a glyph centred in `box` with the given colour.
void DrawGlyph(QPainter& p, Glyph glyph, const QRectF& box, const QColor& colour) {
    const double s = std::min(box.width(), box.height());
    const QPointF c = box.center();
    const double r = s * 0.32;
    p.save();
    p.setPen(Pen(colour, std::max(kLine, s / 12)));
    p.setBrush(Qt::NoBrush);
    auto poly = [&](std::initializer_list<QPointF> points, bool closed, bool filled) {
        QPainterPath path;
        bool first = true;
        for (const QPointF& pt : points) {
            const QPointF at = c + QPointF(pt.x() * r, pt.y() * r);
            first ? path.moveTo(at) : path.lineTo(at);
            first = false;
        }
        if (closed)
            path.closeSubpath();
        if (filled)
            p.fillPath(path, colour);
        p.drawPath(path);
    };
    switch (glyph) {
        case Glyph::ChevronLeft:
            poly({{0.4, -0.8}, {-0.4, 0}, {0.4, 0.8}}, false, false);
            break;
        case Glyph::ChevronRight:
            poly({{-0.4, -0.8}, {0.4, 0}, {-0.4, 0.8}}, false, false);
            break;
        case Glyph::Magnifier:
        case Glyph::DeepMagnifier:
            p.drawEllipse(c + QPointF(-0.2 * r, -0.2 * r), 0.6 * r, 0.6 * r);
            p.drawLine(c + QPointF(0.25 * r, 0.25 * r), c + QPointF(0.9 * r, 0.9 * r));
            if (glyph == Glyph::DeepMagnifier) {
                p.drawLine(c + QPointF(-0.5 * r, -0.2 * r), c + QPointF(0.1 * r, -0.2 * r));
                p.drawLine(c + QPointF(-0.2 * r, -0.5 * r), c + QPointF(-0.2 * r, 0.1 * r));
            }
            break;
        case Glyph::Recover:
        case Glyph::Import:
            poly({{0, -0.9}, {0, 0.3}}, false, false);
            poly({{-0.45, -0.15}, {0, 0.3}, {0.45, -0.15}}, false, false);
            poly({{-0.9, 0.3}, {-0.9, 0.9}, {0.9, 0.9}, {0.9, 0.3}}, false, false);
            break;
        case Glyph::Export:
        case Glyph::Up:
            if (glyph == Glyph::Up) {
                poly({{-0.9, 0.6}, {0, -0.6}, {0.9, 0.6}}, true, true);
                break;
            }
            poly({{0, 0.3}, {0, -0.9}}, false, false);
            poly({{-0.45, -0.45}, {0, -0.9}, {0.45, -0.45}}, false, false);
            poly({{-0.9, 0.1}, {-0.9, 0.9}, {0.9, 0.9}, {0.9, 0.1}}, false, false);
            break;
        case Glyph::Down:
            poly({{-0.9, -0.6}, {0, 0.6}, {0.9, -0.6}}, true, true);
            break;
        case Glyph::Home:
            poly({{-0.9, 0}, {0, -0.85}, {0.9, 0}}, false, false);
            poly({{-0.6, -0.2}, {-0.6, 0.85}, {0.6, 0.85}, {0.6, -0.2}}, false, false);
            break;
        case Glyph::Pause:
            poly({{-0.35, -0.7}, {-0.35, 0.7}}, false, false);
            poly({{0.35, -0.7}, {0.35, 0.7}}, false, false);
            break;
        case Glyph::Play:
            poly({{-0.45, -0.75}, {0.7, 0}, {-0.45, 0.75}}, true, true);
            break;
        case Glyph::Stop:
            poly({{-0.6, -0.6}, {0.6, -0.6}, {0.6, 0.6}, {-0.6, 0.6}}, true, true);
            break;
        case Glyph::Tick:
            poly({{-0.75, 0}, {-0.2, 0.55}, {0.8, -0.6}}, false, false);
            break;
        case Glyph::Dash:
        case Glyph::Minus:
            poly({{-0.6, 0}, {0.6, 0}}, false, false);
            break;
        case Glyph::Plus:
            poly({{-0.6, 0}, {0.6, 0}}, false, false);
            poly({{0, -0.6}, {0, 0.6}}, false, false);
            break;
        case Glyph::Dot:
            p.setBrush(colour);
            p.drawEllipse(c, 0.45 * r, 0.45 * r);
            break;
        case Glyph::Info:
            p.drawEllipse(c, 1.1 * r, 1.1 * r);
            poly({{0, -0.1}, {0, 0.6}}, false, false);
            p.setBrush(colour);
            p.drawEllipse(c + QPointF(0, -0.5 * r), s / 24, s / 24);
            break;
        case Glyph::Cross:
            poly({{-0.6, -0.6}, {0.6, 0.6}}, false, false);
            poly({{0.6, -0.6}, {-0.6, 0.6}}, false, false);
            break;
        case Glyph::Trash:
            poly({{-0.9, -0.6}, {0.9, -0.6}}, false, false);
            poly({{-0.6, -0.6}, {-0.5, 0.9}, {0.5, 0.9}, {0.6, -0.6}}, false, false);
            poly({{-0.3, -0.6}, {-0.3, -0.9}, {0.3, -0.9}, {0.3, -0.6}}, false, false);
            break;
        case Glyph::Arrow:
            poly({{-0.6, -0.9}, {0.6, 0}, {-0.6, 0.9}}, true, true);
            break;
        case Glyph::Folder:
        case Glyph::Volume:
            poly({{-1, -0.6}, {-0.3, -0.6}, {-0.1, -0.35}, {1, -0.35}, {1, 0.8}, {-1, 0.8}}, true,
                 false);
            if (glyph == Glyph::Volume)
                poly({{-0.6, 0.45}, {0.6, 0.45}}, false, false);
            break;
        case Glyph::File:
        case Glyph::Document:
        case Glyph::Other:
            poly({{-0.7, -1}, {0.3, -1}, {0.7, -0.6}, {0.7, 1}, {-0.7, 1}}, true, false);
            if (glyph == Glyph::Document) {
                poly({{-0.35, -0.2}, {0.35, -0.2}}, false, false);
                poly({{-0.35, 0.2}, {0.35, 0.2}}, false, false);
                poly({{-0.35, 0.6}, {0.35, 0.6}}, false, false);
            } else if (glyph == Glyph::Other) {
                p.setBrush(colour);
                for (double x : {-0.35, 0.0, 0.35})
                    p.drawEllipse(c + QPointF(x * r, 0.3 * r), s / 28, s / 28);
            }
            break;
        case Glyph::Mail:
            poly({{-1, -0.7}, {1, -0.7}, {1, 0.7}, {-1, 0.7}}, true, false);
            poly({{-1, -0.7}, {0, 0.1}, {1, -0.7}}, false, false);
            break;
        case Glyph::Picture:
            poly({{-1, -0.8}, {1, -0.8}, {1, 0.8}, {-1, 0.8}}, true, false);
            poly({{-0.8, 0.6}, {-0.2, -0.1}, {0.2, 0.3}, {0.5, 0}, {0.8, 0.6}}, false, false);
            break;
        case Glyph::Music:
            poly({{-0.3, 0.6}, {-0.3, -0.8}, {0.7, -1}, {0.7, 0.4}}, false, false);
            p.setBrush(colour);
            p.drawEllipse(c + QPointF(-0.55 * r, 0.65 * r), 0.28 * r, 0.22 * r);
            p.drawEllipse(c + QPointF(0.45 * r, 0.45 * r), 0.28 * r, 0.22 * r);
            break;
        case Glyph::Archive:
            poly({{-0.9, -0.9}, {0.9, -0.9}, {0.9, 0.9}, {-0.9, 0.9}}, true, false);
            poly({{0, -0.9}, {0, -0.6}}, false, false);
            poly({{0, -0.3}, {0, 0}}, false, false);
            poly({{-0.25, 0.25}, {0.25, 0.25}, {0.25, 0.6}, {-0.25, 0.6}}, true, false);
            break;
        case Glyph::Movie:
            poly({{-1, -0.6}, {0.4, -0.6}, {0.4, 0.6}, {-1, 0.6}}, true, false);
            poly({{0.4, -0.1}, {1, -0.5}, {1, 0.5}, {0.4, 0.1}}, false, false);
            break;
        case Glyph::Calendar:
        case Glyph::CalendarDay:
            poly({{-0.9, -0.7}, {0.9, -0.7}, {0.9, 0.9}, {-0.9, 0.9}}, true, false);
            poly({{-0.9, -0.3}, {0.9, -0.3}}, false, false);
            poly({{-0.45, -1}, {-0.45, -0.5}}, false, false);
            poly({{0.45, -1}, {0.45, -0.5}}, false, false);
            if (glyph == Glyph::CalendarDay) {
                p.setBrush(colour);
                p.drawRect(QRectF(c + QPointF(0.05 * r, 0.1 * r), QSizeF(0.5 * r, 0.45 * r)));
            }
            break;
        case Glyph::Disk:
        case Glyph::DiskOsx:
        case Glyph::Mirror:
            poly({{-1, -0.5}, {1, -0.5}, {1, 0.6}, {-1, 0.6}}, true, false);
            p.setBrush(colour);
            p.drawEllipse(c + QPointF(0.65 * r, 0.05 * r), s / 28, s / 28);
            if (glyph == Glyph::DiskOsx)
                poly({{-0.7, 0.05}, {0.2, 0.05}}, false, false);
            if (glyph == Glyph::Mirror)
                poly({{-0.7, -0.85}, {0.7, -0.85}}, false, false);
            break;
        case Glyph::Usb:
            poly({{-0.45, -0.2}, {0.45, -0.2}, {0.45, 1}, {-0.45, 1}}, true, false);
            poly({{-0.3, -0.2}, {-0.3, -0.9}, {0.3, -0.9}, {0.3, -0.2}}, false, false);
            break;
        case Glyph::Desktop:
            poly({{-1, -0.8}, {1, -0.8}, {1, 0.5}, {-1, 0.5}}, true, false);
            poly({{-0.4, 0.95}, {0.4, 0.95}}, false, false);
            poly({{0, 0.5}, {0, 0.95}}, false, false);
            break;
        case Glyph::Spinner:
            for (int i = 0; i < 8; ++i) {
                QColor tone = colour;
                tone.setAlphaF(0.25 + 0.75 * i / 7.0);
                p.setPen(Pen(tone, std::max(kLine, s / 12)));
                const double a = i * M_PI / 4;
                p.drawLine(c + QPointF(std::cos(a), std::sin(a)) * 0.55 * r,
                           c + QPointF(std::cos(a), std::sin(a)) * 1.1 * r);
            }
            break;
        case Glyph::Dust:
            p.setPen(Qt::NoPen);
            for (int i = 0; i < 24; ++i) {
                QColor tone = colour;
                tone.setAlphaF(0.08);
                p.setBrush(tone);
                const double x = box.left() + std::fmod(i * 37.0, box.width());
                const double y = box.top() + std::fmod(i * 53.0, box.height());
                p.drawEllipse(QPointF(x, y), 1, 1);
            }
            break;
        case Glyph::Tab:
        case Glyph::None:
            break;
    }
    p.restore();
}

void Paint(QPainter& p, const Picture& pic) {
    const QRectF all(0, 0, pic.width, pic.height);
    const QRectF inner = all.adjusted(0.5, 0.5, -0.5, -0.5);
    const QColor face = FaceColour(pic.state);
    switch (pic.look) {
        case Look::Pill: {
            p.setPen(Qt::NoPen);
            p.setBrush(face);
            p.drawRoundedRect(inner, inner.height() / 2, inner.height() / 2);
            // The glyph sits at the end the button leads to; the label fills the rest.
            const double g = inner.height() * 0.42;
            const bool leading = pic.glyph == Glyph::ChevronLeft;
            const QRectF box(leading ? inner.left() + inner.height() * 0.28
                                     : inner.right() - inner.height() * 0.28 - g,
                             inner.center().y() - g / 2, g, g);
            DrawGlyph(p, pic.glyph, box, kPaper);
            break;
        }
        case Look::RoundIcon:
            p.setPen(Qt::NoPen);
            p.setBrush(pic.state == State::Normal ? kWash : face);
            p.drawEllipse(inner);
            DrawGlyph(p, pic.glyph, inner, pic.state == State::Normal ? kBlue : kPaper);
            break;
        case Look::Glyph: {
            QColor colour = pic.state == State::Hover ? kBlue : kGreyDark;
            if (pic.state == State::Press)
                colour = kInk;
            if (pic.state == State::Selected)
                colour = kRed;
            if (pic.glyph == Glyph::Volume || pic.glyph == Glyph::Folder)
                colour = kBlue;
            if (pic.glyph == Glyph::Spinner)
                colour = kBlue;
            DrawGlyph(p, pic.glyph, inner, colour);
            break;
        }
        case Look::CheckBox: {
            const QRectF box = inner.adjusted(1, 1, -1, -1);
            const bool on = pic.glyph != Glyph::None;
            p.setPen(Pen(on ? kBlue : kGreyDark, 1));
            p.setBrush(on ? kBlue : kPaper);
            p.drawRoundedRect(box, 2.5, 2.5);
            DrawGlyph(p, pic.glyph, box, kPaper);
            break;
        }
        case Look::Radio: {
            const QRectF box = inner.adjusted(1, 1, -1, -1);
            const bool on = pic.glyph != Glyph::None;
            p.setPen(Pen(on ? kBlue : kGreyDark, 1));
            p.setBrush(kPaper);
            p.drawEllipse(box);
            DrawGlyph(p, pic.glyph, box, kBlue);
            break;
        }
        case Look::Tile: {
            p.setPen(Pen(pic.state == State::Selected ? kBlue : kGrey,
                         pic.state == State::Selected ? 2 : 1));
            p.setBrush(pic.state == State::Hover ? kWash : kPaper);
            p.drawRoundedRect(inner.adjusted(1, 1, -1, -1), 8, 8);
            const double g = pic.height * 0.45;
            DrawGlyph(p, pic.glyph,
                      QRectF(all.center().x() - g / 2, all.center().y() - g / 2, g, g),
                      pic.state == State::Normal ? kGreyDark : kBlue);
            break;
        }
        case Look::Panel:
            p.setPen(Qt::NoPen);
            p.setBrush(pic.state == State::Hover   ? kWash
                       : pic.state == State::Press ? kGrey
                                                   : kPaper);
            if (pic.glyph == Glyph::Dust)
                p.setBrush(Qt::NoBrush);
            p.drawRect(all);
            if (pic.glyph == Glyph::Tab) {
                p.setPen(Pen(kGrey, 1));
                p.drawLine(inner.bottomLeft(), inner.bottomRight());
            }
            DrawGlyph(p, pic.glyph, all, kInk);
            break;
        case Look::Disk:
            if (pic.state == State::Selected) {
                p.setPen(Qt::NoPen);
                p.setBrush(kWash);
                p.drawRoundedRect(inner, 4, 4);
            }
            DrawGlyph(p, pic.glyph, inner, pic.state == State::Selected ? kBlue : kInk);
            break;
        case Look::Warning: {
            QPainterPath triangle;
            triangle.moveTo(all.center().x(), inner.top() + 4);
            triangle.lineTo(inner.right() - 3, inner.bottom() - 6);
            triangle.lineTo(inner.left() + 3, inner.bottom() - 6);
            triangle.closeSubpath();
            p.setPen(Pen(pic.state == State::Press ? kRed : kAmber, 3));
            p.setBrush(pic.state == State::Press ? kRed : kAmber);
            p.drawPath(triangle);
            p.setPen(Pen(kPaper, 5));
            p.drawLine(QPointF(all.center().x(), inner.top() + 22),
                       QPointF(all.center().x(), inner.bottom() - 24));
            p.drawPoint(QPointF(all.center().x(), inner.bottom() - 14));
            break;
        }
        case Look::Logo: {
            p.setPen(Qt::NoPen);
            p.setBrush(kBlue);
            p.drawRoundedRect(inner.adjusted(4, 4, -4, -4), 28, 28);
            const QRectF box = inner.adjusted(28, 28, -28, -28);
            DrawGlyph(p, Glyph::Recover, box, kPaper);
            break;
        }
        case Look::SortIndicator:
            DrawGlyph(p, pic.glyph, inner, kGreyDark);
            break;
        case Look::WindowButton: {
            const QColor colour = pic.glyph == Glyph::Cross   ? kRed
                                  : pic.glyph == Glyph::Minus ? kAmber
                                                              : kGreen;
            const QRectF disc = inner.adjusted(0.5, 0.5, -0.5, -0.5);
            switch (pic.state) {
                case State::NotKey:
                    p.setPen(Pen(kGrey, 1));
                    p.setBrush(kWash);
                    break;
                case State::Disable:
                    p.setPen(Pen(kGrey, 1));
                    p.setBrush(kPaper);
                    break;
                case State::Press:
                    p.setPen(Qt::NoPen);
                    p.setBrush(colour.darker(125));
                    break;
                default:
                    p.setPen(Qt::NoPen);
                    p.setBrush(colour);
                    break;
            }
            p.drawEllipse(disc);
            // The glyph tells the buttons apart once the pointer is near.
            if (pic.state == State::Hover || pic.state == State::Press)
                DrawGlyph(p, pic.glyph, disc, colour.darker(190));
            break;
        }
    }
}

bool Write(const Picture& pic, int scale, const QString& path) {
    QImage image(pic.width * scale, pic.height * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    Paint(painter, pic);
    painter.end();
    image.setDotsPerMeterX(3780 * scale);
    image.setDotsPerMeterY(3780 * scale);
    return image.save(path, "PNG");
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: artgen OUTPUT_DIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath("images"))
        return 1;
    QFile list(out.filePath("art.qrc"));
    if (!list.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 1;
    QTextStream qrc(&list);
    qrc << "<RCC>\n  <qresource prefix=\"/\">\n";
    for (const Picture& pic : kPictures) {
        for (int scale : {1, 2}) {
            const QString file = QString("images/%1%2.png").arg(pic.name, scale == 2 ? "@2x" : "");
            if (!Write(pic, scale, out.filePath(file))) {
                std::fprintf(stderr, "artgen: cannot write %s\n", qPrintable(file));
                return 1;
            }
            qrc << "    <file>" << file << "</file>\n";
        }
    }
    qrc << "  </qresource>\n</RCC>\n";
    return 0;
}
