// The keyboard and the context menus of the main window: where the focus starts, the order Tab
// follows, and which menu a request for a context menu opens over each control.
#include "page_control.h"
#include "window_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTest>

namespace {

enum class Opened { PopupAtPointer, PopupAtOwner, EditMenu };

QString nameOf(const QWidget *widget)
{
    for (; widget; widget = widget->parentWidget()) {
        if (!widget->objectName().isEmpty() && !widget->objectName().startsWith(QLatin1String("qt_")))
            return widget->objectName();
    }
    return {};
}

} // namespace

Q_DECLARE_METATYPE(Opened)

class MainWindowKeyboardTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowFixture> fixture;
    std::unique_ptr<TMain> window;

    QWidget *control(const QString &name) const
    {
        return name == QLatin1String("Main") ? window.get() : window->findChild<QWidget *>(name);
    }

    void closePopups()
    {
        while (QWidget *popup = QApplication::activePopupWidget())
            popup->close();
    }

private slots:
    void init()
    {
        fixture = std::make_unique<WindowFixture>();
        window = fixture->makeWindow();
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }

    void cleanup()
    {
        closePopups();
        window.reset();
        fixture.reset();
    }

    void focusStartsOnTheTab()
    {
        QTRY_VERIFY(QApplication::focusWidget() != nullptr);
        QCOMPARE(QApplication::focusWidget(), window->PageControl1->tabBar());
        QVERIFY(window->PageControl1->hasFocus());
    }

    void tabCyclesThroughTheFocusChain_data()
    {
        QTest::addColumn<bool>("backwards");
        QTest::addColumn<QStringList>("order");
        const QStringList forward{"Edit1", "Button1", "DBMemo1", "CheckBox1", "PageControl1", "Edit1"};
        QStringList backward{"CheckBox1", "DBMemo1", "Button1", "Edit1", "PageControl1", "CheckBox1"};
        QTest::newRow("Tab") << false << forward;
        QTest::newRow("Shift+Tab") << true << backward;
    }

    void tabCyclesThroughTheFocusChain()
    {
        QFETCH(bool, backwards);
        QFETCH(QStringList, order);
        QTRY_COMPARE(nameOf(QApplication::focusWidget()), QStringLiteral("PageControl1"));
        for (const QString &expected : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab,
                            backwards ? Qt::ShiftModifier : Qt::NoModifier);
            QCOMPARE(nameOf(QApplication::focusWidget()), expected);
        }
    }

    void keyboardEntrySelectsTheWholeKeyword_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<bool>("backwards");
        QTest::newRow("Tab from the tab") << "PageControl1" << false;
        QTest::newRow("Shift+Tab from the button") << "Button1" << true;
    }

    void keyboardEntrySelectsTheWholeKeyword()
    {
        QFETCH(QString, from);
        QFETCH(bool, backwards);
        window->Edit1->setText(QStringLiteral("梦见猫"));
        window->Edit1->deselect();
        control(from)->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab,
                        backwards ? Qt::ShiftModifier : Qt::NoModifier);
        QCOMPARE(QApplication::focusWidget(), window->Edit1);
        QCOMPARE(window->Edit1->selectedText(), QStringLiteral("梦见猫"));
    }

    void enterAndEscapeReachOnlyTheFocusedControl()
    {
        // No default or cancel button: Esc leaves the window open, Enter on the check box
        // does not tick it, and the button is no default button.
        window->CheckBox1->setFocus();
        QTest::keyClick(window->CheckBox1, Qt::Key_Escape);
        QTest::keyClick(window->CheckBox1, Qt::Key_Return);
        QVERIFY(window->isVisible());
        QVERIFY(!window->CheckBox1->isChecked());
        QVERIFY(!window->Button1->isDefault() && !window->Button1->autoDefault());
    }

    void contextMenuRequest_data()
    {
        QTest::addColumn<QString>("under");    // the control the request reaches first
        QTest::addColumn<bool>("fromKeyboard");
        QTest::addColumn<Opened>("opened");
        QTest::addColumn<QString>("owner");    // whose corner a keyboard request uses

        const auto mouse = [](const char *tag, const char *under, Opened opened) {
            QTest::newRow(tag) << QString::fromLatin1(under) << false << opened << QString();
        };
        mouse("mouse over the tab", "PageControl1", Opened::PopupAtPointer);
        mouse("mouse over the tab page", "TabSheet1", Opened::PopupAtPointer);
        mouse("mouse over the group box", "GroupBox1", Opened::PopupAtPointer);
        mouse("mouse over the prompt", "Label1", Opened::PopupAtPointer);
        mouse("mouse over the button", "Button1", Opened::PopupAtPointer);
        mouse("mouse over the result panel", "Panel1", Opened::PopupAtPointer);
        mouse("mouse over the result caption", "Label3", Opened::PopupAtPointer);
        mouse("mouse over the check box", "CheckBox1", Opened::PopupAtPointer);
        mouse("mouse over the footer", "Panel2", Opened::PopupAtPointer);
        mouse("mouse over the site link", "Label2", Opened::PopupAtPointer);
        mouse("mouse over the contact link", "Label4", Opened::PopupAtPointer);
        mouse("mouse over the window", "Main", Opened::PopupAtPointer);
        mouse("mouse over the keyword box", "Edit1", Opened::EditMenu);
        mouse("mouse over the memo", "DBMemo1", Opened::EditMenu);

        QTest::newRow("keyboard on the tab") << "PageControl1" << true << Opened::PopupAtOwner << "PageControl1";
        QTest::newRow("keyboard on the button") << "Button1" << true << Opened::PopupAtOwner << "Button1";
        // The check box names no menu; the page control above it does.
        QTest::newRow("keyboard on the check box") << "CheckBox1" << true << Opened::PopupAtOwner << "PageControl1";
        QTest::newRow("keyboard in the keyword box") << "Edit1" << true << Opened::EditMenu << "";
        QTest::newRow("keyboard in the memo") << "DBMemo1" << true << Opened::EditMenu << "";
    }

    void contextMenuRequest()
    {
        QFETCH(QString, under);
        QFETCH(bool, fromKeyboard);
        QFETCH(Opened, opened);
        QFETCH(QString, owner);

        QWidget *target = control(under);
        QVERIFY(target);
        QPoint at;
        if (fromKeyboard) {
            // As the platform sends it: to the focused widget, at its text cursor if any.
            target->setFocus(Qt::OtherFocusReason);
            target = QApplication::focusWidget();
            at = target->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
        } else {
            // As the platform sends it: to the innermost widget under the pointer.
            if (auto *tabs = qobject_cast<QTabWidget *>(target))
                target = tabs->tabBar();
            else if (auto *memo = qobject_cast<QPlainTextEdit *>(target))
                target = memo->viewport();
            at = QPoint(3, 3);
        }
        const QPoint global = target->mapToGlobal(at);
        QContextMenuEvent request(fromKeyboard ? QContextMenuEvent::Keyboard : QContextMenuEvent::Mouse,
                                  at, global);
        QApplication::sendEvent(target, &request);

        QTRY_VERIFY(QApplication::activePopupWidget() != nullptr);
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        switch (opened) {
        case Opened::PopupAtPointer:
            QCOMPARE(menu, window->PopupMenu1);
            QCOMPARE(menu->pos(), global);
            break;
        case Opened::PopupAtOwner:
            QCOMPARE(menu, window->PopupMenu1);
            QCOMPARE(menu->pos(), control(owner)->mapToGlobal(QPoint(0, 0)));
            break;
        case Opened::EditMenu:
            QVERIFY(menu != window->PopupMenu1);
            QVERIFY(!window->PopupMenu1->isVisible());
            QVERIFY(!menu->actions().isEmpty());
            break;
        }
    }

    void shiftF10AsksTheFocusedControl_data()
    {
        QTest::addColumn<QString>("focused");
        QTest::addColumn<bool>("popupMenu");
        QTest::newRow("button") << "Button1" << true;
        QTest::newRow("keyword box") << "Edit1" << false;
    }

    void shiftF10AsksTheFocusedControl()
    {
        QFETCH(QString, focused);
        QFETCH(bool, popupMenu);
        control(focused)->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F10, Qt::ShiftModifier);
        QTRY_VERIFY(QApplication::activePopupWidget() != nullptr);
        QCOMPARE(QApplication::activePopupWidget() == window->PopupMenu1, popupMenu);
        if (popupMenu)
            QCOMPARE(window->PopupMenu1->pos(), control(focused)->mapToGlobal(QPoint(0, 0)));
    }
};

QTEST_MAIN(MainWindowKeyboardTest)
#include "main_window_keyboard_test.moc"
