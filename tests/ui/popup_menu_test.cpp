// The popup menu: its automatic accelerators and the separator rule, on menus built here and
// on the window's own menu under a Chinese and a non-Chinese locale.
#include "popup_menu.h"
#include "window_fixture.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

using namespace somnara;

namespace {

// A menu from a line of words: "-" a separator, a leading "!" an item the program hid;
// a word after "-" names the separator ("-2").
void build(QMenu &menu, const QString &layout)
{
    for (QString word : layout.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const bool hidden = word.startsWith(QLatin1Char('!'));
        if (hidden)
            word.remove(0, 1);
        QAction *action = word.startsWith(QLatin1Char('-')) ? menu.addSeparator() : menu.addAction(word);
        action->setObjectName(word);
        action->setVisible(!hidden);
    }
}

// What the menu shows, in the same words.
QString shown(const QMenu &menu)
{
    QStringList words;
    for (const QAction *action : menu.actions()) {
        if (action->isVisible())
            words << (action->isSeparator() ? action->objectName() : action->text());
    }
    return words.join(QLatin1Char(' '));
}

} // namespace

class PopupMenuTest : public QObject
{
    Q_OBJECT

    QList<QUrl> opened;

public slots:
    void openUrl(const QUrl &url) { opened << url; }

private slots:
    void initTestCase()
    {
        QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "openUrl");
    }

    void cleanupTestCase()
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    }

    void cleanup() { QLocale::setDefault(QLocale::system()); }

    void acceleratorsOnlyWhereCaptionsAreCjk_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("automatic");
        QTest::newRow("simplified Chinese") << "zh_CN" << true;
        QTest::newRow("traditional Chinese") << "zh_TW" << true;
        QTest::newRow("Japanese") << "ja_JP" << true;
        QTest::newRow("Korean") << "ko_KR" << true;
        QTest::newRow("English") << "en_US" << false;
        QTest::newRow("German") << "de_DE" << false;
        QTest::newRow("Russian") << "ru_RU" << false;
        QTest::newRow("C") << "C" << false;
    }

    void acceleratorsOnlyWhereCaptionsAreCjk()
    {
        QFETCH(QString, locale);
        QFETCH(bool, automatic);
        QCOMPARE(PopupMenu::usesAutomaticAccelerators(QLocale(locale)), automatic);
    }

    void automaticAccelerators_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("expected");

        QTest::newRow("the window's menu: served from the bottom up")
            << "!更换皮肤 -1 官方网站 -2 退出程序" << "-1 官方网站(&Y) -2 退出程序(&Z)";
        QTest::newRow("a letter already taken is skipped")
            << "打开(&Z) 保存 关闭" << "打开(&Z) 保存(&X) 关闭(&Y)";
        QTest::newRow("a taken letter counts in any case")
            << "打开(&z) 关闭" << "打开(&z) 关闭(&Y)";
        QTest::newRow("a caption with a letter is left alone")
            << "关于Qt 退出" << "关于Qt 退出(&Z)";
        QTest::newRow("lower-case letters and digits count too")
            << "help帮助 第1页 退出" << "help帮助 第1页 退出(&Z)";
        QTest::newRow("hidden items neither get nor take a letter")
            << "!隐藏(&Z) 隐藏 退出" << "隐藏(&Y) 退出(&Z)";
        QTest::newRow("a doubled ampersand is no accelerator")
            << "甲&&乙 丙" << "甲&&乙(&Y) 丙(&Z)";
        QTest::newRow("separators are not served") << "甲 -1 乙" << "甲(&Y) -1 乙(&Z)";
    }

    void automaticAccelerators()
    {
        QFETCH(QString, layout);
        QFETCH(QString, expected);
        QMenu menu;
        build(menu, layout);
        PopupMenu::addAutomaticAccelerators(&menu);
        QCOMPARE(shown(menu), expected);
        PopupMenu::addAutomaticAccelerators(&menu); // a later opening changes nothing
        QCOMPARE(shown(menu), expected);
    }

    void acceleratorsRunOutAfterThirtySixItems()
    {
        QMenu menu;
        for (int i = 0; i < 40; ++i)
            menu.addAction(QStringLiteral("项"));
        PopupMenu::addAutomaticAccelerators(&menu);
        const QList<QAction *> items = menu.actions();
        QCOMPARE(items.last()->text(), QStringLiteral("项(&Z)"));
        QCOMPARE(items.at(4)->text(), QStringLiteral("项(&1)"));
        for (int i = 0; i < 4; ++i)
            QCOMPARE(items.at(i)->text(), QStringLiteral("项"));
    }

    void separatorRule_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("expected");

        QTest::newRow("first behind a hidden item") << "!皮肤 -1 官方网站 -2 退出程序" << "官方网站 -2 退出程序";
        QTest::newRow("first") << "-1 甲 -2 乙" << "甲 -2 乙";
        QTest::newRow("last") << "甲 -1 乙 -2" << "甲 -1 乙";
        QTest::newRow("last before a hidden item") << "甲 -1 !乙" << "甲";
        QTest::newRow("doubled: the first goes") << "甲 -1 -2 乙" << "甲 -2 乙";
        QTest::newRow("doubled across a hidden item") << "甲 -1 !乙 -2 丙" << "甲 -2 丙";
        QTest::newRow("tripled") << "甲 -1 -2 -3 乙" << "甲 -3 乙";
        QTest::newRow("only separators") << "-1 -2" << "";
        QTest::newRow("hidden by the program stays hidden") << "甲 !-1 乙" << "甲 乙";
        QTest::newRow("between items all show") << "甲 -1 乙 -2 丙" << "甲 -1 乙 -2 丙";
        QTest::newRow("empty menu") << "" << "";
    }

    void separatorRule()
    {
        QFETCH(QString, layout);
        QFETCH(QString, expected);
        QMenu menu;
        build(menu, layout);
        PopupMenu::hideStraySeparators(&menu);
        QCOMPARE(shown(menu), expected);
        PopupMenu::hideStraySeparators(&menu);
        QCOMPARE(shown(menu), expected);
    }

    void separatorShowsAgainOnceBetweenItems()
    {
        QMenu menu;
        build(menu, QStringLiteral("甲 -1 !乙 !-2 丙"));
        QAction *second = menu.actions().at(2);
        QAction *hiddenSeparator = menu.actions().at(3);
        PopupMenu::hideStraySeparators(&menu);
        QCOMPARE(shown(menu), QStringLiteral("甲 -1 丙"));

        menu.actions().at(4)->setVisible(false);
        PopupMenu::hideStraySeparators(&menu);
        QCOMPARE(shown(menu), QStringLiteral("甲"));

        menu.actions().at(4)->setVisible(true);
        second->setVisible(true);
        PopupMenu::hideStraySeparators(&menu);
        QCOMPARE(shown(menu), QStringLiteral("甲 -1 乙 丙")); // -2 was hidden by the program

        hiddenSeparator->setVisible(true);
        PopupMenu::hideStraySeparators(&menu);
        QCOMPARE(shown(menu), QStringLiteral("甲 -1 乙 -2 丙"));
    }

    void windowMenuOnEachOpening_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("expected");
        QTest::newRow("Chinese") << "zh_CN" << "官方网站(&Y) - 退出程序(&Z)";
        QTest::newRow("Japanese") << "ja_JP" << "官方网站(&Y) - 退出程序(&Z)";
        QTest::newRow("English") << "en_US" << "官方网站 - 退出程序";
        QTest::newRow("C") << "C" << "官方网站 - 退出程序";
    }

    void windowMenuOnEachOpening()
    {
        QFETCH(QString, locale);
        QFETCH(QString, expected);
        QLocale::setDefault(QLocale(locale));
        WindowFixture fixture;
        auto window = fixture.makeWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));

        // Captions get their letters when the menu first opens, not before.
        QCOMPARE(window->N3->text(), QStringLiteral("官方网站"));
        for (int opening = 1; opening <= 3; ++opening) {
            window->PopupMenu1->popup(window->mapToGlobal(QPoint(40, 60)));
            QTRY_VERIFY(window->PopupMenu1->isVisible());
            QStringList words;
            for (const QAction *action : window->PopupMenu1->actions()) {
                if (action->isVisible())
                    words << (action->isSeparator() ? QStringLiteral("-") : action->text());
            }
            QCOMPARE(words.join(QLatin1Char(' ')), expected);
            QVERIFY(!window->N4->menuAction()->isVisible());
            QVERIFY(!window->N5->isVisible() && window->N2->isVisible());
            // The hidden skin submenu is left as it is.
            QCOMPARE(window->N21->text(), QStringLiteral("默认"));
            QCOMPARE(window->N41->text(), QStringLiteral("金属灰"));
            window->PopupMenu1->hide();
            QTRY_VERIFY(!window->PopupMenu1->isVisible());
        }
    }

    void typingAnAcceleratorChoosesItsItem_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("item");
        QTest::newRow("Y: the web site") << int(Qt::Key_Y) << "N3";
        QTest::newRow("Z: exit") << int(Qt::Key_Z) << "N1";
    }

    void typingAnAcceleratorChoosesItsItem()
    {
        QFETCH(int, key);
        QFETCH(QString, item);
        QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
        WindowFixture fixture;
        auto window = fixture.makeWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QSignalSpy siteSpy(window->N3, &QAction::triggered);
        QSignalSpy exitSpy(window->N1, &QAction::triggered);
        opened.clear();

        window->PopupMenu1->popup(window->mapToGlobal(QPoint(40, 60)));
        QTRY_VERIFY(window->PopupMenu1->isVisible());
        QTest::keyClick(window->PopupMenu1, Qt::Key(key));
        QTRY_VERIFY(!window->PopupMenu1->isVisible());

        const bool exit = item == QLatin1String("N1");
        QCOMPARE(exitSpy.count(), exit ? 1 : 0);
        QCOMPARE(siteSpy.count(), exit ? 0 : 1);
        QCOMPARE(opened.size(), exit ? 0 : 1);
        QCOMPARE(window->isVisible(), !exit); // exit closes the window at once
    }

    // Where a right press opens a menu, a second right-click soon after the menu was closed is
    // also a double-click, delivered to the menu that its press has just opened again. Each
    // menu the window can open must stay open through it.
    void menuOpenedByAPressSurvivesTheDoubleClickThatFollows_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<bool>("windowMenu");
        QTest::newRow("window menu, footer") << "Panel2" << true;
        QTest::newRow("window menu, button") << "Button1" << true;
        QTest::newRow("edit menu, keyword box") << "Edit1" << false;
        QTest::newRow("edit menu, memo") << "DBMemo1" << false;
    }

    void menuOpenedByAPressSurvivesTheDoubleClickThatFollows()
    {
        QFETCH(QString, control);
        QFETCH(bool, windowMenu);
        WindowFixture fixture;
        auto window = fixture.makeWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        auto *target = window->findChild<QWidget *>(control);
        QVERIFY(target);
        if (auto *scrollArea = qobject_cast<QAbstractScrollArea *>(target))
            target = scrollArea->viewport();
        const QPoint local = target->rect().center();
        const QPoint global = target->mapToGlobal(local);

        QContextMenuEvent request(QContextMenuEvent::Mouse, local, global);
        QApplication::sendEvent(target, &request);
        QTRY_VERIFY(qobject_cast<QMenu *>(QApplication::activePopupWidget()));
        QMenu *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QCOMPARE(menu == window->PopupMenu1, windowMenu);

        QMouseEvent doubleClick(QEvent::MouseButtonDblClick, menu->mapFromGlobal(global),
                                QPointF(global), Qt::RightButton, Qt::RightButton, Qt::NoModifier);
        QApplication::sendEvent(menu, &doubleClick);
        QVERIFY(menu->isVisible());
        QCOMPARE(QApplication::activePopupWidget(), menu);
        menu->close();
        QTRY_VERIFY(!QApplication::activePopupWidget());
    }
};

QTEST_MAIN(PopupMenuTest)
#include "popup_menu_test.moc"
