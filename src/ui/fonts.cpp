#include "fonts.h"

#include <QStringList>

namespace somnara {

void installFontSubstitutes()
{
    // A Song (Ming) serif face with simplified-Chinese glyph shapes; the SC family comes first
    // so shared code points never take Japanese forms.
    const QStringList song{QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Source Han Serif SC"),
                           QStringLiteral("AR PL UMing CN"), QStringLiteral("SimSun"),
                           QStringLiteral("Songti SC"), QStringLiteral("Noto Sans CJK SC")};
    QFont::insertSubstitutions(QStringLiteral("宋体"), song);
    QFont::insertSubstitutions(QStringLiteral("SimSun"), song.mid(0, 3) + song.mid(4));
    const QStringList sans{QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"),
                           QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Helvetica"),
                           QStringLiteral("Noto Sans CJK SC")};
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), sans);
}

namespace {

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
