#include "skin.h"

#include <QByteArray>
#include <QRegularExpression>
#include <QStringDecoder>

#include <array>
#include <utility>

namespace somnara {

namespace {

constexpr QLatin1StringView kMagic("/* Somnara skin");

constexpr std::array<std::pair<SkinControl, const char *>, 19> kKindNames{{
    {SkinControl::MainMenu, "mainmenu"},
    {SkinControl::PopupMenu, "popupmenu"},
    {SkinControl::Toolbar, "toolbar"},
    {SkinControl::Controlbar, "controlbar"},
    {SkinControl::Combo, "combo"},
    {SkinControl::CheckBox, "checkbox"},
    {SkinControl::RadioButton, "radiobutton"},
    {SkinControl::Progress, "progress"},
    {SkinControl::Scrollbar, "scrollbar"},
    {SkinControl::Edit, "edit"},
    {SkinControl::Button, "button"},
    {SkinControl::BitBtn, "bitbtn"},
    {SkinControl::SpeedButton, "speedbutton"},
    {SkinControl::Panel, "panel"},
    {SkinControl::GroupBox, "groupbox"},
    {SkinControl::StatusBar, "statusbar"},
    {SkinControl::Tab, "tab"},
    {SkinControl::SystemMenu, "systemmenu"},
    {SkinControl::FastReport, "fastreport"},
}};

std::optional<SkinControl> kindNamed(const QString &name)
{
    for (const auto &[kind, kindName] : kKindNames) {
        if (name == QLatin1StringView(kindName))
            return kind;
    }
    return std::nullopt;
}

std::optional<int> measure(const QString &text, int low, int high)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

std::optional<QList<QColor>> colours(const QString &text)
{
    QList<QColor> result;
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QColor colour = QColor::fromString(word);
        if (!colour.isValid())
            return std::nullopt;
        result << colour;
    }
    if (result.isEmpty())
        return std::nullopt;
    return result;
}

// Reads "key: value" lines into the frame look; false when a key is unknown, repeated,
// missing or malformed.
bool readHeader(const QString &header, QString &name, FrameLook &frame)
{
    QMap<QString, QString> values;
    for (const QString &rawLine : header.split(QLatin1Char('\n'))) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty())
            continue;
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon <= 0)
            return false;
        const QString key = line.left(colon).trimmed();
        if (values.contains(key))
            return false;
        values.insert(key, line.mid(colon + 1).trimmed());
    }

    name = values.take(QStringLiteral("name"));
    const auto border = measure(values.take(QStringLiteral("border")), 2, 16);
    const auto titleHeight = measure(values.take(QStringLiteral("title-height")), 16, 48);
    const QString texture = values.take(QStringLiteral("texture"));

    const std::pair<const char *, QColor *> single[] = {
        {"outer-line", &frame.outerLine},
        {"inner-line", &frame.innerLine},
        {"fill", &frame.fill},
        {"caption", &frame.caption},
        {"inactive-caption", &frame.inactiveCaption},
        {"button-hover", &frame.buttonHover},
        {"button-pressed", &frame.buttonPressed},
        {"close-hover", &frame.closeHover},
    };
    for (const auto &[key, target] : single) {
        const auto value = colours(values.take(QLatin1StringView(key)));
        if (!value || value->size() != 1)
            return false;
        *target = value->front();
    }
    const auto title = colours(values.take(QStringLiteral("title")));
    const auto inactiveTitle = colours(values.take(QStringLiteral("inactive-title")));

    if (!values.isEmpty() || name.isEmpty() || !border || !titleHeight || !title
        || title->size() < 2 || !inactiveTitle || inactiveTitle->size() < 2)
        return false;
    if (texture != QLatin1StringView("none") && texture != QLatin1StringView("brushed"))
        return false;

    frame.border = *border;
    frame.titleHeight = *titleHeight;
    frame.title = *title;
    frame.inactiveTitle = *inactiveTitle;
    frame.brushed = texture == QLatin1StringView("brushed");
    return true;
}

} // namespace

SkinControls defaultSkinControls()
{
    SkinControls all;
    for (const auto &[kind, name] : kKindNames)
        all |= kind;
    return all & ~SkinControls(SkinControl::FastReport);
}

std::optional<Skin> Skin::parse(const QByteArray &data)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(data);
    if (utf8.hasError() || !text.startsWith(kMagic))
        return std::nullopt;
    const qsizetype headerEnd = text.indexOf(QLatin1StringView("*/"));
    if (headerEnd < 0)
        return std::nullopt;

    Skin skin;
    if (!readHeader(text.mid(kMagic.size(), headerEnd - kMagic.size()), skin.m_name, skin.m_frame))
        return std::nullopt;

    // A marker on a line of its own opens the section of one kind of control.
    static const QRegularExpression marker(QStringLiteral(R"(^/\*\s*@([a-z]+)\s*\*/[ \t]*$)"),
                                           QRegularExpression::MultilineOption);
    const QString sheet = text.mid(headerEnd + 2);
    qsizetype sectionStart = 0;
    QString sectionName = QStringLiteral("form");
    auto closeSection = [&](qsizetype end) {
        const QString body = sheet.mid(sectionStart, end - sectionStart);
        if (sectionName == QLatin1StringView("form")) {
            skin.m_formSheet += body;
            return true;
        }
        const auto kind = kindNamed(sectionName);
        if (!kind)
            return false;
        skin.m_sheets[*kind] += body;
        return true;
    };
    for (auto it = marker.globalMatch(sheet); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        if (!closeSection(match.capturedStart()))
            return std::nullopt;
        sectionName = match.captured(1);
        sectionStart = match.capturedEnd();
    }
    if (!closeSection(sheet.size()))
        return std::nullopt;
    return skin;
}

QString Skin::styleSheet(SkinControls controls) const
{
    QString sheet = m_formSheet;
    for (auto it = m_sheets.cbegin(); it != m_sheets.cend(); ++it) {
        if (controls.testFlag(it.key()))
            sheet += it.value();
    }
    return sheet;
}

} // namespace somnara
