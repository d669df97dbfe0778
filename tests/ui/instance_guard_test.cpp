#include "instance_guard.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

using somnara::InstanceGuard;

class InstanceGuardTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir runtime;

    QProcessEnvironment environment() const
    {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return env;
    }

    // Starts a process that takes the marker `name`; returns what it got.
    QString hold(QProcess &process, const QString &name)
    {
        process.setProcessEnvironment(environment());
        process.start(QStringLiteral(GUARD_HOLDER), {name});
        if (!process.waitForStarted(10000))
            return QStringLiteral("not started");
        if (!process.canReadLine())
            process.waitForReadyRead(10000);
        return QString::fromUtf8(process.readLine()).trimmed();
    }

    static QString uniqueName() { return QStringLiteral("Somnara大全-") + QUuid::createUuid().toString(QUuid::Id128); }

private slots:
    void initTestCase()
    {
        QVERIFY(runtime.isValid());
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    }

    void secondCopyIsRefusedUntilTheFirstIsKilled()
    {
        const QString name = uniqueName();
        QProcess first;
        QCOMPARE(hold(first, name), QStringLiteral("first"));
        QProcess second;
        QCOMPARE(hold(second, name), QStringLiteral("running"));
        second.closeWriteChannel();
        QVERIFY(second.waitForFinished(10000));

        // However the first copy ends, the marker goes with it.
        first.kill();
        QVERIFY(first.waitForFinished(10000));
        QProcess third;
        QCOMPARE(hold(third, name), QStringLiteral("first"));
        third.closeWriteChannel();
        QVERIFY(third.waitForFinished(10000));
    }

    void markersWithOtherNamesDoNotMeet()
    {
        QProcess a;
        QProcess b;
        QCOMPARE(hold(a, uniqueName()), QStringLiteral("first"));
        QCOMPARE(hold(b, uniqueName()), QStringLiteral("first"));
        a.kill();
        b.kill();
        a.waitForFinished();
        b.waitForFinished();
    }

    void nameTakenByAFolderRunsAsFirstCopy()
    {
        const QString name = uniqueName();
        QVERIFY(QDir().mkpath(InstanceGuard::markerPath(name)));
        QCOMPARE(InstanceGuard::acquire(name), InstanceGuard::Result::Unavailable);
    }

    void theRunningProgramHoldsTheMarkerNamedAfterItsTitle()
    {
        QTemporaryDir work;
        QProcess program;
        program.setProcessEnvironment(environment());
        program.setWorkingDirectory(work.path()); // no database: an error box, then the window
        program.start(QStringLiteral(SOMNARA_PROGRAM), {});
        QVERIFY(program.waitForStarted(10000));

        // The marker exists once the program has come up; poll until it is held.
        QString got;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                QProcess probe;
                got = hold(probe, QStringLiteral("Somnara大全"));
                probe.kill();
                probe.waitForFinished();
                return got == QStringLiteral("running");
            }(),
            20000);

        program.kill();
        QVERIFY(program.waitForFinished(10000));
        QProcess after;
        QCOMPARE(hold(after, QStringLiteral("Somnara大全")), QStringLiteral("first"));
        after.kill();
        after.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(InstanceGuardTest)
#include "instance_guard_test.moc"
