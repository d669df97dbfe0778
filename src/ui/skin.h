#pragma once

#include <QColor>
#include <QFlags>
#include <QList>
#include <QMap>
#include <QString>

#include <optional>

class QByteArray;

namespace somnara {

// The kinds of control and menu that a skin can draw, in the order the engine's settings
// list them.
enum class SkinControl : quint32 {
    MainMenu = 1u << 0,
    PopupMenu = 1u << 1,
    Toolbar = 1u << 2,
    Controlbar = 1u << 3,
    Combo = 1u << 4,
    CheckBox = 1u << 5,
    RadioButton = 1u << 6,
    Progress = 1u << 7,
    Scrollbar = 1u << 8,
    Edit = 1u << 9,
    Button = 1u << 10,
    BitBtn = 1u << 11,
    SpeedButton = 1u << 12,
    Panel = 1u << 13,
    GroupBox = 1u << 14,
    StatusBar = 1u << 15,
    Tab = 1u << 16,
    SystemMenu = 1u << 17,
    FastReport = 1u << 18,
};
Q_DECLARE_FLAGS(SkinControls, SkinControl)
Q_DECLARE_OPERATORS_FOR_FLAGS(SkinControls)

// Every kind but the report designer's, which this program does not have.
SkinControls defaultSkinControls();

// How a skin draws a window's frame and title bar.
struct FrameLook
{
    int border = 0;      // frame width left, right, below and above the title bar
    int titleHeight = 0; // the title bar, between the top frame and the client area
    QColor outerLine, innerLine, fill;
    QList<QColor> title, inactiveTitle; // gradient stops from top to bottom, two or more
    QColor caption, inactiveCaption;
    QColor buttonHover, buttonPressed, closeHover;
    bool brushed = false; // fine horizontal streaks over the title bar, like brushed metal
};

// One skin read from its file: a comment header with its name and frame, then a Qt style
// sheet cut into sections by control kind, so that the kinds the engine is told to leave
// alone keep their plain look.
class Skin
{
public:
    // Nothing when the data is not a skin: not UTF-8, no header, a measure or colour missing
    // or out of range, or a section for a kind nobody knows.
    static std::optional<Skin> parse(const QByteArray &data);

    QString name() const { return m_name; }
    const FrameLook &frame() const { return m_frame; }

    // The style sheet for the given kinds; the window's own section always comes first.
    QString styleSheet(SkinControls controls) const;

private:
    QString m_name;
    FrameLook m_frame;
    QString m_formSheet;
    QMap<SkinControl, QString> m_sheets;
};

} // namespace somnara
