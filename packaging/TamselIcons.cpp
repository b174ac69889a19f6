// tamsel-icons: the program's icon in the hicolor theme, drawn from the
// About box picture (a 64x64 XPM of 16 colours).
//
//   tamsel-icons PICTURE ICON-NAME FOLDER SIZE...
//
// FOLDER receives SIZExSIZE/apps/ICON-NAME.png for every SIZE and
// scalable/apps/ICON-NAME.svg, the layout of share/icons/hicolor. The grey
// around the drawing becomes transparent; the grey inside it stays.

#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QList>
#include <QMap>
#include <QPoint>
#include <QString>
#include <QTextStream>
#include <cstdio>

namespace {

// The background is the grey reached from the picture's edges without
// crossing another colour (4-neighbours, so a diagonal gap in an outline
// does not let it in).
QImage WithoutBackground(const QImage& picture) {
    QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    const QRgb background = image.pixel(0, 0);
    QList<QPoint> pending;
    for (int x = 0; x < image.width(); ++x)
        pending << QPoint(x, 0) << QPoint(x, image.height() - 1);
    for (int y = 0; y < image.height(); ++y)
        pending << QPoint(0, y) << QPoint(image.width() - 1, y);
    while (!pending.isEmpty()) {
        const QPoint p = pending.takeLast();
        if (!image.valid(p) || image.pixel(p) != background) continue;
        image.setPixel(p, qRgba(0, 0, 0, 0));
        pending << p + QPoint(1, 0) << p - QPoint(1, 0) << p + QPoint(0, 1) << p - QPoint(0, 1);
    }
    return image;
}

// One path per colour, one "h" run per row of equal pixels: every picture
// pixel is a square of the drawing, sharp at any size.
QString Svg(const QImage& image) {
    QMap<QRgb, QString> runs;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width();) {
            const QRgb colour = image.pixel(x, y);
            int end = x + 1;
            while (end < image.width() && image.pixel(end, y) == colour)
                ++end;
            if (qAlpha(colour) != 0)
                runs[colour] += QStringLiteral("M%1 %2h%3v1h-%3z").arg(x).arg(y).arg(end - x);
            x = end;
        }
    }
    QString svg;
    QTextStream out(&svg);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << image.width() << "\" height=\""
        << image.height() << "\" viewBox=\"0 0 " << image.width() << ' ' << image.height()
        << "\" shape-rendering=\"crispEdges\">\n";
    for (auto it = runs.cbegin(); it != runs.cend(); ++it)
        out << "<path fill=\"" << QColor(it.key()).name() << "\" d=\"" << it.value() << "\"/>\n";
    out << "</svg>\n";
    return svg;
}

// Larger sizes repeat every pixel (the drawing stays sharp); smaller ones
// average the pixels each icon pixel covers, so thin outlines do not vanish.
QImage Scaled(const QImage& image, int size) {
    const Qt::TransformationMode mode =
        size >= image.width() ? Qt::FastTransformation : Qt::SmoothTransformation;
    return image.scaled(size, size, Qt::IgnoreAspectRatio, mode);
}

bool Fail(const QString& message) {
    std::fprintf(stderr, "tamsel-icons: %s\n", qPrintable(message));
    return false;
}

bool WriteIcons(const QString& pictureFile, const QString& name, const QDir& folder,
                const QList<int>& sizes) {
    const QImage picture(pictureFile);
    if (picture.isNull()) return Fail(QStringLiteral("cannot read %1").arg(pictureFile));
    const QImage icon = WithoutBackground(picture);
    for (const int size : sizes) {
        const QString apps = QStringLiteral("%1x%1/apps").arg(size);
        const QString file = folder.filePath(apps + QLatin1Char('/') + name + QStringLiteral(".png"));
        if (!folder.mkpath(apps) || !Scaled(icon, size).save(file, "PNG"))
            return Fail(QStringLiteral("cannot write %1").arg(file));
    }
    const QString file = folder.filePath(QStringLiteral("scalable/apps/") + name + QStringLiteral(".svg"));
    QFile svg(file);
    if (!folder.mkpath(QStringLiteral("scalable/apps")) || !svg.open(QIODevice::WriteOnly) ||
        svg.write(Svg(icon).toUtf8()) < 0)
        return Fail(QStringLiteral("cannot write %1").arg(file));
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QList<int> sizes;
    bool usable = argc >= 5;
    for (int i = 4; usable && i < argc; ++i) {
        sizes << QByteArray(argv[i]).toInt(&usable);
        usable = usable && sizes.last() > 0;
    }
    if (!usable) {
        std::fputs("usage: tamsel-icons PICTURE ICON-NAME FOLDER SIZE...\n", stderr);
        return 2;
    }
    const bool written = WriteIcons(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]),
                                    QDir(QString::fromLocal8Bit(argv[3])), sizes);
    return written ? 0 : 1;
}
