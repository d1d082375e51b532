#include "shell/Twips.h"

#include <QWidget>
#include <cmath>

namespace shell {

double pixelsPerTwip(const QWidget* widget)
{
    const int dpi = widget ? widget->logicalDpiX() : 96;
    return (dpi > 0 ? dpi : 96) / 1440.0;
}

int toPixels(double twips, const QWidget* widget)
{
    return int(std::lround(twips * pixelsPerTwip(widget)));
}

double toTwips(int pixels, const QWidget* widget)
{
    return pixels / pixelsPerTwip(widget);
}

void placeTwips(QWidget* child, double left, double top, double width, double height)
{
    child->setGeometry(toPixels(left, child), toPixels(top, child), toPixels(width, child), toPixels(height, child));
}

double leftTwips(const QWidget* w) { return toTwips(w->x(), w); }
double topTwips(const QWidget* w) { return toTwips(w->y(), w); }
double widthTwips(const QWidget* w) { return toTwips(w->width(), w); }
double heightTwips(const QWidget* w) { return toTwips(w->height(), w); }
void setLeftTwips(QWidget* w, double twips) { w->move(toPixels(twips, w), w->y()); }
void setTopTwips(QWidget* w, double twips) { w->move(w->x(), toPixels(twips, w)); }
void setWidthTwips(QWidget* w, double twips) { w->resize(std::max(0, toPixels(twips, w)), w->height()); }
void setHeightTwips(QWidget* w, double twips) { w->resize(w->width(), std::max(0, toPixels(twips, w))); }

void setClientSizeTwips(QWidget* window, double width, double height)
{
    window->setFixedSize(toPixels(width, window), toPixels(height, window));
}

QFont windowFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9);
    font.setBold(true);
    return font;
}

QFont buttonFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(11.25);
    font.setBold(true);
    return font;
}

} // namespace shell
