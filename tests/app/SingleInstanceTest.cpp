// Real processes: a second start hands over to the first and ends without a window; a
// killed first instance leaves nothing behind that blocks the next start.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <csignal>

#include "support/TempFolder.h"

namespace {

QProcess* Start(const QString& program, const QString& runtime) {
    auto* p = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p->setProcessEnvironment(env);
    p->start(program, {});
    return p;
}

bool WaitForLine(QProcess& p, const QByteArray& line, int ms,
                 QProcess::ProcessChannel channel = QProcess::StandardOutput) {
    QByteArray seen;
    QElapsedTimer timer;
    timer.start();
    p.setReadChannel(channel);
    auto readAll = [&] {
        return channel == QProcess::StandardOutput ? p.readAllStandardOutput() : p.readAllStandardError();
    };
    while (timer.elapsed() < ms) {
        p.waitForReadyRead(100);
        seen += readAll();
        if (seen.contains(line)) return true;
        if (p.state() == QProcess::NotRunning) {
            seen += readAll();
            return seen.contains(line);
        }
    }
    return false;
}

TEST(SingleInstance, SecondStartBringsTheFirstForwardAndAKilledFirstBlocksNothing) {
    testsupport::TempFolder runtime;
    const QString probe = QString::fromStdString(testsupport::ProgramFolder() + "instance_probe");
    const QString rt = QString::fromStdString(runtime.path());

    std::unique_ptr<QProcess> first(Start(probe, rt));
    ASSERT_TRUE(WaitForLine(*first, "window up", 20000)) << first->readAllStandardError().toStdString();

    std::unique_ptr<QProcess> second(Start(probe, rt));
    ASSERT_TRUE(second->waitForFinished(20000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    const QByteArray secondOut = second->readAllStandardOutput();
    EXPECT_TRUE(secondOut.contains("second: raised")) << secondOut.toStdString();
    EXPECT_FALSE(secondOut.contains("window up")) << "the second start shows no window";
    EXPECT_TRUE(WaitForLine(*first, "bringing the window forward", 5000, QProcess::StandardError));
    EXPECT_EQ(first->state(), QProcess::Running);

    // SIGKILL: no chance to clean up. The locks go with the process.
    ::kill(static_cast<pid_t>(first->processId()), SIGKILL);
    ASSERT_TRUE(first->waitForFinished(10000));

    std::unique_ptr<QProcess> next(Start(probe, rt));
    EXPECT_TRUE(WaitForLine(*next, "window up", 20000)) << next->readAllStandardError().toStdString();
    next->kill();
    next->waitForFinished(10000);
}

} // namespace
