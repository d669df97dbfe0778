#include "application.h"
#include "error_box.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <stdexcept>

using namespace somnara;

namespace {

// Runs `check` on the first modal box that opens, then closes it with Enter.
void inspectNextBox(std::function<void(QMessageBox *)> check)
{
    QTimer::singleShot(0, [check] {
        QTRY_VERIFY(qobject_cast<QMessageBox *>(QApplication::activeModalWidget()));
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        check(box);
        QTest::keyClick(box, Qt::Key_Return);
    });
}

} // namespace

class ErrorBoxTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Application::setTitle(QStringLiteral("Somnara大全")); }

    void text_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("empty stays empty") << "" << "";
        QTest::newRow("letter gets a stop") << "Cannot open clipboard" << "Cannot open clipboard.";
        QTest::newRow("stop is not doubled") << "done." << "done.";
        QTest::newRow("apostrophe sorts below") << "near 'x'" << "near 'x'";
        QTest::newRow("parenthesis sorts below") << "(x)" << "(x)";
        QTest::newRow("comma sorts below") << "a," << "a,";
        QTest::newRow("hyphen sorts below") << "a-" << "a-";
        QTest::newRow("slash sorts above") << "a/" << "a/.";
        QTest::newRow("digit sorts above") << "code 7" << "code 7.";
        QTest::newRow("Chinese sorts above") << "找不到数据库" << "找不到数据库.";
        QTest::newRow("full-width stop sorts above") << "完成。" << "完成。.";
        QTest::newRow("field not found") << "DBMemo1: Field '内容' not found"
                                         << "DBMemo1: Field '内容' not found.";
    }

    void text()
    {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(ErrorBox::text(message), shown);
    }

    void guardedShowsWhatEscapesAHandler()
    {
        QStringList shown;
        ErrorBox::setPresenter([&](const QString &text) { shown << text; });
        guarded([] { throw std::runtime_error("database is locked"); });
        guarded([] { throw 42; });
        bool ran = false;
        guarded([&] { ran = true; });
        ErrorBox::setPresenter(nullptr);
        QVERIFY(ran);
        QCOMPARE(shown, QStringList({"database is locked.", "发生未知错误."}));
    }

    void errorBoxIsCriticalWithTitleAndOneOk()
    {
        bool inspected = false;
        inspectNextBox([&](QMessageBox *box) {
            QCOMPARE(box->icon(), QMessageBox::Critical);
            QCOMPARE(box->windowTitle(), QStringLiteral("Somnara大全"));
            QCOMPARE(box->text(), QStringLiteral("找不到数据库."));
            QCOMPARE(box->buttons().size(), 1);
            QCOMPARE(box->standardButton(box->buttons().front()), QMessageBox::Ok);
            inspected = true;
        });
        ErrorBox::show(QStringLiteral("找不到数据库"));
        QVERIFY(inspected);
    }

    void plainBoxHasNoIconAndOneOkForEnterAndEsc_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Esc") << int(Qt::Key_Escape);
    }

    void plainBoxHasNoIconAndOneOkForEnterAndEsc()
    {
        QFETCH(int, key);
        bool inspected = false;
        QTimer::singleShot(0, [&] {
            QTRY_VERIFY(qobject_cast<QMessageBox *>(QApplication::activeModalWidget()));
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QCOMPARE(box->icon(), QMessageBox::NoIcon);
            QCOMPARE(box->windowTitle(), QStringLiteral("提示"));
            QCOMPARE(box->text(), QStringLiteral("软件已在运行中！"));
            QCOMPARE(box->buttons().size(), 1);
            QCOMPARE(box->buttons().front()->text(), QStringLiteral("OK"));
            inspected = true;
            QTest::keyClick(box, Qt::Key(key));
        });
        Application::messageBox(QStringLiteral("软件已在运行中！"), QStringLiteral("提示"));
        QVERIFY(inspected);
    }
};

QTEST_MAIN(ErrorBoxTest)
#include "error_box_test.moc"
