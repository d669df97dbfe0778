#include "fonts.h"

#include <QFontInfo>
#include <QGuiApplication>
#include <QStringList>

namespace somnara {

namespace {

// Song (Ming) serif faces with simplified-Chinese glyph shapes, best first. The SC families
// come before anything else so that characters shared with Japanese never take their forms.
QStringList songFaces()
{
    return {QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Source Han Serif SC"),
            QStringLiteral("AR PL UMing CN"), QStringLiteral("SimSun"), QStringLiteral("Songti SC")};
}

// Plain sans faces for Latin text.
QStringList sansFaces()
{
    return {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"),
            QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Helvetica")};
}

QFont font(const QString &family, int pixels)
{
    QFont f(family);
    f.setPixelSize(pixels);
    f.setBold(false);
    f.setItalic(false);
    f.setUnderline(false);
    return f;
}

} // namespace

void installFontSubstitutes()
{
    // When no Song face is installed a Chinese sans face still beats one with Japanese shapes.
    const QStringList song = songFaces() << QStringLiteral("Noto Sans CJK SC");
    QFont::insertSubstitutions(QStringLiteral("宋体"), song);
    QStringList simsun = song;
    simsun.removeAll(QStringLiteral("SimSun"));
    QFont::insertSubstitutions(QStringLiteral("SimSun"), simsun);

    // On the original system Chinese text in the window font comes out in the Song face; the
    // substitutes after the sans faces are where Qt looks for the characters they lack.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), sansFaces() + song);

    // The same for the toolkit's own font (menus, message boxes): left alone, fontconfig picks
    // the first CJK face it knows for Chinese text, often a Japanese one.
    if (qGuiApp) {
        const QFont appFont = QGuiApplication::font();
        const QString named = appFont.family();
        const QString resolved = QFontInfo(appFont).family();
        if (!song.contains(resolved)) {
            QStringList substitutes = song;
            if (named != resolved)
                substitutes.prepend(resolved);
            QFont::insertSubstitutions(named, substitutes);
        }
    }
}

QFont windowFont()
{
    return font(QStringLiteral("MS Sans Serif"), 11);
}

QFont bodyFont()
{
    return font(QStringLiteral("宋体"), 12);
}

QFont linkFont()
{
    return font(QStringLiteral("宋体"), 12);
}

} // namespace somnara
