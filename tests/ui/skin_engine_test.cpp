// The skin engine at work on real windows: the main window's start skin, switching skins,
// the drawn frame and title bar, message boxes, and skins it cannot read.
#include "application.h"
#include "db_memo.h"
#include "error_box.h"
#include "fonts.h"
#include "link_label.h"
#include "page_control.h"
#include "skin.h"
#include "skin_engine.h"
#include "skin_frame.h"
#include "skin_store.h"
#include "tmain.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <functional>

using namespace somnara;

namespace {

const QStringList kControls{"PageControl1", "TabSheet1", "GroupBox1", "Label1",  "Edit1",
                            "Button1",      "Panel1",    "Label3",    "DBMemo1", "CheckBox1",
                            "Panel2",       "Label2",    "Label4"};

bool waitForPass(SkinData *engine)
{
    QSignalSpy changed(engine, &SkinData::skinChanged);
    return changed.wait(5000);
}

// Where each control sits relative to the window's client area.
QMap<QString, QRect> placesOf(TMain &window)
{
    QMap<QString, QRect> places;
    const QPoint client = window.contentsRect().topLeft();
    for (const QString &name : kControls) {
        auto *control = window.findChild<QWidget *>(name);
        if (!control)
            continue;
        places.insert(name, QRect(control->mapTo(&window, QPoint(0, 0)) - client, control->size()));
    }
    return places;
}

double luminance(QRgb pixel)
{
    auto channel = [](int value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(pixel)) + 0.7152 * channel(qGreen(pixel)) + 0.0722 * channel(qBlue(pixel));
}

double contrast(QRgb a, QRgb b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The commonest colour of a piece of the screen is its background; the pixel that stands out
// most from it is the text's own colour at a glyph's heart.
double textContrast(const QImage &picture)
{
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y)];
    }
    QRgb background = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            most = it.value();
            background = it.key();
        }
    }
    double best = 1.0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        best = std::max(best, contrast(it.key(), background));
    return best;
}

int pixelsLike(const QImage &picture, const std::function<bool(QColor)> &test)
{
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            count += test(QColor(image.pixel(x, y))) ? 1 : 0;
    }
    return count;
}

QImage grabbed(QWidget *widget, const QRect &area = QRect())
{
    return widget->grab(area.isNull() ? widget->rect() : area).toImage();
}

// A piece of a widget as its window shows it, over whatever lies beneath it.
QImage onScreen(QWidget *widget, const QRect &area = QRect())
{
    const QRect piece = area.isNull() ? widget->rect() : area;
    QWidget *window = widget->window();
    return window->grab(QRect(widget->mapTo(window, piece.topLeft()), piece.size())).toImage();
}

// Runs `check` on the first modal box that opens; `check` closes it as a user would.
void inspectNextBox(std::function<void(QMessageBox *)> check)
{
    QTimer::singleShot(0, [check] {
        QTRY_VERIFY(qobject_cast<QMessageBox *>(QApplication::activeModalWidget()));
        QPointer<QMessageBox> box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        check(box);
        // A failed check returns early and leaves the box open: close it, so the test reports.
        if (box && box->isVisible())
            box->reject();
    });
}

QAbstractButton *titleButton(QWidget *window, const char *name)
{
    SkinFrame *frame = SkinFrame::of(window);
    return frame ? frame->findChild<QAbstractButton *>(QLatin1StringView(name)) : nullptr;
}

bool looksPlain(QWidget *window)
{
    return !SkinFrame::of(window) && !window->windowFlags().testFlag(Qt::FramelessWindowHint)
        && window->contentsMargins().isNull() && window->styleSheet().isEmpty();
}

} // namespace

class SkinEngineTest : public QObject
{
    Q_OBJECT

private:
    QStringList errors;
    SkinStore store = SkinStore::builtIn();

private slots:
    void initTestCase()
    {
        ErrorBox::setPresenter([this](const QString &text) { errors << text; });
    }

    void cleanupTestCase() { ErrorBox::setPresenter(nullptr); }

    void init()
    {
        // Each window takes the single-copy marker of the title for the life of the process.
        static int window = 0;
        Application::setTitle(QStringLiteral("Somnara大全-skins-%1-%2")
                                  .arg(QCoreApplication::applicationPid())
                                  .arg(++window));
    }

    void windowStartsInTheDefaultSkinFromItsOwnCopy()
    {
        TMain window;
        QVERIFY(window.SD->isReady());
        QVERIFY(window.SD->active());
        QCOMPARE(window.SD->skinName(), QStringLiteral("默认"));
        QCOMPARE(window.SD->skinData(), window.ss->item(2).data);
        QCOMPARE(window.SD->skinFormType(), SkinFormType::MainForm);
        QCOMPARE(window.SD->disableTag(), 99);
        QCOMPARE(window.SD->skinControls(), defaultSkinControls());
        QVERIFY(window.SD->draws(&window));
        QVERIFY(SkinFrame::of(&window));
        QVERIFY(window.windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(!window.SD->passTimer().isActive());
    }

    void switchingSkins_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("name");
        QTest::newRow("below the store") << -1 << QString();
        QTest::newRow("0 is 金属灰") << 0 << QStringLiteral("金属灰");
        QTest::newRow("1 is 飘零") << 1 << QStringLiteral("飘零");
        QTest::newRow("2 is 默认 again") << 2 << QStringLiteral("默认");
        QTest::newRow("3 is 燃尽天") << 3 << QStringLiteral("燃尽天");
        QTest::newRow("the count itself") << 4 << QString();
        QTest::newRow("far beyond") << 100 << QString();
    }

    void switchingSkins()
    {
        QFETCH(int, index);
        QFETCH(QString, name);
        TMain window;
        const QImage before = grabbed(&window);
        const QSize outerBefore = window.size();

        window.SD->LoadFromStore(*window.ss, index);

        if (name.isEmpty()) {
            // Nothing changes and no pass is scheduled.
            QVERIFY(!window.SD->passTimer().isActive());
            QCOMPARE(window.SD->skinData(), window.ss->item(2).data);
            QCOMPARE(window.SD->skinName(), QStringLiteral("默认"));
            QCOMPARE(grabbed(&window), before);
            return;
        }
        // The engine holds and reads the new skin at once...
        QCOMPARE(window.SD->skinData(), window.ss->item(index).data);
        QVERIFY(window.SD->isReady());
        QCOMPARE(window.SD->skinName(), name);
        // ...but the windows show it only when the pass runs, a quarter of a second later.
        QVERIFY(window.SD->passTimer().isActive());
        QCOMPARE(window.SD->passTimer().interval(), 250);
        QVERIFY(window.SD->passTimer().isSingleShot());
        QCOMPARE(grabbed(&window), before);
        QCOMPARE(window.size(), outerBefore);

        QVERIFY(waitForPass(window.SD));
        QCOMPARE(window.contentsRect().size(), QSize(393, 323));
        QCOMPARE(grabbed(&window) == before, index == 2);
        // The item keeps its own bytes.
        QCOMPARE(window.ss->item(index).data, store.item(index).data);
    }

    void handlersLoadTheirSkins_data()
    {
        QTest::addColumn<QString>("handler");
        QTest::addColumn<int>("index");
        QTest::newRow("N21 默认") << "N21Click" << 2;
        QTest::newRow("N11 飘零") << "N11Click" << 1;
        QTest::newRow("N31 燃尽天") << "N31Click" << 3;
        QTest::newRow("N41 金属灰") << "N41Click" << 0;
    }

    void handlersLoadTheirSkins()
    {
        QFETCH(QString, handler);
        QFETCH(int, index);
        TMain window;
        const QMap<QString, void (TMain::*)()> handlers{{"N21Click", &TMain::N21Click},
                                                       {"N11Click", &TMain::N11Click},
                                                       {"N31Click", &TMain::N31Click},
                                                       {"N41Click", &TMain::N41Click}};
        (window.*handlers.value(handler))();
        QCOMPARE(window.SD->skinData(), window.ss->item(index).data);
        QVERIFY(waitForPass(window.SD));
    }

    void quickSwitchesMakeOnePass()
    {
        TMain window;
        QSignalSpy changed(window.SD, &SkinData::skinChanged);
        window.SD->LoadFromStore(*window.ss, 1);
        window.SD->LoadFromStore(*window.ss, 3);
        QVERIFY(changed.wait(5000));
        QVERIFY(!window.SD->passTimer().isActive());
        QCOMPARE(changed.size(), 1);
        QCOMPARE(window.SD->skinName(), QStringLiteral("燃尽天"));
    }

    void fourSkinsLookDifferentAndKeepEveryControlInPlace()
    {
        TMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.SD->setActive(false);
        QVERIFY(looksPlain(&window));
        const QMap<QString, QRect> plain = placesOf(window);
        QCOMPARE(plain.size(), kControls.size());
        window.SD->setActive(true);

        QList<QImage> windows;
        QList<QImage> menus;
        for (int index = 0; index < store.count(); ++index) {
            window.SD->LoadFromStore(*window.ss, index);
            QVERIFY(waitForPass(window.SD));
            QCOMPARE(window.contentsRect().size(), QSize(393, 323));
            QCOMPARE(placesOf(window), plain);
            QCOMPARE(placesOf(window).value("PageControl1"), QRect(0, 0, 393, 297));
            QCOMPARE(placesOf(window).value("Panel2"), QRect(0, 297, 393, 26));
            windows << grabbed(&window);
            window.PopupMenu1->adjustSize();
            menus << grabbed(window.PopupMenu1);
        }
        for (int a = 0; a < windows.size(); ++a) {
            for (int b = a + 1; b < windows.size(); ++b) {
                QVERIFY2(windows.at(a) != windows.at(b), qPrintable(QStringLiteral("%1 = %2").arg(a).arg(b)));
                QVERIFY2(menus.at(a) != menus.at(b), qPrintable(QStringLiteral("menu %1 = %2").arg(a).arg(b)));
            }
        }
    }

    void everySkin_data()
    {
        QTest::addColumn<int>("index");
        for (int index = 0; index < store.count(); ++index)
            QTest::newRow(qPrintable(Skin::parse(store.item(index).data)->name())) << index;
    }

    void controlsKeepTheirFontsAndLabelsTheirColours_data() { everySkin_data(); }

    void controlsKeepTheirFontsAndLabelsTheirColours()
    {
        QFETCH(int, index);
        TMain window;
        window.SD->LoadFromStore(*window.ss, index);
        QVERIFY(waitForPass(window.SD));
        for (QWidget *control : {static_cast<QWidget *>(window.PageControl1), window.TabSheet1,
                                 static_cast<QWidget *>(window.GroupBox1),
                                 static_cast<QWidget *>(window.Panel1),
                                 static_cast<QWidget *>(window.Panel2)}) {
            QCOMPARE(control->font().family(), windowFont().family());
            QCOMPARE(control->font().pixelSize(), windowFont().pixelSize());
        }
        for (QLabel *label : {window.Label1, window.Label3})
            QCOMPARE(label->font(), bodyFont());
        for (QLabel *link : {static_cast<QLabel *>(window.Label2), static_cast<QLabel *>(window.Label4)}) {
            QCOMPARE(link->font(), linkFont());
            QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
            const int blue = pixelsLike(onScreen(link), [](QColor c) {
                return c.red() < 40 && c.green() < 40 && c.blue() > 215;
            });
            QVERIFY2(blue > 20, qPrintable(link->objectName()));
        }
    }

    void textIsLegibleInEverySkin_data() { everySkin_data(); }

    void textIsLegibleInEverySkin()
    {
        QFETCH(int, index);
        TMain window;
        window.DBMemo1->setPlainText(QStringLiteral("梦见父母"));
        window.SD->LoadFromStore(*window.ss, index);
        QVERIFY(waitForPass(window.SD));

        QTabBar *tabs = window.PageControl1->tabBar();
        // Right of the tab's picture, which is not text.
        const QRect tabCaption = tabs->tabRect(0).adjusted(28, 3, -2, -1);
        SkinFrame *frame = SkinFrame::of(&window);
        QVERIFY(frame);
        const QRect title = frame->titleRect();
        const QRect caption(title.left() + 24, title.top() + 2, 90, title.height() - 4);
        const QList<std::pair<QString, QImage>> pieces{
            {"title", onScreen(frame, caption)},
            {"tab", onScreen(tabs, tabCaption)},
            {"Label1", onScreen(window.Label1)},
            {"Label3", onScreen(window.Label3)},
            {"Label2", onScreen(window.Label2)},
            {"Label4", onScreen(window.Label4)},
            {"Edit1", onScreen(window.Edit1, window.Edit1->rect().adjusted(2, 2, -2, -2))},
            {"Button1", onScreen(window.Button1, window.Button1->rect().adjusted(3, 3, -3, -3))},
            {"CheckBox1", onScreen(window.CheckBox1)},
            {"DBMemo1", onScreen(window.DBMemo1->viewport(), QRect(0, 0, 120, 20))},
        };
        for (const auto &[name, image] : pieces) {
            const double ratio = textContrast(image);
            QVERIFY2(ratio >= 4.5, qPrintable(QStringLiteral("%1: %2").arg(name).arg(ratio)));
        }

        window.PopupMenu1->adjustSize();
        const double menu = textContrast(grabbed(window.PopupMenu1));
        QVERIFY2(menu >= 4.5, qPrintable(QString::number(menu)));
    }

    void titleBarHasTheWindowsCommandsAsAccessibleButtons()
    {
        TMain window;
        SkinFrame *frame = SkinFrame::of(&window);
        QVERIFY(frame);
        QAccessibleInterface *bar = QAccessible::queryAccessibleInterface(frame);
        QVERIFY(bar);
        QCOMPARE(bar->role(), QAccessible::TitleBar);
        QCOMPARE(bar->text(QAccessible::Name), QStringLiteral("Somnara大全 2.0"));
        for (const char *name : {"System", "Minimize", "Close"}) {
            QAbstractButton *button = titleButton(&window, name);
            QVERIFY2(button && !button->isHidden(), name);
            // Title buttons stay out of the window's keyboard order.
            QCOMPARE(button->focusPolicy(), Qt::NoFocus);
            QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(button);
            QCOMPARE(accessible->role(), QAccessible::PushButton);
            QCOMPARE(accessible->text(QAccessible::Name), QString::fromLatin1(name));
        }
        QVERIFY(!frame->findChild<QAbstractButton *>(QStringLiteral("Maximize")));
    }

    void titleBarMovesAndMinimisesTheWindow()
    {
        TMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        SkinFrame *frame = SkinFrame::of(&window);
        const QPoint start = window.pos();
        const QPoint grip = frame->titleRect().center();
        QTest::mousePress(frame, Qt::LeftButton, {}, grip);
        QTest::mouseMove(frame, grip + QPoint(30, 20));
        QTest::mouseRelease(frame, Qt::LeftButton, {}, grip + QPoint(30, 20));
        QTRY_COMPARE(window.pos(), start + QPoint(30, 20));

        titleButton(&window, "Minimize")->click();
        QTRY_VERIFY(window.isMinimized());
    }

    void systemMenuOffersTheWindowsCommands()
    {
        TMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        SkinFrame *frame = SkinFrame::of(&window);
        titleButton(&window, "System")->click();
        auto *menu = frame->findChild<QMenu *>(QStringLiteral("SkinSystemMenu"));
        QVERIFY(menu);
        QTRY_VERIFY(menu->isVisible());
        QStringList items;
        for (QAction *action : menu->actions()) {
            if (!action->isSeparator())
                items << action->text() + (action->isEnabled() ? QString() : QStringLiteral(" (off)"));
        }
        QCOMPARE(items, QStringList({"Restore (off)", "Move", "Minimize", "Close\tAlt+F4"}));

        // Move, then the arrow keys, then Enter keeps the new place; Esc would go back.
        const QPoint start = window.pos();
        menu->actions().at(1)->trigger();
        menu->close();
        QTest::keyClick(frame, Qt::Key_Right);
        QTest::keyClick(frame, Qt::Key_Down);
        QTest::keyClick(frame, Qt::Key_Return);
        QCOMPARE(window.pos(), start + QPoint(8, 8));
    }

    void messageBoxIsDrawnAndAnswersAsBefore_data()
    {
        QTest::addColumn<QString>("dismiss");
        QTest::newRow("Enter") << "Enter";
        QTest::newRow("Esc") << "Esc";
        QTest::newRow("close button") << "close";
    }

    void messageBoxIsDrawnAndAnswersAsBefore()
    {
        QFETCH(QString, dismiss);
        TMain window;
        bool inspected = false;
        inspectNextBox([&](QMessageBox *box) {
            QVERIFY(window.SD->draws(box));
            SkinFrame *frame = SkinFrame::of(box);
            QVERIFY(frame);
            QVERIFY(box->windowFlags().testFlag(Qt::FramelessWindowHint));
            QCOMPARE(box->contentsMargins(), frame->frameMargins());
            QCOMPARE(QAccessible::queryAccessibleInterface(frame)->text(QAccessible::Name),
                     QStringLiteral("Somnara大全"));
            // A message box has a close button and no other.
            QVERIFY(titleButton(box, "Close") && !titleButton(box, "Close")->isHidden());
            QVERIFY(titleButton(box, "Minimize")->isHidden());
            QVERIFY(titleButton(box, "System")->isHidden());
            // Text and button stay what they were.
            QCOMPARE(box->text(), QStringLiteral("QQ号码已复制！"));
            QCOMPARE(box->icon(), QMessageBox::NoIcon);
            QCOMPARE(box->buttons().size(), 1);
            QCOMPARE(QAccessible::queryAccessibleInterface(box->buttons().front())->role(),
                     QAccessible::PushButton);
            // Centred on the screen, frame and all.
            const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
            QVERIFY(std::abs(box->frameGeometry().center().x() - screen.center().x()) <= 1);
            QVERIFY(std::abs(box->frameGeometry().center().y() - screen.center().y()) <= 1);
            inspected = true;
            if (dismiss == QLatin1StringView("Enter"))
                QTest::keyClick(box, Qt::Key_Return);
            else if (dismiss == QLatin1StringView("Esc"))
                QTest::keyClick(box, Qt::Key_Escape);
            else
                titleButton(box, "Close")->click();
        });
        Application::messageBox(QStringLiteral("QQ号码已复制！"), QStringLiteral("Somnara大全"));
        QVERIFY(inspected);
        QVERIFY(!QApplication::activeModalWidget());
    }

    void errorBoxKeepsItsRedStopSign_data() { everySkin_data(); }

    void errorBoxKeepsItsRedStopSign()
    {
        QFETCH(int, index);
        TMain window;
        window.SD->LoadFromStore(*window.ss, index);
        QVERIFY(waitForPass(window.SD));
        ErrorBox::setPresenter(nullptr);
        bool inspected = false;
        inspectNextBox([&](QMessageBox *box) {
            QVERIFY(SkinFrame::of(box));
            auto *icon = box->findChild<QLabel *>(QStringLiteral("qt_msgboxex_icon_label"));
            QVERIFY(icon);
            const int red = pixelsLike(onScreen(icon), [](QColor c) {
                return c.red() > 170 && c.green() < 90 && c.blue() < 90;
            });
            QVERIFY2(red > 100, qPrintable(QString::number(red)));
            auto *text = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
            QVERIFY(text);
            const double ratio = textContrast(onScreen(text));
            QVERIFY2(ratio >= 4.5, qPrintable(QString::number(ratio)));
            inspected = true;
            QTest::keyClick(box, Qt::Key_Return);
        });
        ErrorBox::show(QStringLiteral("找不到数据库"));
        ErrorBox::setPresenter([this](const QString &text) { errors << text; });
        QVERIFY(inspected);
    }

    void unreadableSkinLeavesWindowsPlain()
    {
        TMain window;
        QSignalSpy changed(window.SD, &SkinData::skinChanged);
        const SkinStore spoilt({{QStringLiteral("Good"), store.item(1).data},
                                {QStringLiteral("Spoilt"), QByteArray("/* Somnara skin\nname: x\n*/")}});
        window.SD->LoadFromStore(spoilt, 1);
        QVERIFY(!window.SD->isReady());
        QCOMPARE(window.SD->skinData(), spoilt.item(1).data);

        // A box opened now stays plain, as does the main window once the pass has run.
        bool inspected = false;
        inspectNextBox([&](QMessageBox *box) {
            QVERIFY(looksPlain(box));
            inspected = true;
            QTest::keyClick(box, Qt::Key_Return);
        });
        Application::messageBox(QStringLiteral("软件已在运行中！"), QStringLiteral("提示"));
        QVERIFY(inspected);
        // The pass may have run while the box was open.
        QVERIFY(changed.size() == 1 || changed.wait(5000));
        QVERIFY(looksPlain(&window));
        QCOMPARE(window.size(), QSize(393, 323));
        QCOMPARE(window.PageControl1->pos(), QPoint(0, 0));

        // A readable skin draws the windows again.
        window.SD->LoadFromStore(spoilt, 0);
        QVERIFY(waitForPass(window.SD));
        QVERIFY(SkinFrame::of(&window));
        QCOMPARE(window.SD->skinName(), QStringLiteral("飘零"));
        QCOMPARE(placesOf(window).value("PageControl1"), QRect(0, 0, 393, 297));
    }

    void unreadableStartSkinTurnsTheEngineOff()
    {
        QWidget owner;
        auto *engine = new SkinData(&owner);
        engine->readStartData(QByteArray("QWidget { color: red; }"));
        QVERIFY(!engine->isReady());
        QVERIFY(!engine->active());
        QVERIFY(!engine->draws(&owner));
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        QVERIFY(looksPlain(&owner));
    }

    void whichWindowsAnEngineDraws_data()
    {
        QTest::addColumn<int>("formType");
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("tag");
        QTest::addColumn<bool>("drawn");
        const int main = int(SkinFormType::MainForm);
        const int only = int(SkinFormType::OnlyThisForm);
        const int dialogs = int(SkinFormType::Dialog);
        QTest::newRow("main form: its owner") << main << "owner" << 0 << true;
        QTest::newRow("main form: another window") << main << "window" << 0 << true;
        QTest::newRow("main form: a dialog") << main << "dialog" << 0 << true;
        QTest::newRow("main form: tag 42") << main << "window" << 42 << true;
        QTest::newRow("main form: tag 99 stays plain") << main << "window" << 99 << false;
        QTest::newRow("main form: tag 199 is 99 modulo 100") << main << "dialog" << 199 << false;
        QTest::newRow("main form: a popup is no framed window") << main << "popup" << 0 << false;
        QTest::newRow("this form only: its owner") << only << "owner" << 0 << true;
        QTest::newRow("this form only: another window") << only << "window" << 0 << false;
        QTest::newRow("dialogs only: a dialog") << dialogs << "dialog" << 0 << true;
        QTest::newRow("dialogs only: another window") << dialogs << "window" << 0 << false;
    }

    void whichWindowsAnEngineDraws()
    {
        QFETCH(int, formType);
        QFETCH(QString, target);
        QFETCH(int, tag);
        QFETCH(bool, drawn);
        QWidget owner;
        auto *engine = new SkinData(&owner);
        engine->setSkinFormType(SkinFormType(formType));
        engine->readStartData(builtInStartSkin());

        std::unique_ptr<QWidget> other;
        if (target == QLatin1StringView("window"))
            other = std::make_unique<QWidget>();
        else if (target == QLatin1StringView("dialog"))
            other = std::make_unique<QDialog>();
        else if (target == QLatin1StringView("popup"))
            other = std::make_unique<QMenu>();
        QWidget *window = other ? other.get() : &owner;
        window->setProperty("tag", tag);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(engine->draws(window), drawn);
        QCOMPARE(SkinFrame::of(window) != nullptr, drawn);
    }

    void aWindowDrawnByOneEngineIsLeftToIt()
    {
        QWidget firstOwner;
        QWidget secondOwner;
        auto *first = new SkinData(&firstOwner);
        auto *second = new SkinData(&secondOwner);
        first->readStartData(builtInStartSkin());
        second->readStartData(builtInStartSkin());
        QWidget window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(first->draws(&window) != second->draws(&window));
        QVERIFY(SkinFrame::of(&window));
    }
};

QTEST_MAIN(SkinEngineTest)
#include "skin_engine_test.moc"
