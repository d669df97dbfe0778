// The main window as it stands: every control in its place with its font and text, the images,
// the look of the text, and what assistive technology is told.
#include "db_memo.h"
#include "image_list.h"
#include "link_label.h"
#include "maker_links.h"
#include "page_control.h"
#include "svg_icon.h"
#include "window_fixture.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QClipboard>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGlyphRun>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRawFont>
#include <QScrollBar>
#include <QTabBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include <functional>

using namespace somnara;

namespace {

// The control a widget sits in as the window describes it: Qt's own helper widgets (the tab
// widget's page stack) do not count.
QWidget *controlParent(const QWidget *widget)
{
    QWidget *parent = widget->parentWidget();
    while (parent && parent->objectName().startsWith(QLatin1String("qt_")))
        parent = parent->parentWidget();
    return parent;
}

// Geometry in the parent control's client area; the window's client area may be inset by a
// frame of the skin's own.
QRect clientGeometry(const QWidget *widget)
{
    QWidget *parent = controlParent(widget);
    QRect geometry(widget->mapTo(parent, QPoint(0, 0)), widget->size());
    if (parent->isWindow())
        geometry.translate(-parent->contentsRect().topLeft());
    return geometry;
}

QString textOf(const QWidget *widget)
{
    if (auto *label = qobject_cast<const QLabel *>(widget))
        return label->text();
    if (auto *edit = qobject_cast<const QLineEdit *>(widget))
        return edit->text();
    if (auto *button = qobject_cast<const QAbstractButton *>(widget))
        return button->text();
    if (auto *group = qobject_cast<const QGroupBox *>(widget))
        return group->title();
    if (auto *tabs = qobject_cast<const QTabWidget *>(widget))
        return tabs->tabText(0);
    return {};
}

bool isSongFace(const QString &family)
{
    for (const char *style : {"Serif CJK SC", "Song", "Ming", "SimSun"}) {
        if (family.contains(QLatin1String(style), Qt::CaseInsensitive))
            return QFontDatabase::writingSystems(family).contains(QFontDatabase::SimplifiedChinese);
    }
    return false;
}

bool isPlainSans(const QString &family)
{
    return family.contains(QLatin1String("Sans")) && !family.contains(QLatin1String("CJK"))
           && !QFontDatabase::isFixedPitch(family);
}

// Every character of `text` in `font` as Qt draws it: a missing glyph, or a Chinese character
// drawn from a face made for another CJK writing, is a fault.
QStringList drawingFaults(const QFont &font, const QString &text)
{
    QStringList faults;
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    for (const QGlyphRun &run : layout.glyphRuns()) {
        const QString family = run.rawFont().familyName();
        if (run.glyphIndexes().contains(0))
            faults << QStringLiteral("missing glyph in %1 for \"%2\"").arg(family, text);
        for (const char *other : {" JP", " KR", " TC", " HK"}) {
            if (family.endsWith(QLatin1String(other)))
                faults << QStringLiteral("\"%1\" drawn in %2").arg(text, family);
        }
    }
    return faults;
}

bool hasPixel(const QImage &image, const std::function<bool(const QColor &)> &wanted)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() > 200 && wanted(pixel))
                return true;
        }
    }
    return false;
}

bool isBlue(const QColor &c) { return c.hue() >= 195 && c.hue() <= 235 && c.saturation() > 120; }
bool isYellow(const QColor &c) { return c.hue() >= 40 && c.hue() <= 60 && c.saturation() > 120; }
bool isViolet(const QColor &c) { return c.hue() >= 245 && c.hue() <= 285 && c.saturation() > 100; }
bool isSilver(const QColor &c) { return c.saturation() < 40 && c.value() > 150; }
bool isBlack(const QColor &c) { return c.value() < 40; }
bool isRed(const QColor &c) { return (c.hue() <= 10 || c.hue() >= 350) && c.saturation() > 150; }
bool isGreen(const QColor &c) { return c.hue() >= 100 && c.hue() <= 140 && c.saturation() > 120; }

} // namespace

class MainWindowLayoutTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowFixture> fixture;
    std::unique_ptr<TMain> window;

private slots:
    void initTestCase()
    {
        fixture = std::make_unique<WindowFixture>();
        window = fixture->makeWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    void cleanupTestCase()
    {
        window.reset();
        fixture.reset();
    }

    void windowSettings()
    {
        QCOMPARE(window->windowTitle(), QStringLiteral("Somnara大全 2.0"));
        QCOMPARE(window->contentsRect().size(), QSize(393, 323));
        QCOMPARE(window->minimumSize(), window->maximumSize()); // no resizing
        QVERIFY(!(window->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(window->windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(window->windowFlags() & Qt::WindowCloseButtonHint);
        QCOMPARE(window->font().family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(window->font().pixelSize(), 11);
    }

    void controlTree_data()
    {
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QRect>("geometry"); // an empty size: a label sized to its caption
        QTest::addColumn<bool>("tabStop");
        QTest::addColumn<QString>("font");
        QTest::addColumn<QString>("text");

        const QString none;
        QTest::newRow("PageControl1") << "Main" << QRect(0, 0, 393, 297) << true << "window" << "电脑解梦";
        QTest::newRow("TabSheet1") << "PageControl1" << QRect(4, 25, 385, 268) << false << "window" << none;
        QTest::newRow("GroupBox1") << "TabSheet1" << QRect(0, 0, 385, 45) << false << "window" << "";
        QTest::newRow("Label1") << "GroupBox1" << QRect(8, 20, 0, 0) << false << "body" << "请输入关键词：";
        QTest::newRow("Edit1") << "GroupBox1" << QRect(91, 15, 214, 20) << true << "body" << "父母";
        QTest::newRow("Button1") << "GroupBox1" << QRect(312, 13, 65, 24) << true << "body" << "开始解梦";
        QTest::newRow("Panel1") << "TabSheet1" << QRect(0, 45, 385, 223) << false << "window" << none;
        QTest::newRow("Label3") << "Panel1" << QRect(5, 6, 0, 0) << false << "body" << "梦的解释：";
        QTest::newRow("DBMemo1") << "Panel1" << QRect(1, 23, 383, 199) << true << "body" << none;
        QTest::newRow("CheckBox1") << "Panel1" << QRect(70, 3, 69, 17) << true << "body" << "模糊查询";
        QTest::newRow("Panel2") << "Main" << QRect(0, 297, 393, 26) << false << "window" << none;
        QTest::newRow("Label2") << "Panel2" << QRect(8, 7, 0, 0) << false << "link"
                                << "Quorvel软件 | 获取更新版本";
        QTest::newRow("Label4") << "Panel2" << QRect(212, 7, 0, 0) << false << "link"
                                << QStringLiteral("程序定制 | 咨询 QQ：") + QLatin1String(MakerLinks::kContactQQNumber);
    }

    void controlTree()
    {
        QFETCH(QString, parent);
        QFETCH(QRect, geometry);
        QFETCH(bool, tabStop);
        QFETCH(QString, font);
        QFETCH(QString, text);

        auto *control = window->findChild<QWidget *>(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(control);
        QVERIFY(control->isVisible());
        QCOMPARE(controlParent(control)->objectName(), parent);

        const QRect actual = clientGeometry(control);
        if (geometry.size().isEmpty()) {
            QCOMPARE(actual.topLeft(), geometry.topLeft());
            QCOMPARE(control->size(), control->sizeHint()); // sized to its caption
            const QFontMetrics metrics(control->font());
            QVERIFY(control->width() >= metrics.horizontalAdvance(text));
        } else {
            QCOMPARE(actual, geometry);
        }
        // Nothing sticks out of its parent's client area, so no caption is cut off.
        QVERIFY(controlParent(control)->contentsRect().contains(control->geometry())
                || controlParent(control)->objectName() == QLatin1String("PageControl1"));

        QCOMPARE(bool(control->focusPolicy() & Qt::TabFocus), tabStop);

        const QFont &f = control->font();
        const QString resolved = QFontInfo(f).family();
        if (font == QLatin1String("window")) {
            QCOMPARE(f.family(), QStringLiteral("MS Sans Serif"));
            QCOMPARE(f.pixelSize(), 11);
            QVERIFY2(isPlainSans(resolved), qPrintable(resolved));
        } else {
            QCOMPARE(f.family(), QStringLiteral("宋体"));
            QCOMPARE(f.pixelSize(), 12);
            QVERIFY2(isSongFace(resolved), qPrintable(resolved));
        }
        QVERIFY(!f.bold() && !f.italic() && !f.underline());
        const QColor ink = control->palette().color(QPalette::WindowText);
        QCOMPARE(ink == QColor(0, 0, 255), font == QLatin1String("link"));

        if (!text.isNull())
            QCOMPARE(textOf(control), text);
    }

    void tabRowStaysAbovePage()
    {
        const QRect tabs = window->PageControl1->tabBar()->geometry();
        const QRect page = window->PageControl1->pageRect();
        QVERIFY2(tabs.bottom() < page.top(), qPrintable(QStringLiteral("tab row ends at %1").arg(tabs.bottom())));
        QCOMPARE(window->PageControl1->count(), 1);
        QCOMPARE(window->PageControl1->currentWidget(), window->TabSheet1);
    }

    void captionsFitTheirControls()
    {
        QVERIFY(window->CheckBox1->sizeHint().width() <= window->CheckBox1->width());
        const QFontMetrics button(window->Button1->font());
        QVERIFY(button.horizontalAdvance(window->Button1->text()) + 8 <= window->Button1->width());
        QVERIFY(button.height() <= window->Button1->height());
        QTabBar *tabs = window->PageControl1->tabBar();
        const QFontMetrics tab(tabs->font());
        QVERIFY(tabs->tabRect(0).width()
                >= tab.horizontalAdvance(tabs->tabText(0)) + window->PageControl1->iconSize().width());
    }

    void textsDrawInSimplifiedChineseWithNoMissingGlyph_data()
    {
        QTest::addColumn<QString>("control");
        for (const char *name : {"PageControl1", "Label1", "Edit1", "Button1", "Label3", "CheckBox1",
                                 "Label2", "Label4"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void textsDrawInSimplifiedChineseWithNoMissingGlyph()
    {
        QFETCH(QString, control);
        const QWidget *widget = window->findChild<QWidget *>(control);
        QVERIFY(widget);
        const QStringList faults = drawingFaults(widget->font(), textOf(widget));
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1String("; "))));
    }

    void menuAndToolkitFontsDrawSimplifiedChinese()
    {
        // The popup menu and message boxes use the toolkit's font, not the window's.
        QStringList faults = drawingFaults(window->PopupMenu1->font(), QStringLiteral("官方网站退出程序"));
        faults += drawingFaults(QGuiApplication::font(), QStringLiteral("软件已在运行中！提示"));
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1String("; "))));
    }

    void imageListHoldsTheThreeImages()
    {
        QCOMPARE(window->ImageList1->count(), 3);
        QCOMPARE(window->ImageList1->size(), QSize(16, 16));
        const QList<std::function<bool(const QColor &)>> subjects[] = {
            {isBlue, isYellow},   // a globe with a smiling face
            {isSilver, isYellow}, // a silver burst with a yellow glow
            {isViolet, isSilver}, // a violet bulb with its base
        };
        for (int i = 0; i < 3; ++i) {
            const QImage image = window->ImageList1->image(i).pixmap(QSize(16, 16), 1.0).toImage();
            QCOMPARE(image.size(), QSize(16, 16));
            QVERIFY2(image.hasAlphaChannel() && image.pixelColor(0, 15).alpha() == 0,
                     qPrintable(QStringLiteral("image %1 has no transparent corner").arg(i)));
            for (const auto &subject : subjects[i])
                QVERIFY2(hasPixel(image, subject), qPrintable(QStringLiteral("image %1").arg(i)));
        }
        QVERIFY(window->ImageList1->image(3).isNull());
        QCOMPARE(window->PageControl1->tabIcon(0).cacheKey(), window->ImageList1->image(0).cacheKey());
        QCOMPARE(window->PageControl1->iconSize(), QSize(16, 16));
    }

    void applicationIconIsAnEyeOverARainbow()
    {
        const QImage icon = applicationIcon().pixmap(QSize(32, 32), 1.0).toImage();
        QCOMPARE(icon.size(), QSize(32, 32));
        QCOMPARE(icon.pixelColor(0, 31).alpha(), 0);
        for (const auto &colour : {isBlack, isRed, isYellow, isGreen})
            QVERIFY(hasPixel(icon, colour));
    }

    void imagesStaySharpWhenScaled()
    {
        // Drawn anew for the device: a scaled screen gets twice the pixels, not an enlargement.
        const qreal ratio = window->devicePixelRatio();
        const QPixmap tab = window->PageControl1->tabIcon(0).pixmap(QSize(16, 16), ratio);
        QCOMPARE(tab.size(), QSize(16, 16) * ratio);
        const QPixmap large = window->ImageList1->image(0).pixmap(QSize(64, 64), 1.0);
        QVERIFY(hasPixel(large.toImage(), isYellow));
        if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))
            QCOMPARE(ratio, qEnvironmentVariable("QT_SCALE_FACTOR").toDouble());
        QCOMPARE(window->grab().size(), window->size() * ratio);
    }

    void onlyTheMemoHasATooltipAndOnlyTheLinksAHand()
    {
        const auto widgets = window->findChildren<QWidget *>();
        for (const QWidget *widget : widgets) {
            if (widget->isWindow())
                continue;
            const bool memo = widget == window->DBMemo1;
            QCOMPARE(widget->toolTip(), memo ? QStringLiteral("解释") : QString());
            const bool link = widget == window->Label2 || widget == window->Label4;
            const bool hand = widget->testAttribute(Qt::WA_SetCursor)
                              && widget->cursor().shape() == Qt::PointingHandCursor;
            QVERIFY2(hand == link, qPrintable(widget->objectName()));
        }
    }

    void memoWrapsScrollsVerticallyAndOnlyCopies()
    {
        DBMemo *memo = window->DBMemo1;
        const QString text = QStringLiteral("梦见父母，多与根基、依靠和家中安稳有关。").repeated(6);
        memo->setPlainText(text);
        QCOMPARE(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QVERIFY(memo->document()->firstBlock().layout()->lineCount() > 1); // wrapped

        memo->setFocus();
        QTest::keyClicks(memo, QStringLiteral("abc"));
        QTest::keyClick(memo, Qt::Key_Backspace);
        QTest::keyClick(memo, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(memo->toPlainText(), text);

        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        QTest::keyClick(memo, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(memo, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), text);
        memo->clear();
    }

    void accessibleNamesRolesAndStates_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("description");

        QTest::newRow("keyword box") << "Edit1" << int(QAccessible::EditableText) << "请输入关键词：" << "";
        QTest::newRow("lookup button") << "Button1" << int(QAccessible::Button) << "开始解梦" << "";
        QTest::newRow("result memo") << "DBMemo1" << int(QAccessible::EditableText) << "梦的解释：" << "解释";
        QTest::newRow("fuzzy check box") << "CheckBox1" << int(QAccessible::CheckBox) << "模糊查询" << "";
        QTest::newRow("site link") << "Label2" << int(QAccessible::StaticText) << "Quorvel软件 | 获取更新版本" << "";
        QTest::newRow("contact link") << "Label4" << int(QAccessible::StaticText)
                                      << QStringLiteral("程序定制 | 咨询 QQ：") + QLatin1String(MakerLinks::kContactQQNumber)
                                      << "";
        QTest::newRow("keyword prompt") << "Label1" << int(QAccessible::StaticText) << "请输入关键词：" << "";
    }

    void accessibleNamesRolesAndStates()
    {
        QFETCH(QString, control);
        QFETCH(int, role);
        QFETCH(QString, name);
        QFETCH(QString, description);

        QWidget *widget = window->findChild<QWidget *>(control);
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
        QVERIFY(accessible && accessible->isValid());
        QCOMPARE(int(accessible->role()), role);
        QCOMPARE(accessible->text(QAccessible::Name), name);
        QCOMPARE(accessible->text(QAccessible::Description), description);
        QVERIFY(!accessible->state().invisible);
    }

    void accessibleStatesFollowTheControls()
    {
        QAccessibleInterface *box = QAccessible::queryAccessibleInterface(window->CheckBox1);
        QVERIFY(box->state().checkable && !box->state().checked);
        window->CheckBox1->setChecked(true);
        QVERIFY(box->state().checked);
        window->CheckBox1->setChecked(false);

        QAccessibleInterface *memo = QAccessible::queryAccessibleInterface(window->DBMemo1);
        QVERIFY(memo->state().readOnly);
        window->DBMemo1->setPlainText(QStringLiteral("梦见猫"));
        QCOMPARE(memo->textInterface()->text(0, memo->textInterface()->characterCount()),
                 QStringLiteral("梦见猫"));
        window->DBMemo1->clear();

        QAccessibleInterface *keyword = QAccessible::queryAccessibleInterface(window->Edit1);
        QCOMPARE(keyword->text(QAccessible::Value), QStringLiteral("父母"));

        // The tab is a page tab named by its caption.
        QAccessibleInterface *tabs = QAccessible::queryAccessibleInterface(window->PageControl1->tabBar());
        QVERIFY(tabs && tabs->childCount() >= 1);
        QCOMPARE(int(tabs->child(0)->role()), int(QAccessible::PageTab));
        QCOMPARE(tabs->child(0)->text(QAccessible::Name), QStringLiteral("电脑解梦"));
    }
};

QTEST_MAIN(MainWindowLayoutTest)
#include "main_window_layout_test.moc"
