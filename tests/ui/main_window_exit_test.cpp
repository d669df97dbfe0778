// Ending the program, as a user does it: the real program on an X server of its own, driven by
// the pointer and the keyboard. Each way ends the process at once, with exit code 0.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int kTimeout = 20000;

// An X server for one test, with a window manager when one is wanted.
class XSession
{
public:
    ~XSession()
    {
        for (QProcess *process : {&m_windowManager, &m_server}) {
            if (process->state() != QProcess::NotRunning) {
                process->terminate();
                if (!process->waitForFinished(5000))
                    process->kill();
                process->waitForFinished(5000);
            }
        }
    }

    bool start(bool withWindowManager)
    {
        // -displayfd picks a free display and writes its number to our end of the pipe.
        m_server.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                                QStringLiteral("-screen"), QStringLiteral("0"),
                                                QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                                                QStringLiteral("tcp"), QStringLiteral("-noreset")});
        if (!m_server.waitForStarted(kTimeout))
            return false;
        QByteArray number;
        QDeadlineTimer deadline(kTimeout);
        while (!number.contains('\n') && !deadline.hasExpired()) {
            m_server.waitForReadyRead(200);
            number += m_server.readAllStandardOutput();
        }
        if (!number.contains('\n'))
            return false;
        name = QLatin1Char(':') + QString::fromLatin1(number.trimmed());
        if (!withWindowManager)
            return true;

        m_windowManager.setProcessEnvironment(environment());
        m_windowManager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        if (!m_windowManager.waitForStarted(kTimeout))
            return false;
        // The window manager is in charge once it has claimed the root window.
        return QTest::qWaitFor([this] { return run(QStringLiteral("xprop"), {QStringLiteral("-root"),
                                                   QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                                                   .contains(QLatin1String("window id")); },
                               kTimeout);
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.insert(QStringLiteral("DISPLAY"), name);
        return env;
    }

    QString run(const QString &program, const QStringList &arguments) const
    {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(program, arguments);
        process.waitForFinished(kTimeout);
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }

    QString xdotool(const QStringList &arguments) const { return run(QStringLiteral("xdotool"), arguments); }

    // The program's visible windows: its main window, and its menu while that is open.
    QStringList programWindows() const
    {
        return xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--class"),
                        QStringLiteral("somnara")})
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    QString mainWindow() const
    {
        for (const QString &id : programWindows()) {
            if (xdotool({QStringLiteral("getwindowname"), id}) == QStringLiteral("Somnara大全 2.0"))
                return id;
        }
        return {};
    }

    QString name;

private:
    QProcess m_server;
    QProcess m_windowManager;
};

} // namespace

class MainWindowExitTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        for (const char *tool : {"Xvfb", "xdotool", "openbox", "xprop"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(QLatin1String(tool))));
        }
    }

    void endsAtOnceWithExitCodeZero_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<bool>("throughTheMenu");
        QTest::addColumn<QStringList>("keys");

        QTest::newRow("exit item by its accelerator") << "zh_CN.UTF-8" << true << QStringList{"z"};
        QTest::newRow("exit item by the arrow keys") << "C.UTF-8" << true << QStringList{"Up", "Return"};
        QTest::newRow("Alt+F4") << "C.UTF-8" << false << QStringList{"alt+F4"};
    }

    void endsAtOnceWithExitCodeZero()
    {
        QFETCH(QString, language);
        QFETCH(bool, throughTheMenu);
        QFETCH(QStringList, keys);

        XSession display;
        QVERIFY(display.start(!throughTheMenu));

        // The program's own folder holds the database, so no error box stands in the way.
        QTemporaryDir work;
        QTemporaryDir runtime;
        QVERIFY(QFile::copy(QStringLiteral(SOMNARA_BINARY_DIR "/smra.mdb"), work.filePath(QStringLiteral("smra.mdb"))));
        QProcessEnvironment env = display.environment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        env.insert(QStringLiteral("LANG"), language);
        env.insert(QStringLiteral("LC_ALL"), language);
        QProcess program;
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(work.path());
        program.start(QStringLiteral(SOMNARA_PROGRAM), {});
        QVERIFY(program.waitForStarted(kTimeout));

        QString window;
        QVERIFY(QTest::qWaitFor([&] { return !(window = display.mainWindow()).isEmpty(); }, kTimeout));

        if (throughTheMenu) {
            // A right-click in the footer opens the popup menu at the pointer.
            QMap<QString, int> geometry;
            for (const QString &line : display.xdotool({"getwindowgeometry", "--shell", window}).split('\n'))
                geometry.insert(line.section('=', 0, 0), line.section('=', 1).toInt());
            display.xdotool({"mousemove", QString::number(geometry["X"] + 200),
                             QString::number(geometry["Y"] + geometry["HEIGHT"] - 8)});
            display.xdotool({"click", "3"});
            QVERIFY(QTest::qWaitFor([&] { return display.programWindows().size() == 2; }, kTimeout));
        } else {
            display.xdotool({"windowactivate", window});
            QVERIFY(QTest::qWaitFor([&] { return display.xdotool({"getactivewindow"}) == window; }, kTimeout));
        }
        for (const QString &key : keys)
            display.xdotool({"key", key});

        QVERIFY2(program.waitForFinished(kTimeout), "the program did not end");
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(MainWindowExitTest)
#include "main_window_exit_test.moc"
