#include "skin_engine.h"

#include "skin_frame.h"
#include "skin_store.h"
#include "window_placement.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QVariant>
#include <QWidget>

#include <algorithm>

namespace somnara {

namespace {

constexpr int kPassDelayMs = 250;

// Every live engine, so that a window drawn by one is left to it by the others.
QList<const SkinData *> &engines()
{
    static QList<const SkinData *> list;
    return list;
}

} // namespace

SkinData::SkinData(QWidget *owner) : QObject(owner), m_owner(owner)
{
    m_passTimer.setSingleShot(true);
    m_passTimer.setInterval(kPassDelayMs);
    connect(&m_passTimer, &QTimer::timeout, this, &SkinData::reapply);
    engines().append(this);
    qApp->installEventFilter(this);
}

SkinData::~SkinData()
{
    // The windows keep the look they have: the owner is going away with the engine, and any
    // other window is about to close with the program.
    engines().removeAll(this);
}

void SkinData::setActive(bool active)
{
    m_active = active;
    if (m_active && m_owner && wants(m_owner) && !draws(m_owner))
        claim(m_owner);
    const auto windows = m_windows;
    for (const QPointer<QWidget> &window : windows) {
        if (window)
            apply(window);
    }
}

void SkinData::readStartData(const QByteArray &data)
{
    m_data = data;
    readSkin();
    if (!isReady())
        m_active = false;
    // Management starts with the owner; other windows are claimed as they appear.
    if (m_active && m_owner && wants(m_owner) && !draws(m_owner))
        claim(m_owner);
}

void SkinData::LoadFromStore(const SkinStore &store, int index)
{
    if (index < 0 || index >= store.count())
        return;
    m_skin.reset();
    m_data = store.item(index).data;
    readSkin();
    if (m_formType == SkinFormType::MainForm)
        m_passTimer.start();
}

QString SkinData::skinName() const
{
    return m_skin ? m_skin->name() : QString();
}

bool SkinData::draws(const QWidget *window) const
{
    return window && std::any_of(m_windows.cbegin(), m_windows.cend(),
                                 [window](const QPointer<QWidget> &drawn) { return drawn == window; });
}

bool SkinData::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::Polish && type != QEvent::Show && type != QEvent::WindowActivate)
        return false;
    if (!watched->isWidgetType())
        return false;
    auto *window = static_cast<QWidget *>(watched);
    if (!window->isWindow())
        return false;
    if (!draws(window)) {
        if (!wants(window))
            return false;
        claim(window);
    }

    // A dialog places itself while it handles its show event, from guesses about the frames
    // of other windows, and the window manager may place it again. Let it finish, then put
    // the dressed dialog in the middle of the screen, and say so to the window manager.
    if (type == QEvent::Show && !event->spontaneous() && window != m_showing
        && qobject_cast<QDialog *>(window) && !window->parentWidget()
        && !window->testAttribute(Qt::WA_Moved) && SkinFrame::of(window)) {
        m_showing = window;
        static_cast<QObject *>(window)->event(event);
        m_showing = nullptr;
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            window->move(centredPosition(screen->availableGeometry(), window->frameGeometry().size()));
        window->setAttribute(Qt::WA_Moved);
        return true;
    }
    return false;
}

bool SkinData::wants(QWidget *window) const
{
    const Qt::WindowType type = window->windowType();
    if (type != Qt::Window && type != Qt::Dialog)
        return false;
    // A window that chose to have no frame draws itself.
    if (window->windowFlags().testFlag(Qt::FramelessWindowHint))
        return false;
    const int tag = window->property("tag").toInt();
    if (tag == 99 || tag % 100 == m_disableTag)
        return false;
    for (const SkinData *engine : engines()) {
        if (engine != this && engine->draws(window))
            return false;
    }
    switch (m_formType) {
    case SkinFormType::MainForm:
        return true;
    case SkinFormType::OnlyThisForm:
        return window == m_owner;
    case SkinFormType::Dialog:
        return qobject_cast<QDialog *>(window) != nullptr;
    }
    return false;
}

void SkinData::claim(QWidget *window)
{
    m_windows.append(window);
    apply(window);
}

void SkinData::apply(QWidget *window)
{
    if (m_active && m_skin)
        SkinFrame::dress(window, m_skin, m_skin->styleSheet(m_controls));
    else
        SkinFrame::undress(window);
}

void SkinData::reapply()
{
    m_windows.removeIf([](const QPointer<QWidget> &window) { return window.isNull(); });
    const auto windows = m_windows;
    for (const QPointer<QWidget> &window : windows) {
        if (window)
            apply(window);
    }
    emit skinChanged();
}

void SkinData::readSkin()
{
    if (auto skin = Skin::parse(m_data))
        m_skin = std::make_shared<const Skin>(std::move(*skin));
    else
        m_skin.reset();
}

} // namespace somnara
