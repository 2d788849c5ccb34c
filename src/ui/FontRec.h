#pragma once
// Font records (settings/Options.h) on Qt fonts and widgets.
// skipMask: 1 skips the name, 2 the size, 4 the colour, 8 the style.
#include "settings/Options.h"

#include <QColor>
#include <QFont>

class QWidget;

// The stored colour is 0x00BBGGRR. Negative values are the old system-colour
// references, which have no fixed RGB: they give an invalid QColor, and
// callers then keep the widget's own colour.
QColor ColorFromRec(int color);
int ColorToRec(const QColor& color);

// Name, size (points, when positive) and style onto a QFont. A QFont has no
// colour; the widget forms below handle it.
void ApplyFontRec(QFont& font, const TFontRec& rec, int skipMask = 0);
// Name, size and style from a QFont (Def and Color are left unchanged).
void FontToRec(const QFont& font, TFontRec& rec);

// The same on a widget: the font, and the colour as the palette's Text and
// WindowText colours.
void ApplyFontRec(QWidget* w, const TFontRec& rec, int skipMask = 0);
void FontToRec(const QWidget* w, TFontRec& rec);

// A list view's font as the "Font Left" / "Font Right" sections keep it
// (no size: the list keeps its own). CharSet has no meaning here; the
// value last applied is kept on the widget so a save writes it back.
TListFont ListFontOf(const QWidget* w);
void ApplyListFont(QWidget* w, const TListFont& f);
