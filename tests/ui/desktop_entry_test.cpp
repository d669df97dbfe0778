// The installation: the program, its database, its icon and a desktop entry that starts the
// program in the folder holding the database, so that it finds it.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The keys of the [Desktop Entry] group, values as written.
QMap<QString, QString> readEntry(const QString &path)
{
    QMap<QString, QString> entry;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return entry;
    bool inGroup = false;
    for (const QByteArray &raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1Char('[')))
            inGroup = line == QLatin1String("[Desktop Entry]");
        else if (inGroup && line.contains(QLatin1Char('=')) && !line.startsWith(QLatin1Char('#')))
            entry.insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1));
    }
    return entry;
}

} // namespace

class DesktopEntryTest : public QObject
{
    Q_OBJECT

    QTemporaryDir prefix;

private slots:
    void initTestCase()
    {
        QProcess install;
        install.start(QStringLiteral(CMAKE_COMMAND), {QStringLiteral("--install"), QStringLiteral(SOMNARA_BINARY_DIR),
                                                      QStringLiteral("--prefix"), prefix.path()});
        QVERIFY(install.waitForFinished(60000));
        QVERIFY2(install.exitCode() == 0, install.readAllStandardError().constData());
    }

    void installsProgramDatabaseAndIcon()
    {
        const QFileInfo program(prefix.filePath(QStringLiteral("bin/somnara")));
        QVERIFY(program.isFile() && program.isExecutable());
        const QFileInfo database(prefix.filePath(QStringLiteral("share/somnara/smra.mdb")));
        QVERIFY(database.isFile());
        QCOMPARE(database.size(), QFileInfo(QStringLiteral(SOMNARA_BINARY_DIR "/smra.mdb")).size());
        QFile icon(prefix.filePath(QStringLiteral("share/icons/hicolor/scalable/apps/somnara.svg")));
        QVERIFY(icon.open(QIODevice::ReadOnly));
        QVERIFY(icon.readAll().contains("<svg"));
    }

    void entryStartsTheProgramBesideItsDatabase()
    {
        const QString path = prefix.filePath(QStringLiteral("share/applications/somnara.desktop"));
        const QMap<QString, QString> entry = readEntry(path);
        QCOMPARE(entry.value(QStringLiteral("Type")), QStringLiteral("Application"));
        QCOMPARE(entry.value(QStringLiteral("Name")), QStringLiteral("Somnara大全"));
        QCOMPARE(entry.value(QStringLiteral("Terminal")), QStringLiteral("false"));

        // The icon is found by name in the icon theme the install filled.
        QCOMPARE(entry.value(QStringLiteral("Icon")), QStringLiteral("somnara"));

        QString exec = entry.value(QStringLiteral("Exec"));
        if (exec.startsWith(QLatin1Char('"')) && exec.endsWith(QLatin1Char('"')))
            exec = exec.mid(1, exec.size() - 2);
        QCOMPARE(QFileInfo(exec).canonicalFilePath(),
                 QFileInfo(prefix.filePath(QStringLiteral("bin/somnara"))).canonicalFilePath());

        const QDir workingFolder(entry.value(QStringLiteral("Path")));
        QVERIFY(workingFolder.isAbsolute());
        QVERIFY2(workingFolder.exists(QStringLiteral("smra.mdb")), qPrintable(workingFolder.path()));
        QCOMPARE(workingFolder.canonicalPath(), QDir(prefix.filePath(QStringLiteral("share/somnara"))).canonicalPath());

        const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
        if (!validator.isEmpty()) {
            QProcess validate;
            validate.start(validator, {path});
            QVERIFY(validate.waitForFinished(30000));
            QVERIFY2(validate.exitCode() == 0 && validate.readAllStandardOutput().isEmpty(),
                     validate.readAllStandardError().constData());
        }
    }
};

QTEST_GUILESS_MAIN(DesktopEntryTest)
#include "desktop_entry_test.moc"
