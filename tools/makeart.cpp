// Build-time tool: turns the drawings in assets/ into the images the program uses.
//
//   makeart icon ICON.svg ICON_DIR     ICON_DIR/hicolor/NxN/apps/tallyfold.png, N = 32 48 128 256
//   makeart gif ICON.svg FILE.gif      the 256 px icon as a GIF with one transparent colour
//   makeart cursor HAND.svg X Y FILE   a 32 x 32 Windows cursor (.cur) with its hot spot at X, Y
//
// Qt's SVG renderer draws; giflib quantizes and writes the GIF, which Qt cannot write;
// the cursor container is small enough to write here.
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>
#include <gif_lib.h>
#include <vector>

namespace {

int fail(const QString& message)
{
    std::fprintf(stderr, "makeart: %s\n", qPrintable(message));
    return 1;
}

// The drawing at size x size pixels, unpremultiplied so edge pixels keep their colour.
QImage render(const QString& svg, int size)
{
    QSvgRenderer renderer(svg);
    if (!renderer.isValid())
        return {};
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

int writeIcons(const QString& svg, const QString& dir)
{
    for (int size : {32, 48, 128, 256}) {
        const QString folder = QStringLiteral("%1/hicolor/%2x%2/apps").arg(dir).arg(size);
        QImage image = render(svg, size);
        if (image.isNull())
            return fail(QStringLiteral("cannot read %1").arg(svg));
        // The smallest size is the 24-bit colour image of the window icon: opaque
        // pixels only, the rest fully transparent.
        if (size == 32) {
            for (int y = 0; y < size; ++y) {
                auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
                for (int x = 0; x < size; ++x)
                    line[x] = qAlpha(line[x]) >= 128 ? (line[x] | 0xff000000u) : 0u;
            }
        }
        if (!QDir().mkpath(folder) || !image.save(folder + QStringLiteral("/tallyfold.png")))
            return fail(QStringLiteral("cannot write into %1").arg(folder));
    }
    return 0;
}

int writeGif(const QString& svg, const QString& path)
{
    const QImage image = render(svg, 256);
    if (image.isNull())
        return fail(QStringLiteral("cannot read %1").arg(svg));
    const int w = image.width(), h = image.height(), n = w * h;
    constexpr int kTransparent = 255;   // the palette's last entry; the drawing gets the rest
    std::vector<GifByteType> r(n), g(n), b(n), indexes(n);
    std::vector<bool> clear(n);
    QRgb fillColour = 0;
    for (int i = 0; i < n; ++i) {
        const QRgb px = image.pixel(i % w, i / w);
        clear[i] = qAlpha(px) < 128;
        if (!clear[i] && !fillColour)
            fillColour = px;
    }
    for (int i = 0; i < n; ++i) {
        // Transparent pixels borrow a colour of the drawing, so they cost no palette entry.
        const QRgb px = clear[i] ? fillColour : image.pixel(i % w, i / w);
        r[i] = GifByteType(qRed(px));
        g[i] = GifByteType(qGreen(px));
        b[i] = GifByteType(qBlue(px));
    }
    GifColorType colours[256] = {};
    int colourCount = kTransparent;
    if (GifQuantizeBuffer(w, h, &colourCount, r.data(), g.data(), b.data(), indexes.data(), colours) != GIF_OK)
        return fail(QStringLiteral("cannot reduce the icon to 255 colours"));
    for (int i = 0; i < n; ++i) {
        if (clear[i])
            indexes[i] = kTransparent;
    }

    int error = 0;
    GifFileType* gif = EGifOpenFileName(QFile::encodeName(path).constData(), false, &error);
    if (!gif)
        return fail(QStringLiteral("cannot create %1: %2").arg(path, QString::fromUtf8(GifErrorString(error))));
    ColorMapObject* map = GifMakeMapObject(256, colours);
    GraphicsControlBlock control{};
    control.DisposalMode = DISPOSAL_UNSPECIFIED;
    control.DelayTime = 0;
    control.TransparentColor = kTransparent;
    GifByteType extension[4];
    const size_t extensionLength = EGifGCBToExtension(&control, extension);
    EGifSetGifVersion(gif, true);
    bool ok = EGifPutScreenDesc(gif, w, h, 8, 0, map) == GIF_OK
        && EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(extensionLength), extension) == GIF_OK
        && EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < h; ++y)
        ok = EGifPutLine(gif, indexes.data() + size_t(y) * w, w) == GIF_OK;
    GifFreeMapObject(map);
    if (EGifCloseFile(gif, &error) != GIF_OK || !ok)
        return fail(QStringLiteral("cannot write %1").arg(path));
    return 0;
}

// A Windows cursor file: the icon container with type 2, whose directory entry holds
// the hot spot, and one 32-bit image with its AND mask, both stored bottom-up.
int writeCursor(const QString& svg, int hotX, int hotY, const QString& path)
{
    constexpr int kSize = 32;
    const QImage image = render(svg, kSize);
    if (image.isNull())
        return fail(QStringLiteral("cannot read %1").arg(svg));
    constexpr quint32 kMaskRowBytes = 4;   // 32 one-bit pixels, already a multiple of 4 bytes
    constexpr quint32 kImageBytes = 40 + kSize * kSize * 4 + kSize * kMaskRowBytes;

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("cannot create %1").arg(path));
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(2) << quint16(1);                            // reserved, cursor, one image
    out << quint8(kSize) << quint8(kSize) << quint8(0) << quint8(0)           // size, no palette
        << quint16(hotX) << quint16(hotY) << kImageBytes << quint32(6 + 16); // hot spot, bytes, offset
    out << quint32(40) << qint32(kSize) << qint32(2 * kSize)                  // colour rows + mask rows
        << quint16(1) << quint16(32) << quint32(0) << quint32(kImageBytes - 40)
        << qint32(0) << qint32(0) << quint32(0) << quint32(0);
    for (int y = kSize - 1; y >= 0; --y) {
        for (int x = 0; x < kSize; ++x) {
            const QRgb px = image.pixel(x, y);
            out << quint8(qBlue(px)) << quint8(qGreen(px)) << quint8(qRed(px)) << quint8(qAlpha(px));
        }
    }
    for (int y = kSize - 1; y >= 0; --y) {
        quint32 bits = 0;   // a set bit leaves the screen showing through
        for (int x = 0; x < kSize; ++x) {
            if (qAlpha(image.pixel(x, y)) < 128)
                bits |= 0x80000000u >> x;
        }
        out << quint8(bits >> 24) << quint8(bits >> 16) << quint8(bits >> 8) << quint8(bits);
    }
    if (out.status() != QDataStream::Ok || !file.flush())
        return fail(QStringLiteral("cannot write %1").arg(path));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (args.size() == 3 && args[0] == u"icon")
        return writeIcons(args[1], args[2]);
    if (args.size() == 3 && args[0] == u"gif")
        return writeGif(args[1], args[2]);
    if (args.size() == 5 && args[0] == u"cursor")
        return writeCursor(args[1], args[2].toInt(), args[3].toInt(), args[4]);
    return fail(QStringLiteral("usage: makeart icon SVG DIR | gif SVG FILE | cursor SVG X Y FILE"));
}
