// Writes the program icon as the files a desktop installation wants: PNGs
// at the hicolor theme's usual sizes and one scalable SVG, all from the
// same drawing as the window icon, so the launcher's icon never drifts
// from the one the running program shows. Run during the build:
//   tessaroon-icon-export OUTDIR
// writes OUTDIR/hicolor/<N>x<N>/apps/tessaroon.png and
// OUTDIR/hicolor/scalable/apps/tessaroon.svg.
#include "app/Glyphs.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

#include <cstdio>

namespace {

constexpr int kSizes[] = { 16, 22, 24, 32, 48, 64, 128, 256 };

bool fail(const QString& what)
{
    std::fprintf(stderr, "tessaroon-icon-export: %s\n", qPrintable(what));
    return false;
}

bool writePng(const QString& root, int size)
{
    const QString dir = QStringLiteral("%1/hicolor/%2x%2/apps").arg(root).arg(size);
    if (!QDir().mkpath(dir))
        return fail(QStringLiteral("cannot create %1").arg(dir));
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    tess::app::glyphs::paintProgramIcon(p, size);
    p.end();
    const QString file = dir + QStringLiteral("/tessaroon.png");
    if (!image.save(file, "PNG"))
        return fail(QStringLiteral("cannot write %1").arg(file));
    return true;
}

bool writeSvg(const QString& root)
{
    const QString dir = root + QStringLiteral("/hicolor/scalable/apps");
    if (!QDir().mkpath(dir))
        return fail(QStringLiteral("cannot create %1").arg(dir));
    const QString file = dir + QStringLiteral("/tessaroon.svg");
    QSvgGenerator svg;
    svg.setFileName(file);
    svg.setSize(QSize(64, 64));
    svg.setViewBox(QRect(0, 0, 64, 64));
    svg.setTitle(QStringLiteral("Tessaroon"));
    QPainter p;
    if (!p.begin(&svg))
        return fail(QStringLiteral("cannot write %1").arg(file));
    tess::app::glyphs::paintProgramIcon(p, 64);
    if (!p.end())
        return fail(QStringLiteral("cannot write %1").arg(file));
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    // Drawing into images needs no screen; builders usually have none.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: tessaroon-icon-export OUTDIR\n", stderr);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    for (int size : kSizes)
        if (!writePng(root, size))
            return 1;
    return writeSvg(root) ? 0 : 1;
}
