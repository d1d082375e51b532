#pragma once
// Window geometry is designed in twips (1440 to the inch at the screen's logical DPI).
// These helpers place Qt widgets from twips and read their geometry back in twips,
// and give the fonts the windows are designed with.

#include <QFont>

class QWidget;

namespace shell {

double pixelsPerTwip(const QWidget* widget);
int toPixels(double twips, const QWidget* widget);
double toTwips(int pixels, const QWidget* widget);

// Places child at (left, top) with (width, height), all in twips, relative to its parent
// (a frame's children are placed relative to the frame, as designed).
void placeTwips(QWidget* child, double left, double top, double width, double height);
// Left, Top, Width and Height in twips, as the layout code reads and writes them.
double leftTwips(const QWidget* w);
double topTwips(const QWidget* w);
double widthTwips(const QWidget* w);
double heightTwips(const QWidget* w);
void setLeftTwips(QWidget* w, double twips);
void setTopTwips(QWidget* w, double twips);
void setWidthTwips(QWidget* w, double twips);
void setHeightTwips(QWidget* w, double twips);

// Fixes a window's client area at width x height twips.
void setClientSizeTwips(QWidget* window, double width, double height);

// Arial 9 pt bold for labels, frames, lists and text; Arial 11.25 pt bold for push
// buttons. Where Arial is missing, fontconfig gives its metric-compatible substitute.
QFont windowFont();
QFont buttonFont();

} // namespace shell
