#pragma once

#include "skin.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>

class QWidget;

namespace somnara {

class SkinStore;

// Which windows an engine draws.
enum class SkinFormType {
    MainForm,     // every top-level window of the application that no other engine draws
    OnlyThisForm, // only the window that owns the engine
    Dialog,       // only dialogs and message boxes
};

// The skin engine: it draws the windows it claims from its current skin, with a frame and
// title bar of its own, and switches skins on request. A window activated while the skin
// cannot be drawn stays plain.
class SkinData : public QObject
{
    Q_OBJECT

public:
    // The engine belongs to `owner`, the window it was created in.
    explicit SkinData(QWidget *owner);
    ~SkinData() override;

    bool active() const { return m_active; }
    // Turning the engine on takes effect only with a readable skin.
    void setActive(bool active);
    // A window whose "tag" property, modulo 100, equals this value keeps the plain look; so
    // does a window tagged 99.
    int disableTag() const { return m_disableTag; }
    void setDisableTag(int tag) { m_disableTag = tag; }
    SkinControls skinControls() const { return m_controls; }
    void setSkinControls(SkinControls controls) { m_controls = controls; }
    SkinFormType skinFormType() const { return m_formType; }
    void setSkinFormType(SkinFormType type) { m_formType = type; }

    // Takes the start skin and reads it at once. Unreadable data turns the engine off.
    void readStartData(const QByteArray &data);

    // Switches to the store's item `index`; an index outside the store changes nothing. The
    // windows already drawn take the new skin in one pass a moment later.
    void LoadFromStore(const SkinStore &store, int index);

    bool isReady() const { return m_skin != nullptr; }
    QByteArray skinData() const { return m_data; }
    QString skinName() const;
    bool draws(const QWidget *window) const;

    // The timer of the re-application pass, for those who need to know when it runs.
    const QTimer &passTimer() const { return m_passTimer; }

signals:
    // A changed skin has been applied to every window the engine draws.
    void skinChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool wants(QWidget *window) const;
    void claim(QWidget *window);
    void apply(QWidget *window);
    void reapply();
    void readSkin();

    QWidget *m_owner;
    bool m_active = true;
    int m_disableTag = 99;
    SkinControls m_controls = defaultSkinControls();
    SkinFormType m_formType = SkinFormType::MainForm;

    QByteArray m_data;
    std::shared_ptr<const Skin> m_skin;
    QList<QPointer<QWidget>> m_windows;
    QTimer m_passTimer;
    QWidget *m_showing = nullptr;
};

} // namespace somnara
