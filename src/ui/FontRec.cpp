#include "ui/FontRec.h"

#include <QPalette>
#include <QVariant>
#include <QWidget>

namespace {
const char* const kCharSetProperty = "varnothCharSet";

void setTextColor(QWidget* w, const QColor& c)
{
    if (!c.isValid())
        return;
    QPalette p = w->palette();
    p.setColor(QPalette::Text, c);
    p.setColor(QPalette::WindowText, c);
    w->setPalette(p);
}
} // namespace

QColor ColorFromRec(int color)
{
    if (color < 0)
        return QColor();
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

int ColorToRec(const QColor& color)
{
    const QColor c = color.toRgb();
    return c.red() | (c.green() << 8) | (c.blue() << 16);
}

void ApplyFontRec(QFont& font, const TFontRec& rec, int skipMask)
{
    if (!(skipMask & 1) && !rec.Name.isEmpty())
        font.setFamily(rec.Name);
    if (!(skipMask & 2) && rec.Size > 0)
        font.setPointSize(rec.Size);
    if (!(skipMask & 8)) {
        font.setBold(rec.Style & fsBold);
        font.setItalic(rec.Style & fsItalic);
        font.setUnderline(rec.Style & fsUnderline);
        font.setStrikeOut(rec.Style & fsStrikeOut);
    }
}

void FontToRec(const QFont& font, TFontRec& rec)
{
    rec.Name = font.family();
    if (font.pointSize() > 0)
        rec.Size = font.pointSize();
    rec.Style = (font.bold() ? fsBold : 0) | (font.italic() ? fsItalic : 0)
                | (font.underline() ? fsUnderline : 0) | (font.strikeOut() ? fsStrikeOut : 0);
}

void ApplyFontRec(QWidget* w, const TFontRec& rec, int skipMask)
{
    QFont font = w->font();
    ApplyFontRec(font, rec, skipMask);
    w->setFont(font);
    if (!(skipMask & 4))
        setTextColor(w, ColorFromRec(rec.Color));
}

void FontToRec(const QWidget* w, TFontRec& rec)
{
    FontToRec(w->font(), rec);
    rec.Color = ColorToRec(w->palette().color(QPalette::Text));
}

TListFont ListFontOf(const QWidget* w)
{
    TFontRec rec;
    FontToRec(w, rec);
    TListFont f;
    f.Name = rec.Name;
    f.Color = rec.Color;
    f.Style = rec.Style;
    const QVariant cs = w->property(kCharSetProperty);
    f.CharSet = cs.isValid() ? cs.toInt() : 1;
    return f;
}

void ApplyListFont(QWidget* w, const TListFont& f)
{
    TFontRec rec;
    rec.Name = f.Name;
    rec.Color = f.Color;
    rec.Style = f.Style;
    ApplyFontRec(w, rec, 2);
    w->setProperty(kCharSetProperty, f.CharSet);
}
