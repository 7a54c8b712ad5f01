// The Option dialog and the application-entry dialog on a real X server with a window
// manager, each opened on its own by subdialog_probe and driven by real mouse clicks and
// key presses.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QMap>
#include <QPoint>
#include <QProcess>
#include <QThread>
#include <memory>
#include <sys/stat.h>

#include "settings/Profile.h"
#include "support/TempFolder.h"
#include "support/XSession.h"

namespace {

using testsupport::TempFolder;
using testsupport::XSession;

class SubDialogsOnX : public ::testing::Test {
protected:
    void SetUp() override {
#if defined(__SANITIZE_THREAD__)
        GTEST_SKIP() << "Qt's internal threads are not instrumented for ThreadSanitizer";
#endif
        QString why;
        if (!x.Start(&why)) {
            if (why.endsWith(QStringLiteral("is not installed"))) GTEST_SKIP() << why.toStdString();
            FAIL() << why.toStdString();
        }
    }
    void TearDown() override {
        if (probe && probe->state() != QProcess::NotRunning) {
            probe->kill();
            probe->waitForFinished(5000);
        }
    }

    // Starts the probe and waits until its dialog is up; the dialog's window id.
    QString Open(const QStringList& args, const QString& title) {
        QProcessEnvironment env = x.Environment(QProcessEnvironment::systemEnvironment());
        env.insert(QStringLiteral("HOME"), QString::fromStdString(home.path()));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(home / ".config"));
        probe = std::make_unique<QProcess>();
        probe->setProcessEnvironment(env);
        probe->setProcessChannelMode(QProcess::SeparateChannels);
        probe->start(QString::fromStdString(testsupport::ProgramFolder() + "subdialog_probe"), args);
        if (!probe->waitForStarted(10000)) return {};
        QElapsedTimer timer;
        timer.start();
        while (!output.contains(QStringLiteral("shown\n")) && timer.elapsed() < 20000) {
            probe->waitForReadyRead(200);
            output += QString::fromUtf8(probe->readAllStandardOutput());
        }
        for (const QString& line : output.split(QLatin1Char('\n'))) {
            const QStringList f = line.split(QLatin1Char(' '));
            if (f.size() == 4 && f[0] == QStringLiteral("pos")) at[f[1]] = QPoint(f[2].toInt(), f[3].toInt());
        }
        const QString window = x.WaitForWindow(title);
        if (!window.isEmpty()) x.WaitUntilActive(window);
        return window;
    }
    bool ClickOn(const QString& window, const char* control) {
        const QPoint p = at.value(QString::fromLatin1(control), QPoint(-1, -1));
        if (p.x() < 0) return false;
        const bool clicked = x.Click(window, p.x(), p.y());
        QThread::msleep(250);
        return clicked;
    }
    bool WaitForLine(const QString& line) {
        QElapsedTimer timer;
        timer.start();
        while (!output.contains(line) && timer.elapsed() < 20000) {
            probe->waitForReadyRead(200);
            output += QString::fromUtf8(probe->readAllStandardOutput());
        }
        return output.contains(line);
    }
    // The probe's report once its dialog has closed: "key=value" lines.
    QMap<QString, QString> Report() {
        QMap<QString, QString> values;
        if (!probe->waitForFinished(20000)) return values;
        output += QString::fromUtf8(probe->readAllStandardOutput());
        for (const QString& line : output.split(QLatin1Char('\n'))) {
            const int eq = line.indexOf(QLatin1Char('='));
            if (eq > 0 && !line.startsWith(QStringLiteral("pos "))) values[line.left(eq)] = line.mid(eq + 1);
        }
        return values;
    }

    XSession x;
    TempFolder home;
    std::unique_ptr<QProcess> probe;
    QString output;
    QMap<QString, QPoint> at;
};

const QString kMethods = QStringLiteral("Flatbed|left|lr|off|-ADF|left|lr|on|-Auto|left|lr|off|-");

// Upper, then "Off": the bindings are greyed, so the click on Top Binding changes
// nothing; Enter is OK and the entry holds the choices.
TEST_F(SubDialogsOnX, OptionDialogTakesClicksAndEnter) {
    const QString dialog = Open({QStringLiteral("option"), kMethods, QStringLiteral("ADF"), QStringLiteral("A4"),
                                 QStringLiteral("1"), QStringLiteral("0")},
                                QStringLiteral("Option"));
    ASSERT_FALSE(dialog.isEmpty()) << output.toStdString();
    ASSERT_TRUE(ClickOn(dialog, "upper"));
    ASSERT_TRUE(ClickOn(dialog, "off"));
    ASSERT_TRUE(ClickOn(dialog, "top"));
    ASSERT_TRUE(x.IsVisible(dialog));
    ASSERT_TRUE(x.Keys({QStringLiteral("Return")}));
    EXPECT_TRUE(x.WaitUntilHidden(dialog));
    const auto report = Report();
    EXPECT_EQ(report.value(QStringLiteral("result")), QStringLiteral("1"));
    EXPECT_EQ(report.value(QStringLiteral("methods")),
              QStringLiteral("Flatbed|left|lr|off|-ADF|upper|lr|off|-Auto|left|lr|off|-"));
}

TEST_F(SubDialogsOnX, OptionDialogEscapeChangesNothing) {
    const QString dialog = Open({QStringLiteral("option"), kMethods, QStringLiteral("ADF"), QStringLiteral("A4"),
                                 QStringLiteral("1"), QStringLiteral("0")},
                                QStringLiteral("Option"));
    ASSERT_FALSE(dialog.isEmpty()) << output.toStdString();
    ASSERT_TRUE(ClickOn(dialog, "top"));
    ASSERT_TRUE(x.Keys({QStringLiteral("Escape")}));
    EXPECT_TRUE(x.WaitUntilHidden(dialog));
    const auto report = Report();
    EXPECT_EQ(report.value(QStringLiteral("result")), QStringLiteral("0"));
    EXPECT_EQ(report.value(QStringLiteral("methods")), kMethods);
}

// Adding an application: a title with '|' is refused with its message and the dialog
// stays; the program is chosen in the file chooser by typing its path; a good title is
// then accepted and stored.
TEST_F(SubDialogsOnX, ApplicationEntryRefusesABarAndAddsTheProgram) {
    const std::string sets = home / "Sets.dat";
    const std::string tool = home.Write("bin/my-tool", "#!/bin/sh\n");
    ::chmod(tool.c_str(), 0755);
    ASSERT_TRUE(settings::WriteProfileString(sets, "Application1", "ListMapping", "1|Viewer|/bin/sh|"));
    const QString dialog = Open({QStringLiteral("app"), QString::fromStdString(sets), QStringLiteral("add")},
                                QStringLiteral("Add Application"));
    ASSERT_FALSE(dialog.isEmpty()) << output.toStdString();

    ASSERT_TRUE(ClickOn(dialog, "title"));
    ASSERT_TRUE(
        x.Xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("60"), QStringLiteral("a|b")}));
    ASSERT_TRUE(ClickOn(dialog, "browse"));
    QString chooser;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 20000) {
        chooser = x.ActiveWindow();
        if (!chooser.isEmpty() && chooser != dialog) break;
        QThread::msleep(100);
    }
    ASSERT_NE(chooser, dialog) << "no file chooser";
    QThread::msleep(500);
    ASSERT_TRUE(x.Xdotool(
        {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), QString::fromStdString(tool)}));
    ASSERT_TRUE(x.Keys({QStringLiteral("Return")}));
    ASSERT_TRUE(x.WaitUntilHidden(chooser));
    ASSERT_TRUE(WaitForLine(QStringLiteral("path-chosen\n"))) << output.toStdString();
    ASSERT_TRUE(x.WaitUntilActive(dialog));

    ASSERT_TRUE(ClickOn(dialog, "ok"));
    QString box;
    timer.restart();
    while (box.isEmpty() && timer.elapsed() < 20000) {
        const QStringList boxes = x.Windows(QStringLiteral("Scanner Utility"));
        if (!boxes.isEmpty()) box = boxes.first();
        QThread::msleep(100);
    }
    ASSERT_FALSE(box.isEmpty()) << "no message for the '|' in the title";
    ASSERT_TRUE(x.WaitUntilActive(box));
    ASSERT_TRUE(x.Keys({QStringLiteral("Return")}));
    ASSERT_TRUE(x.WaitUntilHidden(box));
    EXPECT_TRUE(x.IsVisible(dialog)) << "a refused title must keep the dialog open";
    EXPECT_EQ(settings::ReadProfileStringWhole(sets, "Application1", "ListMapping"), "1|Viewer|/bin/sh|");

    ASSERT_TRUE(x.WaitUntilActive(dialog));
    ASSERT_TRUE(ClickOn(dialog, "title"));
    ASSERT_TRUE(x.Keys({QStringLiteral("ctrl+a")}));
    ASSERT_TRUE(
        x.Xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("60"), QStringLiteral("Editor")}));
    ASSERT_TRUE(x.Keys({QStringLiteral("Return")}));
    EXPECT_TRUE(x.WaitUntilHidden(dialog));
    const auto report = Report();
    EXPECT_EQ(report.value(QStringLiteral("result")), QStringLiteral("1"));
    EXPECT_EQ(report.value(QStringLiteral("path")), QString::fromStdString(tool));
    EXPECT_EQ(settings::ReadProfileStringWhole(sets, "Application1", "ListMapping"),
              "1|Viewer|/bin/sh|2|Editor|" + tool + "|");
}

} // namespace
