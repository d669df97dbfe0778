// The window's lookup path: start-up, every way a lookup starts, and what the memo shows.
#include "application.h"
#include "db_memo.h"
#include "error_box.h"
#include "tmain.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

using namespace somnara;

namespace {

struct Row
{
    const char *topic;
    const char *content;
};

void writeDatabase(const QString &file, const QList<Row> &rows, const char *contentColumn = "内容")
{
    QFile::remove(file);
    sqlite3 *db = nullptr;
    QVERIFY(sqlite3_open(file.toUtf8().constData(), &db) == SQLITE_OK);
    const QByteArray create = QByteArray("CREATE TABLE Somnara (主题 TEXT COLLATE NOCASE, ") + contentColumn + " TEXT)";
    sqlite3_exec(db, create.constData(), nullptr, nullptr, nullptr);
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO Somnara VALUES (?, ?)", -1, &insert, nullptr);
    for (const auto &row : rows) {
        sqlite3_bind_text(insert, 1, row.topic, -1, SQLITE_TRANSIENT);
        if (row.content)
            sqlite3_bind_text(insert, 2, row.content, -1, SQLITE_TRANSIENT);
        else
            sqlite3_bind_null(insert, 2);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_close(db);
}

const QList<Row> kRows = {
    {"父母", "父母的解释"},
    {"猫", "猫的解释"},
    {"猫头鹰", "猫头鹰的解释"},
    {"猫'狗", "猫与狗的解释"},
    {"空白", nullptr},
};

} // namespace

class MainWindowLookupTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString previousDir;
    QStringList errors;

    QString database() const { return dir.filePath(QStringLiteral("smra.mdb")); }

private slots:
    void initTestCase()
    {
        ErrorBox::setPresenter([this](const QString &text) { errors << text; });
        previousDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
    }

    void cleanupTestCase() { QDir::setCurrent(previousDir); }

    void init()
    {
        // Each window takes the single-copy marker named after the title and keeps it for the
        // life of the process: a fresh title per test keeps the windows from meeting.
        static int window = 0;
        Application::setTitle(QStringLiteral("Somnara大全-test-%1-%2")
                                  .arg(QCoreApplication::applicationPid())
                                  .arg(++window));
        errors.clear();
        writeDatabase(database(), kRows);
    }

    void startShowsTheFirstRowAndTheStartKeyword()
    {
        TMain window;
        QCOMPARE(window.Edit1->text(), QStringLiteral("父母"));
        QVERIFY(!window.CheckBox1->isChecked());
        QCOMPARE(window.DBMemo1->toPlainText(), QStringLiteral("父母的解释"));
        QVERIFY(errors.isEmpty());
    }

    void keysThatStartALookup_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("lookups");
        QTest::newRow("Enter in the keyword box") << "Edit1" << int(Qt::Key_Return) << 0 << 1;
        QTest::newRow("keypad Enter in the keyword box") << "Edit1" << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << 1;
        QTest::newRow("Shift+Enter in the keyword box") << "Edit1" << int(Qt::Key_Return) << int(Qt::ShiftModifier) << 1;
        QTest::newRow("Ctrl+Enter in the keyword box") << "Edit1" << int(Qt::Key_Return) << int(Qt::ControlModifier) << 0;
        QTest::newRow("a letter in the keyword box") << "Edit1" << int(Qt::Key_A) << 0 << 0;
        QTest::newRow("Space on the button") << "Button1" << int(Qt::Key_Space) << 0 << 1;
        QTest::newRow("Enter on the button") << "Button1" << int(Qt::Key_Return) << 0 << 1;
        QTest::newRow("Shift+Enter on the button") << "Button1" << int(Qt::Key_Return) << int(Qt::ShiftModifier) << 0;
        QTest::newRow("Enter on the check box") << "CheckBox1" << int(Qt::Key_Return) << 0 << 0;
    }

    void keysThatStartALookup()
    {
        QFETCH(QString, target);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, lookups);
        TMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.Edit1->setText(QStringLiteral("猫"));
        QSignalSpy clicks(window.Button1, &QPushButton::clicked);
        auto *widget = window.findChild<QWidget *>(target);
        QVERIFY(widget);
        widget->setFocus();
        QTest::keyClick(widget, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(clicks.count(), lookups);
        QCOMPARE(window.DBMemo1->toPlainText(), lookups ? QStringLiteral("猫的解释") : QStringLiteral("父母的解释"));
        QCOMPARE(window.Edit1->text(), key == Qt::Key_A && target == "Edit1" ? QStringLiteral("猫a") : QStringLiteral("猫"));
    }

    void lookupsFollowTheCheckBox_data()
    {
        QTest::addColumn<QString>("keyword");
        QTest::addColumn<bool>("containment");
        QTest::addColumn<QString>("shown");
        QTest::newRow("exact hit") << "猫" << false << "猫的解释";
        QTest::newRow("exact miss") << "头鹰" << false << "";
        QTest::newRow("containment") << "头鹰" << true << "猫头鹰的解释";
        QTest::newRow("apostrophe is looked up") << "猫'狗" << false << "猫与狗的解释";
        QTest::newRow("NULL interpretation") << "空白" << false << "";
    }

    void lookupsFollowTheCheckBox()
    {
        QFETCH(QString, keyword);
        QFETCH(bool, containment);
        QFETCH(QString, shown);
        TMain window;
        window.Edit1->setText(keyword);
        window.CheckBox1->setChecked(containment);
        QCOMPARE(window.DBMemo1->toPlainText(), QStringLiteral("父母的解释")); // ticking runs nothing
        window.Button1->click();
        QCOMPARE(window.DBMemo1->toPlainText(), shown);
        QCOMPARE(window.Edit1->text(), keyword);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
    }

    void missingDatabaseThenPutInPlace()
    {
        QFile::remove(database());
        TMain window;
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.front().contains(QStringLiteral("smra.mdb")), qPrintable(errors.front()));
        QVERIFY2(errors.front().contains(QDir(dir.path()).absoluteFilePath(QStringLiteral("smra.mdb"))),
                 qPrintable(errors.front()));
        QVERIFY(errors.front().endsWith('.'));
        QCOMPARE(window.DBMemo1->toPlainText(), QString());
        QCOMPARE(window.Edit1->text(), QStringLiteral("父母"));

        window.Button1->click(); // still missing: another box, the window carries on
        QCOMPARE(errors.size(), 2);

        writeDatabase(database(), kRows);
        window.Edit1->setText(QStringLiteral("猫"));
        window.Button1->click();
        QCOMPARE(window.DBMemo1->toPlainText(), QStringLiteral("猫的解释"));
        QCOMPARE(errors.size(), 2);
    }

    void resultWithoutTheContentColumn()
    {
        writeDatabase(database(), {{"父母", "不在内容列"}}, "解释");
        TMain window;
        QCOMPARE(errors, QStringList{QStringLiteral("DBMemo1: Field '内容' not found.")});
        QCOMPARE(window.DBMemo1->toPlainText(), QString());
    }

    void memoIsReadOnlyAndBreaksEveryKindOfLine_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("shown");
        QTest::newRow("CR LF") << QByteArray("一\r\n二") << "一\n二";
        QTest::newRow("bare LF") << QByteArray("一\n二") << "一\n二";
        QTest::newRow("bare CR") << QByteArray("一\r二") << "一\n二";
        QTest::newRow("blank line") << QByteArray("一\r\n\r\n二") << "一\n\n二";
    }

    void memoIsReadOnlyAndBreaksEveryKindOfLine()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QString, shown);
        QCOMPARE(DBMemo::displayText(stored.toStdString()), shown);

        TMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.DBMemo1->setFocus();
        QTest::keyClicks(window.DBMemo1, QStringLiteral("abc"));
        QTest::keyClick(window.DBMemo1, Qt::Key_Backspace);
        QCOMPARE(window.DBMemo1->toPlainText(), QStringLiteral("父母的解释"));
    }

    void aSessionLeavesTheDatabaseUntouched()
    {
        QFile before(database());
        QVERIFY(before.open(QIODevice::ReadOnly));
        const QByteArray bytes = before.readAll();
        before.close();
        {
            TMain window;
            for (const char *keyword : {"猫", "'", "%", ""}) {
                window.Edit1->setText(QString::fromUtf8(keyword));
                for (bool containment : {false, true}) {
                    window.CheckBox1->setChecked(containment);
                    window.Button1->click();
                }
            }
        }
        QFile after(database());
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), bytes);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("smra.mdb")});
    }
};

QTEST_MAIN(MainWindowLookupTest)
#include "main_window_lookup_test.moc"
