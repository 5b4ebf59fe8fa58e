// Draws the version dialog's banner (500 x 200, JPEG) and the program icon
// (32 x 32, PNG) into the folder given on the command line. The pictures are
// kept beside this program; run it again after changing a drawing:
//   cmake --build build --target pomiv_drawart && build/about/pomiv_drawart about/art
// With --icons it draws the icon for the desktop's icon theme instead: the
// same drawing at the theme's usual sizes and as SVG, laid out as
// FOLDER/hicolor/<size>/apps/pomiv.<png|svg>.

#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSvgGenerator>
#include <QTextStream>

namespace {

// A small landscape print: white border, sky, sun, two hills.
void drawPrint(QPainter &p, const QRectF &r, const QColor &sky, const QColor &hill, qreal border) {
    QPainterPath shadow;
    shadow.addRoundedRect(r.translated(border * 0.6, border * 0.8), border * 0.6, border * 0.6);
    p.fillPath(shadow, QColor(0, 0, 0, 70));

    QPainterPath frame;
    frame.addRoundedRect(r, border * 0.6, border * 0.6);
    p.fillPath(frame, QColor(252, 250, 245));
    p.setPen(QPen(QColor(120, 110, 100), qMax<qreal>(0.6, border * 0.12)));
    p.drawPath(frame);
    p.setPen(Qt::NoPen);

    // Everything below stays inside the print's picture area; the clip only
    // keeps the pictures' pixels as they were drawn first. The SVG output
    // cannot carry a clip and needs none.
    const QRectF in = r.adjusted(border, border, -border, -border);
    p.save();
    if (p.paintEngine()->type() != QPaintEngine::SVG)
        p.setClipRect(in);
    QLinearGradient skyFill(in.topLeft(), in.bottomLeft());
    skyFill.setColorAt(0, sky.lighter(135));
    skyFill.setColorAt(1, sky);
    p.fillRect(in, skyFill);

    const QPointF sunAt(in.left() + in.width() * 0.72, in.top() + in.height() * 0.3);
    const qreal sunR = in.height() * 0.16;
    p.setBrush(QColor(255, 214, 90));
    p.drawEllipse(sunAt, sunR, sunR);

    QPainterPath back;
    back.moveTo(in.left(), in.bottom());
    back.lineTo(in.left(), in.top() + in.height() * 0.62);
    back.quadTo(in.left() + in.width() * 0.3, in.top() + in.height() * 0.25,
                in.left() + in.width() * 0.62, in.top() + in.height() * 0.6);
    back.quadTo(in.left() + in.width() * 0.85, in.top() + in.height() * 0.78, in.right(),
                in.top() + in.height() * 0.58);
    back.lineTo(in.right(), in.bottom());
    back.closeSubpath();
    p.fillPath(back, hill.lighter(125));

    QPainterPath front;
    front.moveTo(in.left(), in.bottom());
    front.lineTo(in.left(), in.top() + in.height() * 0.85);
    front.quadTo(in.left() + in.width() * 0.55, in.top() + in.height() * 0.55, in.right(),
                 in.top() + in.height() * 0.8);
    front.lineTo(in.right(), in.bottom());
    front.closeSubpath();
    p.fillPath(front, hill);
    p.restore();
}

QImage drawBanner() {
    QImage img(500, 200, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient bg(0, 0, 500, 200);
    bg.setColorAt(0, QColor(40, 52, 120));
    bg.setColorAt(0.55, QColor(112, 84, 170));
    bg.setColorAt(1, QColor(236, 140, 110));
    p.fillRect(img.rect(), bg);

    // A soft glow behind the prints and a scatter of small stars.
    QRadialGradient glow(QPointF(140, 100), 150);
    glow.setColorAt(0, QColor(255, 230, 200, 110));
    glow.setColorAt(1, QColor(255, 230, 200, 0));
    p.fillRect(img.rect(), glow);
    quint32 seed = 20240601;
    for (int i = 0; i < 60; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const qreal x = (seed >> 8) % 500;
        seed = seed * 1664525u + 1013904223u;
        const qreal y = (seed >> 8) % 200;
        seed = seed * 1664525u + 1013904223u;
        const qreal r = 0.6 + ((seed >> 8) % 100) / 70.0;
        p.setBrush(QColor(255, 255, 240, 90 + int((seed >> 4) % 120)));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(x, y), r, r);
    }

    // A fan of three prints.
    struct Print {
        qreal angle;
        QPointF at;
        QColor sky, hill;
    };
    const Print prints[] = {
        {-14, {112, 106}, QColor(120, 170, 230), QColor(70, 140, 80)},
        {6, {160, 96}, QColor(250, 170, 120), QColor(150, 90, 60)},
        {-3, {136, 112}, QColor(90, 160, 220), QColor(60, 150, 110)},
    };
    for (const Print &pr : prints) {
        p.save();
        p.translate(pr.at);
        p.rotate(pr.angle);
        drawPrint(p, QRectF(-78, -56, 156, 112), pr.sky, pr.hill, 8);
        p.restore();
    }

    // The name, in Latin letters; the dialog prints the Japanese name below.
    QFont name(QStringLiteral("DejaVu Serif"));
    name.setPixelSize(64);
    name.setBold(true);
    name.setItalic(true);
    p.setFont(name);
    const QRectF nameBox(260, 38, 230, 90);
    p.setPen(QColor(20, 20, 50, 140));
    p.drawText(nameBox.translated(3, 3), Qt::AlignCenter, QStringLiteral("pomiv"));
    p.setPen(QColor(255, 246, 230));
    p.drawText(nameBox, Qt::AlignCenter, QStringLiteral("pomiv"));

    QFont tag(QStringLiteral("DejaVu Sans"));
    tag.setPixelSize(15);
    tag.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    p.setFont(tag);
    p.setPen(QColor(255, 236, 214));
    p.drawText(QRectF(260, 122, 230, 30), Qt::AlignCenter, QStringLiteral("browse  view  sort"));
    p.setPen(QPen(QColor(255, 236, 214, 160), 1.2));
    p.drawLine(QPointF(300, 120), QPointF(450, 120));
    p.end();
    return img;
}

// The icon on a 32 x 32 grid; the painter may scale it to any size.
void paintIcon(QPainter &p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.save();
    p.translate(14, 17);
    p.rotate(-12);
    drawPrint(p, QRectF(-11, -9, 22, 18), QColor(250, 170, 120), QColor(150, 90, 60), 2);
    p.restore();
    p.save();
    p.translate(18, 16);
    p.rotate(5);
    drawPrint(p, QRectF(-12, -10, 24, 20), QColor(90, 160, 220), QColor(60, 150, 110), 2.2);
    p.restore();
}

QImage drawIcon(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.scale(size / 32.0, size / 32.0);
    paintIcon(p);
    p.end();
    return img;
}

bool drawScalableIcon(const QString &file) {
    QSvgGenerator svg;
    svg.setFileName(file);
    svg.setSize(QSize(32, 32));
    svg.setViewBox(QRect(0, 0, 32, 32));
    svg.setTitle(QStringLiteral("pomiv"));
    QPainter p;
    if (!p.begin(&svg))
        return false;
    paintIcon(p);
    return p.end();
}

// The icon theme's usual sizes up to the largest a desktop asks for.
bool drawThemeIcons(const QDir &out, QTextStream &err) {
    const QString apps = QStringLiteral("hicolor/%1/apps");
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString dir = apps.arg(QStringLiteral("%1x%1").arg(size));
        const QString file = out.filePath(dir + QStringLiteral("/pomiv.png"));
        if (!out.mkpath(dir) || !drawIcon(size).save(file, "PNG")) {
            err << "cannot write " << file << '\n';
            return false;
        }
    }
    const QString dir = apps.arg(QStringLiteral("scalable"));
    const QString file = out.filePath(dir + QStringLiteral("/pomiv.svg"));
    if (!out.mkpath(dir) || !drawScalableIcon(file)) {
        err << "cannot write " << file << '\n';
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments().mid(1);
    const bool themeIcons = args.size() == 2 && args[0] == QStringLiteral("--icons");
    if (args.size() != 1 && !themeIcons) {
        err << "usage: pomiv_drawart [--icons] OUTPUT_FOLDER\n";
        return 2;
    }
    const QDir out(args.last());
    if (themeIcons)
        return drawThemeIcons(out, err) ? 0 : 1;
    const QString banner = out.filePath(QStringLiteral("banner.jpg"));
    const QString icon = out.filePath(QStringLiteral("icon.png"));
    if (!drawBanner().save(banner, "JPEG", 92)) {
        err << "cannot write " << banner << '\n';
        return 1;
    }
    if (!drawIcon(32).save(icon, "PNG")) {
        err << "cannot write " << icon << '\n';
        return 1;
    }
    return 0;
}
