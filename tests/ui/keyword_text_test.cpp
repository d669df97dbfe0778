// Odd text in the keyword box, through the window's own lookup path (QString to UTF-8 to the
// store): each ends in a plain answer or a clear message, never a crash or a wrong topic.
#include "application.h"
#include "db_memo.h"
#include "error_box.h"
#include "test_database.h"
#include "tmain.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace somnara;

class KeywordTextTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString previousDir;
    QStringList errors;

private slots:
    void initTestCase()
    {
        ErrorBox::setPresenter([this](const QString &text) { errors << text; });
        previousDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        auto rows = test::decoyRows();
        rows.push_back({"🐱", "猫脸的解释"});
        test::writeDreamDatabase(dir.filePath(QStringLiteral("smra.mdb")).toStdString(), rows);
    }

    void cleanupTestCase() { QDir::setCurrent(previousDir); }

    void init()
    {
        // A fresh single-copy marker for each window, as in the other window tests.
        static int window = 0;
        Application::setTitle(QStringLiteral("Somnara大全-keywords-%1-%2")
                                  .arg(QCoreApplication::applicationPid())
                                  .arg(++window));
        errors.clear();
    }

    void oddKeywords_data()
    {
        QTest::addColumn<QString>("keyword");
        QTest::addColumn<bool>("containment");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("errorPart"); // empty: no error box

        const QString cat = QStringLiteral("猫");
        QTest::newRow("character beyond the BMP") << QStringLiteral("🐱") << false << "猫脸的解释" << "";
        QTest::newRow("lone high surrogate") << QChar(0xD83D) + cat << false << "" << "";
        QTest::newRow("lone low surrogate in containment") << cat + QChar(0xDC31) << true << "" << "";
        QTest::newRow("combining mark") << cat + QChar(0x0301) << false << "" << "";
        QTest::newRow("right-to-left marks") << QChar(0x200F) + cat + QChar(0x200E) << false << "" << "";
        QTest::newRow("byte order mark") << QChar(0xFEFF) + cat << true << "" << "";
        QTest::newRow("NUL in containment") << cat + QChar(0) + QStringLiteral("狗") << true << "" << "";
        QTest::newRow("control characters") << QStringLiteral("\t猫\r\n\x01") << false << "" << "";
        QTest::newRow("double quotes") << QStringLiteral("\"猫\"") << true << "" << "";
        QTest::newRow("full-width percent is no wildcard") << QStringLiteral("100％把握") << true << "" << "";
        QTest::newRow("Chinese punctuation") << QStringLiteral("猫，。！") << true << "" << "";
        QTest::newRow("100,000 characters, exact") << QString(100000, QChar(0x732B)) << false << "" << "";
        QTest::newRow("100,000 characters, containment")
            << QString(100000, QChar(0x732B)) << true << "" << "关键词太长";
    }

    void oddKeywords()
    {
        QFETCH(QString, keyword);
        QFETCH(bool, containment);
        QFETCH(QString, shown);
        QFETCH(QString, errorPart);
        TMain window;
        QCOMPARE(window.DBMemo1->toPlainText(), QStringLiteral("父母的解释"));
        window.Edit1->setText(keyword);
        window.CheckBox1->setChecked(containment);
        window.Button1->click();

        QCOMPARE(window.Edit1->text(), keyword); // whole and unchanged, however long or odd
        QCOMPARE(window.DBMemo1->toPlainText(), shown);
        if (errorPart.isEmpty()) {
            QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
        } else {
            QCOMPARE(errors.size(), 1);
            QVERIFY2(errors.front().contains(errorPart), qPrintable(errors.front()));
        }
        // The window carries on: the next plain lookup works.
        errors.clear();
        window.Edit1->setText(QStringLiteral("猫"));
        window.CheckBox1->setChecked(false);
        window.Button1->click();
        QCOMPARE(window.DBMemo1->toPlainText(), QStringLiteral("猫的解释"));
        QVERIFY(errors.isEmpty());
    }
};

QTEST_MAIN(KeywordTextTest)
#include "keyword_text_test.moc"
