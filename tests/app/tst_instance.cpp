// Single instance across real processes: a second start is refused while the first runs, and a
// first instance killed with SIGKILL leaves nothing that stops the next start.
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

    // Starts the probe and waits for it to report that start-up is over.
    static bool waitStarted(QProcess& process)
    {
        if (!process.waitForStarted())
            return false;
        while (!process.canReadLine()) {
            if (!process.waitForReadyRead(30000))
                return false;
        }
        return process.readLine().trimmed() == "started";
    }

private slots:
    void secondStartRefusedWhileFirstRuns_thenAllowedAfterKill()
    {
        QVERIFY(m_runtime.isValid() && m_config.isValid());

        QProcess first;
        setUp(first);
        first.start();
        QVERIFY(waitStarted(first));

        QProcess second;
        setUp(second);
        second.start();
        QVERIFY(second.waitForFinished(30000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QVERIFY(second.exitCode() != 0);
        const QByteArray out = second.readAllStandardOutput();
        QCOMPARE(out, QByteArray("message: An instance of Zelvo for File has been running!\n"));
        QCOMPARE(first.state(), QProcess::Running);

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
