// The web-site link, the popup item 官方网站 and the contact link.
#include "application.h"
#include "error_box.h"
#include "link_label.h"
#include "maker_links.h"
#include "tmain.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace somnara;

class MakerLinksTest : public QObject
{
    Q_OBJECT

public slots:
    // Stands in for the system's handler of web addresses.
    void openUrl(const QUrl &url) { opened << url; }

private:
    QList<QUrl> opened;
    QStringList errors;
    QStringList boxes;
    QTemporaryDir dir;
    QString previousDir;

    // Closes, with Enter, every modal box that opens while `action` runs, noting what it said.
    void answeringBoxes(const std::function<void()> &action)
    {
        QTimer closer;
        connect(&closer, &QTimer::timeout, this, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                boxes << QStringLiteral("%1|%2|%3|%4")
                             .arg(box->windowTitle(), box->text())
                             .arg(box->icon())
                             .arg(box->buttons().size() == 1 ? box->buttons().front()->text() : QStringLiteral("?"));
                QTest::keyClick(box, Qt::Key_Return);
            }
        });
        closer.start(10);
        action();
    }

    static QPoint centreOf(QWidget *widget) { return widget->rect().center(); }

private slots:
    void initTestCase()
    {
        ErrorBox::setPresenter([this](const QString &text) { errors << text; });
        QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "openUrl");
        previousDir = QDir::currentPath();
        QDir::setCurrent(dir.path());
        QVERIFY(QFile::copy(QStringLiteral(SOMNARA_BINARY_DIR "/smra.mdb"), dir.filePath(QStringLiteral("smra.mdb"))));
    }

    void cleanupTestCase()
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QDir::setCurrent(previousDir);
    }

    void init()
    {
        // Each window keeps the single-copy marker of its title for the life of the process.
        static int window = 0;
        Application::setTitle(QStringLiteral("Somnara大全-%1-%2").arg(QCoreApplication::applicationPid()).arg(++window));
        opened.clear();
        errors.clear();
        boxes.clear();
        MakerLinks::setClipboardWriter(nullptr);
    }

    void siteUrlIsAnAbsoluteHomePage()
    {
        const QUrl url(QString::fromLatin1(MakerLinks::kMakerSiteUrl));
        QVERIFY(url.isValid());
        QCOMPARE(url.scheme(), QStringLiteral("http"));
        QVERIFY(!url.host().isEmpty());
        QVERIFY(url.path().isEmpty() || url.path() == QStringLiteral("/"));
        QVERIFY(!url.hasQuery());
        const QString number = QString::fromLatin1(MakerLinks::kContactQQNumber);
        QCOMPARE(number.size(), 9);
        QVERIFY(std::all_of(number.begin(), number.end(), [](QChar c) { return c.isDigit(); }));
    }

    void bothSiteActionsOpenTheSameAddressEveryTime()
    {
        TMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::mouseClick(window.Label2, Qt::LeftButton, {}, centreOf(window.Label2));
        QTest::mouseClick(window.Label2, Qt::LeftButton, {}, centreOf(window.Label2));
        window.N3->trigger();
        const QUrl site(QString::fromLatin1(MakerLinks::kMakerSiteUrl));
        QCOMPARE(opened, QList<QUrl>({site, site, site}));
        QVERIFY(boxes.isEmpty() && errors.isEmpty());
    }

    void onlyAWholeLeftClickActs_data()
    {
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<int>("actions");
        QTest::newRow("click") << "click" << 1;
        QTest::newRow("double-click acts once") << "double" << 1;
        QTest::newRow("released outside") << "outside" << 0;
        QTest::newRow("right button") << "right" << 0;
    }

    void onlyAWholeLeftClickActs()
    {
        QFETCH(QString, gesture);
        QFETCH(int, actions);
        LinkLabel label;
        label.setText(QStringLiteral("Quorvel软件 | 获取更新版本"));
        label.adjustSize();
        label.show();
        QVERIFY(QTest::qWaitForWindowExposed(&label));
        QSignalSpy clicks(&label, &LinkLabel::clicked);
        const QPoint inside = centreOf(&label);
        if (gesture == "click") {
            QTest::mouseClick(&label, Qt::LeftButton, {}, inside);
        } else if (gesture == "double") {
            // What the system delivers: the second press comes as a press and a double-click.
            const QPointF at(inside);
            const QPointF global(label.mapToGlobal(inside));
            for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                    QEvent::MouseButtonPress, QEvent::MouseButtonDblClick,
                                    QEvent::MouseButtonRelease}) {
                const bool down = type != QEvent::MouseButtonRelease;
                QMouseEvent event(type, at, global, Qt::LeftButton,
                                  down ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
                QApplication::sendEvent(&label, &event);
            }
        } else if (gesture == "outside") {
            QTest::mousePress(&label, Qt::LeftButton, {}, inside);
            QTest::mouseRelease(&label, Qt::LeftButton, {}, QPoint(label.width() + 20, inside.y()));
        } else {
            QTest::mouseClick(&label, Qt::RightButton, {}, inside);
        }
        QCOMPARE(clicks.count(), actions);
        QCOMPARE(label.cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(label.focusPolicy(), Qt::NoFocus);
    }

    void contactLinkCopiesExactlyTheNumberItShows()
    {
        // Whatever the clipboard held before is gone afterwards.
        auto *before = new QMimeData;
        before->setText(QStringLiteral("旧的内容"));
        before->setImageData(QImage(4, 4, QImage::Format_RGB32));
        before->setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a"))});
        QGuiApplication::clipboard()->setMimeData(before);

        TMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QString number = QString::fromLatin1(MakerLinks::kContactQQNumber);
        QVERIFY(window.Label4->text().endsWith(QStringLiteral("QQ：") + number));
        QVERIFY(window.Label4->text().startsWith(QStringLiteral("程序定制 | 咨询 QQ：")));

        answeringBoxes([&] { QTest::mouseClick(window.Label4, Qt::LeftButton, {}, centreOf(window.Label4)); });

        const QMimeData *now = QGuiApplication::clipboard()->mimeData();
        QCOMPARE(now->text(), number);
        QVERIFY(!now->hasImage());
        QVERIFY(!now->hasUrls());
        QCOMPARE(boxes, QStringList{QStringLiteral("%1|QQ号码已复制！|%2|OK")
                                        .arg(Application::title())
                                        .arg(int(QMessageBox::NoIcon))});
        QVERIFY(errors.isEmpty());
    }

    void clipboardThatCannotBeTakenIsAnErrorAndNoConfirmation()
    {
        QGuiApplication::clipboard()->setText(QStringLiteral("先前的文字"));
        MakerLinks::setClipboardWriter([](const QString &) { return false; });
        TMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        errors.clear(); // the missing database at start is not this test's concern
        answeringBoxes([&] { QTest::mouseClick(window.Label4, Qt::LeftButton, {}, centreOf(window.Label4)); });
        QCOMPARE(errors, QStringList{QStringLiteral("Cannot open clipboard.")});
        QVERIFY(boxes.isEmpty());
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("先前的文字"));
    }
};

QTEST_MAIN(MakerLinksTest)
#include "maker_links_test.moc"
