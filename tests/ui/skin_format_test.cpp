// The skin files: what the store holds, what the reader accepts, and how a skin's sheet is cut
// by control kind.
#include "skin.h"
#include "skin_store.h"

#include <QTest>

using namespace somnara;

namespace {

// A small skin that names every header key once; rows of the reader's table spoil one thing.
const QByteArray kHeader = "/* Somnara skin\n"
                           "name: 试验\n"
                           "border: 4\n"
                           "title-height: 24\n"
                           "outer-line: #102030\n"
                           "inner-line: #405060\n"
                           "fill: #708090\n"
                           "title: #111111 #222222\n"
                           "inactive-title: #333333 #444444 #555555\n"
                           "caption: #FFFFFF\n"
                           "inactive-caption: #000000\n"
                           "button-hover: #123456\n"
                           "button-pressed: #654321\n"
                           "close-hover: #C00000\n"
                           "texture: none\n"
                           "*/\n";
const QByteArray kSheet = "QWidget[skinned=\"true\"] { background-color: #EEEEEE; }\n"
                          "/* @button */\n"
                          "QPushButton { color: #101010; }\n"
                          "/* @edit */\n"
                          "QLineEdit { color: #202020; }\n";

QByteArray replaced(const char *from, const char *to)
{
    return QByteArray(kHeader).replace(from, to) + kSheet;
}

} // namespace

class SkinFormatTest : public QObject
{
    Q_OBJECT

private slots:
    void storeHoldsTheFourSkinsInStoreOrder()
    {
        const SkinStore store = SkinStore::builtIn();
        QCOMPARE(store.count(), 4);
        const QStringList names{"金属灰", "飘零", "默认", "燃尽天"};
        for (int index = 0; index < store.count(); ++index) {
            QCOMPARE(store.item(index).name, QStringLiteral("SkinItem%1").arg(index));
            const auto skin = Skin::parse(store.item(index).data);
            QVERIFY2(skin, qPrintable(store.item(index).name));
            QCOMPARE(skin->name(), names.at(index));
        }
    }

    void startSkinIsTheDefaultItemByteForByte()
    {
        const QByteArray start = builtInStartSkin();
        QVERIFY(!start.isEmpty());
        QCOMPARE(start, SkinStore::builtIn().item(2).data);
    }

    void builtInSkinsDrawEveryControlOfTheWindow()
    {
        // The kinds the window has: leaving one out of a skin would show it plain.
        const QList<SkinControl> kinds{SkinControl::Tab,      SkinControl::GroupBox,
                                       SkinControl::Panel,    SkinControl::Edit,
                                       SkinControl::Button,   SkinControl::CheckBox,
                                       SkinControl::Scrollbar, SkinControl::PopupMenu};
        const SkinStore store = SkinStore::builtIn();
        for (int index = 0; index < store.count(); ++index) {
            const auto skin = Skin::parse(store.item(index).data);
            QVERIFY(skin);
            const QString form = skin->styleSheet({});
            for (SkinControl kind : kinds) {
                const QString withKind = skin->styleSheet(kind);
                QVERIFY2(withKind.size() > form.size(),
                         qPrintable(QStringLiteral("%1 lacks kind %2").arg(skin->name()).arg(int(kind))));
            }
        }
    }

    void readerAcceptsOnlyWholeSkins_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("readable");
        QTest::newRow("complete") << kHeader + kSheet << true;
        QTest::newRow("header alone") << kHeader << true;
        QTest::newRow("brushed texture") << replaced("texture: none", "texture: brushed") << true;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("a plain style sheet") << kSheet << false;
        QTest::newRow("leading blank before the marker") << " " + kHeader + kSheet << false;
        QTest::newRow("header never closed") << QByteArray(kHeader).replace("*/", "") << false;
        QTest::newRow("not UTF-8") << replaced("试验", "\xca\xd4\xd1\xe9") << false;
        QTest::newRow("cut inside a character") << (kHeader + kSheet + "\xe8\xaf") << false;
        QTest::newRow("no name") << replaced("name: 试验", "name:") << false;
        QTest::newRow("measure missing") << replaced("border: 4\n", "") << false;
        QTest::newRow("measure not a number") << replaced("border: 4", "border: four") << false;
        QTest::newRow("border too thin for its lines") << replaced("border: 4", "border: 1") << false;
        QTest::newRow("title too tall") << replaced("title-height: 24", "title-height: 400") << false;
        QTest::newRow("colour misspelt") << replaced("fill: #708090", "fill: #70809") << false;
        QTest::newRow("two colours where one goes") << replaced("caption: #FFFFFF", "caption: #FFFFFF #000000")
                                                    << false;
        QTest::newRow("gradient of one stop") << replaced("title: #111111 #222222", "title: #111111") << false;
        QTest::newRow("unknown key") << replaced("texture: none", "texture: none\nglow: #FF0000") << false;
        QTest::newRow("key twice") << replaced("border: 4", "border: 4\nborder: 5") << false;
        QTest::newRow("line without a key") << replaced("border: 4", "border 4") << false;
        QTest::newRow("unknown texture") << replaced("texture: none", "texture: wood") << false;
        QTest::newRow("section of an unknown kind") << kHeader + kSheet + "/* @buton */\nQPushButton {}\n"
                                                    << false;
    }

    void readerAcceptsOnlyWholeSkins()
    {
        QFETCH(QByteArray, data);
        QFETCH(bool, readable);
        QCOMPARE(Skin::parse(data).has_value(), readable);
    }

    void headerGivesTheFrame()
    {
        const auto skin = Skin::parse(kHeader + kSheet);
        QVERIFY(skin);
        const FrameLook &frame = skin->frame();
        QCOMPARE(skin->name(), QStringLiteral("试验"));
        QCOMPARE(frame.border, 4);
        QCOMPARE(frame.titleHeight, 24);
        QCOMPARE(frame.fill, QColor(0x70, 0x80, 0x90));
        QCOMPARE(frame.inactiveTitle.size(), 3);
        QCOMPARE(frame.closeHover, QColor(0xC0, 0, 0));
        QVERIFY(!frame.brushed);
    }

    void sheetKeepsOnlyTheKindsAsked_data()
    {
        QTest::addColumn<int>("controls");
        QTest::addColumn<bool>("button");
        QTest::addColumn<bool>("edit");
        QTest::newRow("every kind") << int(defaultSkinControls()) << true << true;
        QTest::newRow("buttons left plain")
            << int(defaultSkinControls() & ~SkinControls(SkinControl::Button)) << false << true;
        QTest::newRow("only edit boxes") << int(SkinControl::Edit) << false << true;
        QTest::newRow("no kind") << 0 << false << false;
    }

    void sheetKeepsOnlyTheKindsAsked()
    {
        QFETCH(int, controls);
        QFETCH(bool, button);
        QFETCH(bool, edit);
        const auto skin = Skin::parse(kHeader + kSheet);
        QVERIFY(skin);
        const QString sheet = skin->styleSheet(SkinControls::fromInt(controls));
        QVERIFY(sheet.contains(QStringLiteral("QWidget[skinned=\"true\"]")));
        QCOMPARE(sheet.contains(QStringLiteral("QPushButton")), button);
        QCOMPARE(sheet.contains(QStringLiteral("QLineEdit")), edit);
    }

    void defaultControlsAreAllButTheReportDesigner()
    {
        const SkinControls controls = defaultSkinControls();
        QVERIFY(!controls.testFlag(SkinControl::FastReport));
        for (SkinControl kind : {SkinControl::MainMenu, SkinControl::PopupMenu, SkinControl::Tab,
                                 SkinControl::SystemMenu, SkinControl::Scrollbar})
            QVERIFY(controls.testFlag(kind));
        QCOMPARE(qPopulationCount(controls.toInt()), 18);
    }
};

QTEST_MAIN(SkinFormatTest)
#include "skin_format_test.moc"
