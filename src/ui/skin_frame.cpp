#include "skin_frame.h"

#include "fonts.h"
#include "native_position.h"
#include "skin.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLayout>
#include <QLinearGradient>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QPainter>
#include <QRandomGenerator>
#include <QShortcut>
#include <QWindow>

#include <algorithm>
#include <functional>

namespace somnara {

namespace {

// Style sheets select a dressed window by this property.
constexpr char kSkinnedProperty[] = "skinned";
constexpr int kIconSize = 16;
constexpr int kKeyboardMoveStep = 8;

enum class TitleGlyph { System, Minimize, Close };

// A title-bar button: an ordinary push button to assistive tools, drawn in the frame's
// colours. It never takes the focus, so the window's own tab order stays as it was.
class TitleButton : public QAbstractButton
{
public:
    TitleButton(TitleGlyph glyph, const QString &name, QWidget *parent)
        : QAbstractButton(parent), m_glyph(glyph)
    {
        setObjectName(name);
        setAccessibleName(name);
        setFocusPolicy(Qt::NoFocus);
        setAttribute(Qt::WA_Hover);
    }

    const FrameLook *look = nullptr;
    std::function<void()> onDoubleClick;

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (!look)
            return;
        QPainter painter(this);
        if (m_glyph == TitleGlyph::System) {
            const QIcon icon = window()->windowIcon();
            icon.paint(&painter, rect(), Qt::AlignCenter);
            return;
        }
        painter.setRenderHint(QPainter::Antialiasing);
        const bool active = window()->isActiveWindow();
        QColor glyph = active ? look->caption : look->inactiveCaption;
        const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        if (isDown() || underMouse()) {
            QColor face = isDown() ? look->buttonPressed : look->buttonHover;
            if (m_glyph == TitleGlyph::Close) {
                face = isDown() ? look->closeHover.darker(125) : look->closeHover;
                glyph = Qt::white;
            }
            painter.setPen(Qt::NoPen);
            painter.setBrush(face);
            painter.drawRoundedRect(box, 2, 2);
        }
        QColor edge = glyph;
        edge.setAlpha(90);
        painter.setPen(QPen(edge, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(box, 2, 2);

        painter.setPen(QPen(glyph, 1.6, Qt::SolidLine, Qt::SquareCap));
        const QPointF centre = box.center();
        const qreal half = std::min(box.width(), box.height()) * 0.22;
        if (m_glyph == TitleGlyph::Minimize) {
            const qreal y = centre.y() + half;
            painter.drawLine(QPointF(centre.x() - half, y), QPointF(centre.x() + half, y));
        } else {
            painter.drawLine(centre + QPointF(-half, -half), centre + QPointF(half, half));
            painter.drawLine(centre + QPointF(-half, half), centre + QPointF(half, -half));
        }
    }

    void mouseDoubleClickEvent(QMouseEvent *event) override
    {
        if (onDoubleClick && event->button() == Qt::LeftButton)
            onDoubleClick();
        else
            QAbstractButton::mouseDoubleClickEvent(event);
    }

private:
    TitleGlyph m_glyph;
};

QAccessibleInterface *titleBarAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1StringView("somnara::SkinFrame") && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::TitleBar);
    return nullptr;
}

// Changing the flags through the widget re-creates the native window, which hides it, and
// hiding a dialog ends its modal loop; once the window exists, tell it directly.
void setFrameless(QWidget *window, bool frameless)
{
    Qt::WindowFlags flags = window->windowFlags();
    flags.setFlag(Qt::FramelessWindowHint, frameless);
    if (flags == window->windowFlags())
        return;
    if (QWindow *handle = window->windowHandle()) {
        window->overrideWindowFlags(flags);
        handle->setFlags(flags);
    } else {
        window->setWindowFlags(flags);
    }
}

// The client area keeps its size: the window grows or shrinks by the change of its margins.
void resizeForMargins(QWidget *window, const QMargins &from, const QMargins &to)
{
    const QSize grow(to.left() + to.right() - from.left() - from.right(),
                     to.top() + to.bottom() - from.top() - from.bottom());
    if (grow.isNull())
        return;
    const QPoint position = window->geometry().topLeft();
    if (window->minimumSize() == window->maximumSize())
        window->setFixedSize(window->minimumSize() + grow);
    else if (window->testAttribute(Qt::WA_Resized) || window->isVisible())
        window->resize(window->size() + grow);
    else
        return;
    // The native window may not have heard yet where the window manager put it, and a resize
    // alone sends it back to where it last heard of; say again where it stands.
    if (QWindow *handle = window->windowHandle(); handle && window->isVisible())
        handle->setGeometry(QRect(position, window->size()));
}

// Skins never set fonts, yet re-styling a window whose controls are already styled hands
// some of them the application's font instead of their parent's (Qt 6.4, a tab widget in the
// tree); whatever font a control had before, it keeps.
void setStyleSheetKeepingFonts(QWidget *window, const QString &styleSheet)
{
    QList<std::pair<QPointer<QWidget>, QFont>> fonts;
    const auto controls = window->findChildren<QWidget *>();
    for (QWidget *control : controls)
        fonts.append({control, control->font()});
    window->setStyleSheet(styleSheet);
    // Parents come before their children, so a restored parent passes its font on first.
    for (const auto &[control, font] : fonts) {
        if (control && control->font() != font)
            control->setFont(font);
    }
}

// The window's own controls placed by hand keep their place in the client area when the
// frame moves its top-left corner; a layout places its controls by itself.
void shiftChildren(QWidget *window, const QPoint &offset)
{
    if (offset.isNull())
        return;
    const auto children = window->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget *child : children) {
        if (child->isWindow() || qobject_cast<SkinFrame *>(child))
            continue;
        if (window->layout() && window->layout()->indexOf(child) >= 0)
            continue;
        child->move(child->pos() + offset);
    }
}

// Fine horizontal streaks of light and shade, the same on every run.
const QImage &brushedStreaks()
{
    static const QImage streaks = [] {
        QImage image(256, 64, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QRandomGenerator random(20240611);
        QPainter painter(&image);
        for (int i = 0; i < 420; ++i) {
            const int y = random.bounded(image.height());
            const int x = random.bounded(image.width());
            const int length = 20 + random.bounded(120);
            const bool light = random.bounded(2) == 0;
            painter.setPen(QColor(light ? 255 : 0, light ? 255 : 0, light ? 255 : 0,
                                  6 + random.bounded(16)));
            painter.drawLine(x, y, x + length, y);
            if (x + length >= image.width())
                painter.drawLine(x - image.width(), y, x + length - image.width(), y);
        }
        return image;
    }();
    return streaks;
}

} // namespace

SkinFrame::SkinFrame(QWidget *window)
    : QWidget(window), m_window(window), m_ownStyleSheet(window->styleSheet()),
      m_ownMargins(window->contentsMargins())
{
    static const bool accessibleTitleBar = [] {
        QAccessible::installFactory(titleBarAccessible);
        return true;
    }();
    Q_UNUSED(accessibleTitleBar);

    setObjectName(QStringLiteral("SkinFrame"));
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(window->windowTitle());

    auto *systemButton = new TitleButton(TitleGlyph::System, QStringLiteral("System"), this);
    systemButton->onDoubleClick = [this] { m_window->close(); };
    connect(systemButton, &QAbstractButton::pressed, this, [this] {
        m_systemButton->setDown(false);
        showSystemMenu(mapToGlobal(QPoint(m_systemButton->x(), titleRect().bottom() + 1)));
    });
    m_systemButton = systemButton;
    m_minimizeButton = new TitleButton(TitleGlyph::Minimize, QStringLiteral("Minimize"), this);
    connect(m_minimizeButton, &QAbstractButton::clicked, m_window, &QWidget::showMinimized);
    m_closeButton = new TitleButton(TitleGlyph::Close, QStringLiteral("Close"), this);
    connect(m_closeButton, &QAbstractButton::clicked, m_window, &QWidget::close);

    auto *systemMenuKey = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
    connect(systemMenuKey, &QShortcut::activated, this, [this] {
        showSystemMenu(mapToGlobal(QPoint(frameMargins().left(), titleRect().bottom() + 1)));
    });

    m_window->installEventFilter(this);
}

void SkinFrame::dress(QWidget *window, std::shared_ptr<const Skin> skin, const QString &styleSheet)
{
    SkinFrame *frame = of(window);
    if (!frame)
        frame = new SkinFrame(window);
    frame->setSkin(std::move(skin), styleSheet);
}

void SkinFrame::undress(QWidget *window)
{
    if (SkinFrame *frame = of(window))
        frame->release();
}

SkinFrame *SkinFrame::of(const QWidget *window)
{
    if (!window)
        return nullptr;
    const auto frames = window->findChildren<SkinFrame *>(QString(), Qt::FindDirectChildrenOnly);
    for (SkinFrame *frame : frames) {
        if (frame->m_window == window)
            return frame;
    }
    return nullptr;
}

QMargins SkinFrame::frameMargins() const
{
    if (!m_skin)
        return {};
    const FrameLook &look = m_skin->frame();
    return {look.border, look.border + look.titleHeight, look.border, look.border};
}

QRect SkinFrame::titleRect() const
{
    if (!m_skin)
        return {};
    const FrameLook &look = m_skin->frame();
    return {look.border, look.border, width() - 2 * look.border, look.titleHeight};
}

void SkinFrame::setSkin(std::shared_ptr<const Skin> skin, const QString &styleSheet)
{
    m_skin = std::move(skin);
    for (QAbstractButton *button : {m_systemButton, m_minimizeButton, m_closeButton})
        static_cast<TitleButton *>(button)->look = &m_skin->frame();

    const Qt::WindowFlags flags = m_window->windowFlags();
    m_systemButton->setVisible(m_window->windowType() == Qt::Window
                               && flags.testFlag(Qt::WindowSystemMenuHint));
    m_minimizeButton->setVisible(flags.testFlag(Qt::WindowMinimizeButtonHint));
    m_closeButton->setVisible(flags & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint));
    // Flags before the style sheet: a window re-created under a style sheet hands its
    // controls the application's font instead of its own.
    setFrameless(m_window, true);
    watchNativeWindow();

    const QMargins wanted = m_ownMargins + frameMargins();
    const QMargins current = m_window->contentsMargins();
    m_window->setProperty(kSkinnedProperty, true);
    setStyleSheetKeepingFonts(m_window, m_ownStyleSheet.isEmpty()
                                            ? styleSheet
                                            : m_ownStyleSheet + QLatin1Char('\n') + styleSheet);
    resizeForMargins(m_window, current, wanted);
    shiftChildren(m_window, QPoint(wanted.left() - current.left(), wanted.top() - current.top()));
    m_window->setContentsMargins(wanted);

    placeParts();
    lower();
    show();
    update();
}

void SkinFrame::release()
{
    if (m_keyboardMove)
        endKeyboardMove(true);
    m_window->removeEventFilter(this);
    if (m_handle)
        m_handle->removeEventFilter(this);
    m_window->setProperty(kSkinnedProperty, QVariant());
    setStyleSheetKeepingFonts(m_window, m_ownStyleSheet);
    setFrameless(m_window, false);
    const QMargins current = m_window->contentsMargins();
    resizeForMargins(m_window, current, m_ownMargins);
    shiftChildren(m_window, QPoint(m_ownMargins.left() - current.left(),
                                   m_ownMargins.top() - current.top()));
    m_window->setContentsMargins(m_ownMargins);
    m_window = nullptr;
    hide();
    // Not at once: this may run while the frame's own menu or button is still on the stack.
    deleteLater();
}

void SkinFrame::placeParts()
{
    setGeometry(m_window->rect());
    setMask(QRegion(rect()).subtracted(QRegion(m_window->contentsRect())));

    const QRect title = titleRect();
    const int height = std::max(12, title.height() - 8);
    const int width = height + 4;
    const int top = title.top() + (title.height() - height) / 2;
    int right = title.right() - 2;
    for (QAbstractButton *button : {m_closeButton, m_minimizeButton}) {
        if (button->isHidden())
            continue;
        button->setGeometry(right - width + 1, top, width, height);
        right -= width + 2;
    }
    const int iconBox = kIconSize + 2;
    m_systemButton->setGeometry(title.left() + 3, title.top() + (title.height() - iconBox) / 2,
                                iconBox, iconBox);
}

bool SkinFrame::eventFilter(QObject *watched, QEvent *event)
{
    // Checked once the event has been handled, and not while a button may be moving the window.
    const bool placeMayBeWrong =
        event->type() == QEvent::Expose
        || ((event->type() == QEvent::Move || event->type() == QEvent::Resize)
            && QGuiApplication::mouseButtons() == Qt::NoButton);
    if (watched == m_handle && placeMayBeWrong && !m_positionCheckQueued) {
        m_positionCheckQueued = true;
        QMetaObject::invokeMethod(this, &SkinFrame::confirmPosition, Qt::QueuedConnection);
    }
    if (watched == m_window) {
        switch (event->type()) {
        case QEvent::Resize:
            placeParts();
            break;
        case QEvent::WinIdChange:
            watchNativeWindow();
            break;
        case QEvent::WindowTitleChange:
            setAccessibleName(m_window->windowTitle());
            update();
            break;
        case QEvent::WindowIconChange:
            m_systemButton->update();
            break;
        case QEvent::ActivationChange:
            if (m_keyboardMove && !m_window->isActiveWindow())
                endKeyboardMove(true);
            update();
            m_minimizeButton->update();
            m_closeButton->update();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SkinFrame::watchNativeWindow()
{
    QWindow *handle = m_window->windowHandle();
    if (handle == m_handle)
        return;
    if (m_handle)
        m_handle->removeEventFilter(this);
    m_handle = handle;
    if (m_handle)
        m_handle->installEventFilter(this);
}

void SkinFrame::confirmPosition()
{
    m_positionCheckQueued = false;
    // While the window manager frames a frameless window, Qt can catch it in passing at the
    // screen's corner and keep believing so: assistive tools are then told the corner.
    // Asking for the place the window really has makes the window system report it afresh.
    if (!m_window || !m_handle || !m_window->isVisible() || m_window->isMinimized())
        return;
    const std::optional<QPoint> actual = nativeWindowPosition(m_handle);
    if (actual && (*actual - m_handle->position()).manhattanLength() > 1)
        m_handle->setPosition(*actual);
}

void SkinFrame::paintEvent(QPaintEvent *)
{
    if (!m_skin || !m_window)
        return;
    const FrameLook &look = m_skin->frame();
    QPainter painter(this);
    const QRect all = rect();
    painter.fillRect(all, look.fill);
    paintTitle(painter, m_window->isActiveWindow());

    painter.setPen(look.outerLine);
    painter.drawRect(all.adjusted(0, 0, -1, -1));
    painter.setPen(look.innerLine);
    painter.drawLine(1, 1, all.width() - 2, 1);
    painter.drawLine(1, 1, 1, all.height() - 2);
    // A dark edge seats the client area in the frame.
    painter.setPen(look.outerLine);
    painter.drawRect(m_window->contentsRect().adjusted(-1, -1, 0, 0));
}

void SkinFrame::paintTitle(QPainter &painter, bool active)
{
    const FrameLook &look = m_skin->frame();
    const QRect title = titleRect();
    const QList<QColor> &stops = active ? look.title : look.inactiveTitle;
    QLinearGradient gradient(title.topLeft(), title.bottomLeft());
    for (qsizetype i = 0; i < stops.size(); ++i)
        gradient.setColorAt(qreal(i) / qreal(stops.size() - 1), stops.at(i));
    painter.fillRect(title, gradient);
    if (look.brushed)
        painter.fillRect(title, QBrush(brushedStreaks()));

    // The body face, which the window has loaded already: a caption costs no face of its own.
    painter.setFont(bodyFont());
    painter.setPen(active ? look.caption : look.inactiveCaption);
    int left = title.left() + 6;
    if (!m_systemButton->isHidden())
        left = m_systemButton->geometry().right() + 5;
    int right = title.right() - 4;
    for (QAbstractButton *button : {m_minimizeButton, m_closeButton}) {
        if (!button->isHidden())
            right = std::min(right, button->x() - 4);
    }
    const QRect captionRect(left, title.top(), std::max(0, right - left), title.height());
    // Struck twice a pixel apart: a bold caption without loading a bold face at start-up.
    const QString caption = painter.fontMetrics().elidedText(
        m_window->windowTitle(), Qt::ElideRight, captionRect.width() - 1);
    painter.drawText(captionRect, Qt::AlignLeft | Qt::AlignVCenter, caption);
    painter.drawText(captionRect.translated(1, 0), Qt::AlignLeft | Qt::AlignVCenter, caption);
}

void SkinFrame::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    if (m_keyboardMove)
        endKeyboardMove(true);
    if (event->button() != Qt::LeftButton || !titleRect().contains(event->position().toPoint()))
        return;
    // The window manager moves the window where it can; elsewhere the frame follows the mouse.
    if (QWindow *handle = m_window->windowHandle(); handle && handle->startSystemMove())
        return;
    m_dragging = true;
    m_dragOffset = event->globalPosition().toPoint() - m_window->pos();
}

void SkinFrame::mouseMoveEvent(QMouseEvent *event)
{
    event->accept();
    if (m_dragging)
        m_window->move(event->globalPosition().toPoint() - m_dragOffset);
}

void SkinFrame::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
}

void SkinFrame::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The windows drawn here cannot be maximised: a double-click on the title does nothing.
    event->accept();
}

void SkinFrame::contextMenuEvent(QContextMenuEvent *event)
{
    // The frame is not part of the window's client area: its menu is the system menu.
    event->accept();
    if (titleRect().contains(event->pos()))
        showSystemMenu(event->globalPos());
}

void SkinFrame::keyPressEvent(QKeyEvent *event)
{
    if (!m_keyboardMove) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    switch (event->key()) {
    case Qt::Key_Left:
        m_window->move(m_window->pos() + QPoint(-kKeyboardMoveStep, 0));
        break;
    case Qt::Key_Right:
        m_window->move(m_window->pos() + QPoint(kKeyboardMoveStep, 0));
        break;
    case Qt::Key_Up:
        m_window->move(m_window->pos() + QPoint(0, -kKeyboardMoveStep));
        break;
    case Qt::Key_Down:
        m_window->move(m_window->pos() + QPoint(0, kKeyboardMoveStep));
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        endKeyboardMove(true);
        break;
    case Qt::Key_Escape:
        endKeyboardMove(false);
        break;
    default:
        break;
    }
}

void SkinFrame::showSystemMenu(const QPoint &globalPos)
{
    if (!m_systemMenu) {
        // A child of the frame, so that the window's style sheet reaches it.
        m_systemMenu = new QMenu(this);
        m_systemMenu->setObjectName(QStringLiteral("SkinSystemMenu"));
    }
    m_systemMenu->clear();
    // The window system's own words, as on the system menus of other windows.
    QAction *restore = m_systemMenu->addAction(QStringLiteral("Restore"));
    restore->setEnabled(m_window->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized));
    connect(restore, &QAction::triggered, m_window, &QWidget::showNormal);
    QAction *move = m_systemMenu->addAction(QStringLiteral("Move"));
    connect(move, &QAction::triggered, this, &SkinFrame::startKeyboardMove);
    if (!m_minimizeButton->isHidden()) {
        QAction *minimize = m_systemMenu->addAction(QStringLiteral("Minimize"));
        connect(minimize, &QAction::triggered, m_window, &QWidget::showMinimized);
    }
    m_systemMenu->addSeparator();
    QAction *close = m_systemMenu->addAction(QStringLiteral("Close\tAlt+F4"));
    connect(close, &QAction::triggered, m_window, &QWidget::close);
    m_systemMenu->setDefaultAction(close);
    m_systemMenu->popup(globalPos);
}

void SkinFrame::startKeyboardMove()
{
    m_keyboardMove = true;
    m_moveStart = m_window->pos();
    grabKeyboard();
}

void SkinFrame::endKeyboardMove(bool keep)
{
    releaseKeyboard();
    m_keyboardMove = false;
    if (!keep)
        m_window->move(m_moveStart);
}

} // namespace somnara
