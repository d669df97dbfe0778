#pragma once

#include <QMargins>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

class QAbstractButton;
class QMenu;
class QWindow;

namespace somnara {

class Skin;

// The frame and title bar a skin draws around one window. The window itself goes frameless;
// this widget covers its edges (the client area is masked out), paints frame and caption,
// and holds the title-bar buttons. The client area keeps its size: the window grows by the
// frame instead.
class SkinFrame : public QWidget
{
    Q_OBJECT

public:
    // Draws `window` in `skin`, its controls styled by `styleSheet`. A window already dressed
    // takes the new skin in place.
    static void dress(QWidget *window, std::shared_ptr<const Skin> skin, const QString &styleSheet);
    // Gives the window back its own frame, style sheet and size.
    static void undress(QWidget *window);
    static SkinFrame *of(const QWidget *window);

    QMargins frameMargins() const;
    QRect titleRect() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    explicit SkinFrame(QWidget *window);

    void setSkin(std::shared_ptr<const Skin> skin, const QString &styleSheet);
    void release();
    void placeParts();
    void watchNativeWindow();
    void confirmPosition();
    void showSystemMenu(const QPoint &globalPos);
    void startKeyboardMove();
    void endKeyboardMove(bool keep);
    void paintTitle(QPainter &painter, bool active);

    QWidget *m_window;
    QPointer<QWindow> m_handle;
    std::shared_ptr<const Skin> m_skin;
    QString m_ownStyleSheet;
    QMargins m_ownMargins;
    QAbstractButton *m_systemButton = nullptr;
    QAbstractButton *m_minimizeButton = nullptr;
    QAbstractButton *m_closeButton = nullptr;
    QMenu *m_systemMenu = nullptr;
    bool m_dragging = false;
    QPoint m_dragOffset;
    bool m_keyboardMove = false;
    bool m_positionCheckQueued = false;
    QPoint m_moveStart;
};

} // namespace somnara
