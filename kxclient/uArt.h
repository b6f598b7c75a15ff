#pragma once
// The program's own pictures, drawn rather than shipped: splash, logo, login picture, tree
// and home-tab pictures, and the navigation pictures written to image/ at build time.
#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QStringList>

class QPainter;
class QRect;

void KxPaintSplash(QPainter& p, const QRect& r);
// The home page's background over `r`, with the welcome centred in `welcome` when it fits.
void KxPaintHome(QPainter& p, const QRect& r, const QRect& welcome);
QPixmap KxLogoPixmap(const QSize& size);
QPixmap KxLogonPicture(const QSize& size);
QIcon KxTreeIcon(int index); // 0 root, 1 closed folder, 2 open folder, 3 module entry
QPixmap KxHelpPicture();
QPixmap KxContactPicture();
QIcon KxStartIcon();

// A navigation picture: a coloured tile with a white glyph. Glyphs: KxGlyphs().
QImage KxNavImage(const QString& glyph, const QColor& color, int size);
QStringList KxGlyphs();
