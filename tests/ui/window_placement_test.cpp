// Where a window first appears: centred on the primary screen, clamped to its top-left corner
// when the screen is the smaller, and only the first time it is shown.
#include "window_fixture.h"
#include "window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

using somnara::centredPosition;

class WindowPlacementTest : public QObject
{
    Q_OBJECT

private slots:
    void centredPositionFormula_data()
    {
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QSize>("outer");
        QTest::addColumn<QPoint>("expected");

        const QSize window(401, 355);
        QTest::newRow("larger screen") << QRect(0, 0, 1024, 768) << window << QPoint(311, 206);
        QTest::newRow("remainders dropped") << QRect(0, 0, 1025, 769) << QSize(400, 354) << QPoint(312, 207);
        QTest::newRow("exact fit") << QRect(0, 0, 401, 355) << window << QPoint(0, 0);
        QTest::newRow("one pixel short") << QRect(0, 0, 400, 354) << window << QPoint(0, 0);
        QTest::newRow("smaller both ways") << QRect(0, 0, 320, 240) << window << QPoint(0, 0);
        QTest::newRow("narrower only") << QRect(0, 0, 320, 1000) << window << QPoint(0, 322);
        QTest::newRow("lower only") << QRect(0, 0, 1000, 300) << window << QPoint(299, 0);
        QTest::newRow("screen right of another") << QRect(1920, 0, 1280, 1024) << window << QPoint(2359, 334);
        QTest::newRow("smaller screen away from the origin") << QRect(100, 50, 320, 240) << window << QPoint(100, 50);
    }

    void centredPositionFormula()
    {
        QFETCH(QRect, screen);
        QFETCH(QSize, outer);
        QFETCH(QPoint, expected);
        QCOMPARE(somnara::centredPosition(screen, outer), expected);
    }

    void centresOnlyOnTheFirstShowing()
    {
        QWidget window;
        window.setFixedSize(200, 120);
        somnara::centreOnFirstShow(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(window.frameGeometry().topLeft(), centredPosition(screen, window.frameGeometry().size()));

        // Wherever the user puts it, it stays: hiding, minimising and restoring keep it there.
        const QPoint moved = screen.topLeft() + QPoint(7, 9);
        window.move(moved);
        window.hide();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.pos(), moved);
        window.showMinimized();
        window.showNormal();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.pos(), moved);
    }

    void mainWindowFirstShowing()
    {
        // Run once on the default screen and once on a screen smaller than the window.
        WindowFixture fixture;
        auto window = fixture.makeWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const QRect frame = window->frameGeometry();
        if (screen.width() < frame.width() && screen.height() < frame.height())
            QCOMPARE(frame.topLeft(), screen.topLeft());
        else
            QCOMPARE(frame.topLeft(), centredPosition(screen, frame.size()));
        QCOMPARE(window->contentsRect().size(), QSize(393, 323)); // moved, not resized
    }
};

QTEST_MAIN(WindowPlacementTest)
#include "window_placement_test.moc"
