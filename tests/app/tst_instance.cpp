// Single instance across real processes: a second start is refused while the first runs, or hands
// its one file over; a first instance killed with SIGKILL leaves nothing that stops the next start.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestInstance : public QObject
{
    Q_OBJECT

    QTemporaryDir m_runtime;
    QTemporaryDir m_config;

    void setUp(QProcess& process)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", m_runtime.path());
        env.insert("XDG_CONFIG_HOME", m_config.path());
        process.setProcessEnvironment(env);
        process.setProgram(QStringLiteral(ZELVO_INSTANCE_PROBE));
    }

    static QByteArray nextLine(QProcess& process)
    {
        while (!process.canReadLine()) {
            if (!process.waitForReadyRead(30000))
                return {};
        }
        return process.readLine().trimmed();
    }

    // Starts the probe and waits for it to report that start-up is over.
    static bool waitStarted(QProcess& process) { return process.waitForStarted() && nextLine(process) == "started"; }

    // A second start with args, run to its end: its exit code and what it printed.
    QPair<int, QByteArray> secondStart(const QStringList& args, const QString& folder = {})
    {
        QProcess second;
        setUp(second);
        second.setArguments(args);
        second.setWorkingDirectory(folder);
        second.start();
        if (!second.waitForFinished(30000) || second.exitStatus() != QProcess::NormalExit)
            return {-1, {}};
        return {second.exitCode(), second.readAllStandardOutput()};
    }

private slots:
    void secondStartRefusedOrHandsOverWhileFirstRuns_thenAllowedAfterKill()
    {
        QVERIFY(m_runtime.isValid() && m_config.isValid());

        QProcess first;
        setUp(first);
        first.start();
        QVERIFY(waitStarted(first));

        // Without a file, or with several, today's refusal.
        const QByteArray refused("message: An instance of Zelvo for File has been running!\n");
        const auto plain = secondStart({});
        QVERIFY(plain.first > 0);
        QCOMPARE(plain.second, refused);
        const auto several = secondStart({QStringLiteral("a.bin"), QStringLiteral("b.bin")});
        QVERIFY(several.first > 0);
        QCOMPARE(several.second, refused);
        QCOMPARE(first.state(), QProcess::Running);

        // One file, named relative to the second start's folder: the first copy opens its dialog
        // with the full path; the second ends quietly.
        QTemporaryDir files;
        QVERIFY(files.isValid());
        const auto handed = secondStart({QStringLiteral("big.bin")}, files.path());
        QCOMPARE(handed.first, 0);
        QCOMPARE(handed.second, QByteArray());
        QCOMPARE(nextLine(first), "dialog: CComminuteDlg " + files.filePath("big.bin").toUtf8());

        // While that dialog is open the first copy says it is busy.
        const auto busy = secondStart({files.filePath(QStringLiteral("big.bin.DAV"))});
        QCOMPARE(busy.first, 0);
        QCOMPARE(busy.second, QByteArray());
        QCOMPARE(nextLine(first), QByteArray("message: Zelvo for File is busy with another dialog. Close it first."));

        // kill -9: no clean-up code of the first instance runs.
        first.kill();
        QVERIFY(first.waitForFinished(30000));
        QCOMPARE(first.exitStatus(), QProcess::CrashExit);
        QVERIFY2(QFile::exists(m_runtime.filePath("Zelvo for File.lock")), "the lock file is left behind");

        QProcess third;
        setUp(third);
        third.setArguments({QStringLiteral("--exit")});
        third.start();
        QVERIFY(waitStarted(third));
        QVERIFY(third.waitForFinished(30000));
        QCOMPARE(third.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestInstance)
#include "tst_instance.moc"
