// The real program on a real X server with a window manager, driven by real key presses
// and mouse clicks as a user would: the window's modal dialogs must stay up while they
// are used, end with the user's answer, and leave its effect behind (the chosen scanner
// in the user's Prdct.dat). Offscreen widget tests cannot see a dialog that the window
// system hides or a modal loop that ends early; these can.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPoint>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <memory>

#include "settings/Profile.h"
#include "support/SlowScanner.h"
#include "support/TempFolder.h"
#include "support/XSession.h"

namespace {

using testsupport::TempFolder;
using testsupport::XSession;

const QString kMainTitle = QStringLiteral("Scanner Utility");
const QString kSelectTitle = QStringLiteral("Select Scanner");
const QString kAboutTitle = QStringLiteral("About");
const QString kOptionsTitle = QStringLiteral("Scanner settings: test:0");
const QString kButtonSettingsTitle = QStringLiteral("Button Settings");

class DialogsOnX : public ::testing::Test {
protected:
    void SetUp() override {
#if defined(__SANITIZE_THREAD__)
        // The program under test is built for ThreadSanitizer too, and Debian's Qt is not:
        // Qt's own hand-offs between its threads read as races and end the program.
        GTEST_SKIP() << "Qt's internal threads are not instrumented for ThreadSanitizer";
#endif
        QString why;
        if (!x.Start(&why)) {
            // Without the tools there is nothing to run on; with them, a server or window
            // manager that does not come up is a failure.
            if (why.endsWith(QStringLiteral("is not installed"))) GTEST_SKIP() << why.toStdString();
            FAIL() << why.toStdString();
        }
        shots = QString::fromStdString(testsupport::ProgramFolder()) + QStringLiteral("x-screens/");
        QDir().mkpath(shots);
    }
    void TearDown() override {
        if (program && program->state() != QProcess::NotRunning) {
            program->kill();
            program->waitForFinished(5000);
        }
    }

    // Starts scanner-utility for a new user (empty home) with the SANE configuration in
    // `saneConfig` (the repository's: the two test scanners).
    void StartProgram(const std::string& saneConfig = {}, const QStringList& extraEnvironment = {}) {
        QDir().mkpath(QString::fromStdString(home / "run"));
        QFile::setPermissions(QString::fromStdString(home / "run"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QProcessEnvironment env = x.Environment(QProcessEnvironment::systemEnvironment());
        env.insert(QStringLiteral("HOME"), QString::fromStdString(home.path()));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(home / ".config"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(home / "run"));
        env.remove(QStringLiteral("XDG_PICTURES_DIR"));
        if (!saneConfig.empty()) env.insert(QStringLiteral("SANE_CONFIG_DIR"), QString::fromStdString(saneConfig));
        for (const QString& setting : extraEnvironment)
            env.insert(setting.section(QLatin1Char('='), 0, 0), setting.section(QLatin1Char('='), 1));
        program = std::make_unique<QProcess>();
        program->setProcessEnvironment(env);
        program->setProcessChannelMode(QProcess::ForwardedChannels);
        program->start(QString::fromStdString(testsupport::ProgramFolder() + "scanner-utility"), {});
        ASSERT_TRUE(program->waitForStarted(10000));
    }

    // A returning user: test:0 is the current scanner, and Scan To Folder scans to JPEG
    // at 75 dpi into `out`, first showing the scanner's options.
    void PrepareUser(const std::string& out) {
        const std::string user = home / ".config/ZAV/Quorin/";
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(user)));
        const std::string product = user + "Prdct.dat";
        const std::string sets = user + "Sets.dat";
        ASSERT_TRUE(QFile::copy(QString::fromStdString(testsupport::ProgramFolder() + "Prdct.dat"),
                                QString::fromStdString(product)));
        ASSERT_TRUE(QFile::copy(QString::fromStdString(testsupport::ProgramFolder() + "Sets.dat"),
                                QString::fromStdString(sets)));
        QFile::setPermissions(QString::fromStdString(product), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QFile::setPermissions(QString::fromStdString(sets), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        ASSERT_TRUE(settings::WriteProfileString(product, "Common", "SourceName", "test:0"));
        const std::pair<const char*, std::string> folder[] = {{"Savefolder", out},
                                                              {"Savetype", "JPEG"},
                                                              {"Resolution", "75"},
                                                              {"Openfileoption", "false"},
                                                              {"IsShowDriver", "true"}};
        for (const auto& [key, value] : folder) ASSERT_TRUE(settings::WriteProfileString(sets, "Folder", key, value));
    }

    // The current source stored in the user's Prdct.dat ("" when none is stored).
    std::string StoredSource() const {
        QFile file(QString::fromStdString(home / ".config/ZAV/Quorin/Prdct.dat"));
        if (!file.open(QIODevice::ReadOnly)) return {};
        const QString text = QString::fromUtf8(file.readAll());
        const auto match =
            QRegularExpression(QStringLiteral("^SourceName=(.*?)\\r?$"), QRegularExpression::MultilineOption)
                .match(text);
        return match.hasMatch() ? match.captured(1).toStdString() : std::string();
    }

    // Waits for the program to end by itself; its exit code, or -1.
    int WaitForExit(int ms = 20000) {
        if (!program->waitForFinished(ms)) return -1;
        return program->exitStatus() == QProcess::NormalExit ? program->exitCode() : -1;
    }

    void Shoot(const char* name) { x.Screenshot(shots + QString::fromLatin1(name) + QStringLiteral(".png")); }

    // The centre of row `row` of the selection dialog's scanner list, inside the dialog.
    static QPoint ListRow(int row) { return QPoint(40, 38 + 14 * row); }
    static QPoint OkButton(int width, int height) { return QPoint(width - 137, height - 23); }
    // The centre of the main window's Scan To Folder picture, inside the window.
    static QPoint FolderButton(int width) { return QPoint(width * 212 / 337, 68); }

    XSession x;
    TempFolder home;
    QString shots;
    std::unique_ptr<QProcess> program;
};

// A first run with two scanners: the user must choose one. The dialog cannot be closed
// or cancelled while nothing is chosen; a click on a scanner keeps it open; OK stores it.
TEST_F(DialogsOnX, FirstRunChoosesAScannerWithTheMouse) {
    StartProgram();
    const QString dialog = x.WaitForWindow(kSelectTitle);
    ASSERT_FALSE(dialog.isEmpty()) << "no scanner selection on a first run with two scanners";
    ASSERT_TRUE(x.WaitUntilActive(dialog));
    Shoot("select-scanner-first-run");

    // Nothing chosen yet: Escape and the window manager's close (Alt+F4) are refused.
    ASSERT_TRUE(x.Keys({QStringLiteral("Escape"), QStringLiteral("alt+F4")}));
    QThread::msleep(500);
    EXPECT_TRUE(x.IsVisible(dialog)) << "closed before a scanner was chosen";

    int left = 0, top = 0, width = 0, height = 0;
    ASSERT_TRUE(x.Geometry(dialog, &left, &top, &width, &height));
    const QPoint second = ListRow(1);
    ASSERT_TRUE(x.Click(dialog, second.x(), second.y()));
    QThread::msleep(500);
    Shoot("select-scanner-chosen");
    ASSERT_TRUE(x.IsVisible(dialog)) << "the dialog vanished when a scanner was selected";
    EXPECT_EQ(x.Windows(kMainTitle).size(), 1) << "a message box came up";

    const QPoint ok = OkButton(width, height);
    ASSERT_TRUE(x.Click(dialog, ok.x(), ok.y()));
    EXPECT_TRUE(x.WaitUntilHidden(dialog));
    EXPECT_EQ(StoredSource(), "test:1");

    // The main window is still there, alone, and closes normally.
    const QString main = x.WaitForWindow(kMainTitle);
    ASSERT_FALSE(main.isEmpty());
    EXPECT_EQ(x.Windows(kMainTitle).size(), 1) << "a message box came up";
    ASSERT_TRUE(x.WaitUntilActive(main));
    ASSERT_TRUE(x.Keys({QStringLiteral("alt+F4")}));
    EXPECT_EQ(WaitForExit(), 0);
}

// The same choice with the keyboard only. The list takes the focus on its first row
// without choosing it; Down moves to the second and chooses it, Enter confirms.
TEST_F(DialogsOnX, FirstRunChoosesAScannerWithTheKeyboard) {
    StartProgram();
    const QString dialog = x.WaitForWindow(kSelectTitle);
    ASSERT_FALSE(dialog.isEmpty());
    ASSERT_TRUE(x.WaitUntilActive(dialog));
    ASSERT_TRUE(x.Keys({QStringLiteral("Down")}));
    QThread::msleep(300);
    ASSERT_TRUE(x.IsVisible(dialog)) << "the dialog vanished when a scanner was selected";
    ASSERT_TRUE(x.Keys({QStringLiteral("Return")}));
    EXPECT_TRUE(x.WaitUntilHidden(dialog));
    EXPECT_EQ(StoredSource(), "test:1");

    // Later, Option > Select Scanner offers the list again with the current scanner
    // chosen; Up and Enter switch to the other one.
    const QString main = x.WaitForWindow(kMainTitle);
    ASSERT_TRUE(x.WaitUntilActive(main));
    QThread::msleep(500); // the start-up check finishes after the dialog
    ASSERT_TRUE(x.Keys({QStringLiteral("alt+o"), QStringLiteral("s")}));
    const QString again = x.WaitForWindow(kSelectTitle);
    ASSERT_FALSE(again.isEmpty()) << "Option > Select Scanner showed no dialog";
    ASSERT_TRUE(x.WaitUntilActive(again));
    ASSERT_TRUE(x.Keys({QStringLiteral("Up"), QStringLiteral("Return")}));
    EXPECT_TRUE(x.WaitUntilHidden(again));
    EXPECT_EQ(StoredSource(), "test:0");

    // And Cancel (Escape) keeps the current one.
    ASSERT_TRUE(x.WaitUntilActive(main));
    ASSERT_TRUE(x.Keys({QStringLiteral("alt+o"), QStringLiteral("s")}));
    const QString third = x.WaitForWindow(kSelectTitle);
    ASSERT_FALSE(third.isEmpty());
    ASSERT_TRUE(x.WaitUntilActive(third));
    ASSERT_TRUE(x.Keys({QStringLiteral("Down"), QStringLiteral("Escape")}));
    EXPECT_TRUE(x.WaitUntilHidden(third));
    EXPECT_EQ(StoredSource(), "test:0");
    ASSERT_TRUE(x.WaitUntilActive(main));
    ASSERT_TRUE(x.Keys({QStringLiteral("alt+F4")}));
    EXPECT_EQ(WaitForExit(), 0);
}

// Option > Select Scanner shows at once while the scanners are still being listed: the
// dialog is up while a SANE backend holds the listing, says it is looking, and OK does
// nothing yet; once the listing ends the scanners are there and the choice is stored.
TEST_F(DialogsOnX, SelectScannerShowsWhileTheListingIsHeld) {
    // The two test scanners, and the held backend after them.
    TempFolder sane;
    const std::string config = testsupport::WriteSlowSaneConfig(sane);
    QFile dll(QString::fromStdString(config + "/dll.conf"));
    ASSERT_TRUE(dll.open(QIODevice::Append));
    dll.write("\ngate\n");
    dll.close();
    const std::string hold = home / "hold-listing";
    PrepareUser(home / "out/");
    StartProgram(config, {QStringLiteral("LD_LIBRARY_PATH=") +
                              QString::fromStdString(testsupport::ProgramFolder() + "sane-gate"),
                          QStringLiteral("SU_SANE_GATE_HOLD=") + QString::fromStdString(hold)});
    const QString main = x.WaitForWindow(kMainTitle);
    ASSERT_FALSE(main.isEmpty());
    ASSERT_TRUE(x.WaitUntilActive(main));
    QThread::msleep(500); // the start-up check ends

    QFile(QString::fromStdString(hold)).open(QIODevice::WriteOnly);
    ASSERT_TRUE(x.Keys({QStringLiteral("alt+o"), QStringLiteral("s")}));
    const QString dialog = x.WaitForWindow(kSelectTitle);
    ASSERT_FALSE(dialog.isEmpty()) << "no dialog while the listing is held";
    bool waiting = false;
    for (int i = 0; i < 500 && !waiting; ++i) {
        waiting = QFile::exists(QString::fromStdString(hold + ".waiting"));
        if (!waiting) QThread::msleep(20);
    }
    ASSERT_TRUE(waiting) << "the listing did not reach the held backend";
    ASSERT_TRUE(x.WaitUntilActive(dialog));
    Shoot("select-scanner-looking");
    ASSERT_TRUE(x.Keys({QStringLiteral("Return")}));
    QThread::msleep(300);
    EXPECT_TRUE(x.IsVisible(dialog)) << "OK took effect with no scanner listed";
    EXPECT_TRUE(QFile::exists(QString::fromStdString(hold + ".waiting"))) << "the listing ended meanwhile";

    QFile::remove(QString::fromStdString(hold));
    for (int i = 0; i < 500 && QFile::exists(QString::fromStdString(hold + ".waiting")); ++i) QThread::msleep(20);
    QThread::msleep(500); // the list reaches the dialog
    Shoot("select-scanner-listed");
    // test:0, the current scanner, is chosen; Down and Enter choose test:1.
    ASSERT_TRUE(x.Keys({QStringLiteral("Down"), QStringLiteral("Return")}));
    EXPECT_TRUE(x.WaitUntilHidden(dialog));
    EXPECT_EQ(StoredSource(), "test:1");

    // Cancelled while the listing is held again, the dialog closes and the window is
    // usable at once: About opens over it before the listing ends.
    ASSERT_TRUE(x.WaitUntilActive(main));
    QFile(QString::fromStdString(hold)).open(QIODevice::WriteOnly);
    ASSERT_TRUE(x.Keys({QStringLiteral("alt+o"), QStringLiteral("s")}));
    const QString again = x.WaitForWindow(kSelectTitle);
    ASSERT_FALSE(again.isEmpty());
    waiting = false;
    for (int i = 0; i < 500 && !waiting; ++i) {
        waiting = QFile::exists(QString::fromStdString(hold + ".waiting"));
        if (!waiting) QThread::msleep(20);
    }
    ASSERT_TRUE(waiting) << "the second listing did not reach the held backend";
    ASSERT_TRUE(x.WaitUntilActive(again));
    ASSERT_TRUE(x.Keys({QStringLiteral("Escape")}));
    EXPECT_TRUE(x.WaitUntilHidden(again));
    ASSERT_TRUE(x.WaitUntilActive(main));
    ASSERT_TRUE(x.Keys({QStringLiteral("alt+h"), QStringLiteral("a")}));
    const QString about = x.WaitForWindow(kAboutTitle);
    EXPECT_FALSE(about.isEmpty()) << "the window waited for the listing after Cancel";
    EXPECT_TRUE(QFile::exists(QString::fromStdString(hold + ".waiting"))) << "the listing ended meanwhile";
    if (!about.isEmpty()) {
        ASSERT_TRUE(x.WaitUntilActive(about));
        Shoot("select-scanner-cancelled-about");
        ASSERT_TRUE(x.Keys({QStringLiteral("Return")}));
        EXPECT_TRUE(x.WaitUntilHidden(about));
    }
    QFile::remove(QString::fromStdString(hold));
    for (int i = 0; i < 500 && QFile::exists(QString::fromStdString(hold + ".waiting")); ++i) QThread::msleep(20);
    EXPECT_EQ(StoredSource(), "test:1");
    ASSERT_TRUE(x.WaitUntilActive(main));
    ASSERT_TRUE(x.Keys({QStringLiteral("alt+F4")}));
    EXPECT_EQ(WaitForExit(), 0);
}

// Help > About opens the About box over the window; Enter closes it and the window
// goes on.
TEST_F(DialogsOnX, AboutOpensFromTheMenuAndClosesWithEnter) {
    StartProgram();
    const QString dialog = x.WaitForWindow(kSelectTitle);
    ASSERT_FALSE(dialog.isEmpty());
    ASSERT_TRUE(x.WaitUntilActive(dialog));
    // Space chooses the row that has the focus.
    ASSERT_TRUE(x.Keys({QStringLiteral("space"), QStringLiteral("Return")}));
    ASSERT_TRUE(x.WaitUntilHidden(dialog));
    EXPECT_EQ(StoredSource(), "test:0");

    const QString main = x.WaitForWindow(kMainTitle);
    ASSERT_TRUE(x.WaitUntilActive(main));
    QThread::msleep(500);
    ASSERT_TRUE(x.Keys({QStringLiteral("alt+h"), QStringLiteral("a")}));
    const QString about = x.WaitForWindow(kAboutTitle);
    ASSERT_FALSE(about.isEmpty()) << "Help > About showed nothing";
    ASSERT_TRUE(x.WaitUntilActive(about));
    Shoot("about");
    ASSERT_TRUE(x.Keys({QStringLiteral("Return")}));
    EXPECT_TRUE(x.WaitUntilHidden(about));
    EXPECT_TRUE(x.IsVisible(main));
    EXPECT_EQ(program->state(), QProcess::Running);
    ASSERT_TRUE(x.WaitUntilActive(main));
    ASSERT_TRUE(x.Keys({QStringLiteral("alt+F4")}));
    EXPECT_EQ(WaitForExit(), 0);
}

// With no scanner at all the window says so in a message box; its OK ends the program.
TEST_F(DialogsOnX, NoScannerShowsTheMessageAndItsOkEndsTheProgram) {
    TempFolder sane;
    sane.Write("dll.conf", "# no backends\n");
    StartProgram(sane.path());
    const QString main = x.WaitForWindow(kMainTitle);
    ASSERT_FALSE(main.isEmpty());
    QString box;
    QElapsedTimer timer;
    timer.start();
    while (box.isEmpty() && timer.elapsed() < 20000) {
        for (const QString& w : x.Windows(kMainTitle))
            if (w != main) box = w;
        QThread::msleep(50);
    }
    ASSERT_FALSE(box.isEmpty()) << "no message box over the window";
    ASSERT_TRUE(x.WaitUntilActive(box));
    Shoot("no-scanner-message");
    EXPECT_EQ(program->state(), QProcess::Running) << "the program must wait for the user's OK";
    ASSERT_TRUE(x.Keys({QStringLiteral("Return")}));
    EXPECT_EQ(WaitForExit(), 0);
}

// Scan To Folder set to show the scanner's options: a click on the button opens them
// over the window; Enter starts the scan, and the page arrives in the save folder.
TEST_F(DialogsOnX, ScannerOptionsOpenFromTheFolderButtonAndEnterScans) {
    TempFolder out;
    PrepareUser(out.path());
    StartProgram();
    const QString main = x.WaitForWindow(kMainTitle);
    ASSERT_FALSE(main.isEmpty());
    ASSERT_TRUE(x.WaitUntilActive(main));
    QThread::msleep(800); // the start-up check runs shortly after the window shows
    EXPECT_TRUE(x.Windows(kSelectTitle).isEmpty()) << "a known scanner needs no selection";

    int left = 0, top = 0, width = 0, height = 0;
    ASSERT_TRUE(x.Geometry(main, &left, &top, &width, &height));
    // The Scan To Folder picture: the third of four columns, below the menu bar.
    ASSERT_TRUE(x.Click(main, FolderButton(width).x(), FolderButton(width).y()));
    const QString options = x.WaitForWindow(kOptionsTitle, 30000);
    ASSERT_FALSE(options.isEmpty()) << "the scanner options did not open";
    ASSERT_TRUE(x.WaitUntilActive(options));
    Shoot("scanner-options");
    ASSERT_TRUE(x.Keys({QStringLiteral("Return")}));
    EXPECT_TRUE(x.WaitUntilHidden(options));

    QStringList files;
    QElapsedTimer timer;
    timer.start();
    while (files.isEmpty() && timer.elapsed() < 60000) {
        files = QDir(QString::fromStdString(out.path())).entryList({QStringLiteral("*.JPEG")}, QDir::Files);
        QThread::msleep(100);
    }
    ASSERT_EQ(files.size(), 1) << "no page in the save folder";
    EXPECT_TRUE(files[0].endsWith(QStringLiteral("0001.JPEG"))) << files[0].toStdString();
    QThread::msleep(500);
    EXPECT_EQ(x.Windows(kMainTitle).size(), 1) << "a message box came up";
    ASSERT_TRUE(x.WaitUntilActive(main));
    ASSERT_TRUE(x.Keys({QStringLiteral("alt+F4")}));
    EXPECT_EQ(WaitForExit(), 0);
}

// A feeder scan on the slow test scanner: the window grows a strip with the scan's
// progress and a Cancel button, without taking the focus from the window the user went
// on to; a real click on Cancel in the middle of the scan ends it with nothing saved,
// and the strip goes.
TEST_F(DialogsOnX, CancelOfTheScanIndicatorStopsAFeederScan) {
    TempFolder out, sane;
    PrepareUser(out.path());
    const std::string sets = home / ".config/ZAV/Quorin/Sets.dat";
    const std::pair<const char*, const char*> feeder[] = {
        {"IsShowDriver", "false"}, {"Scanmethod", "ADF"}, {"Savetype", "Multi-page PDF"}, {"Colormode", "Gray"}};
    for (const auto& [key, value] : feeder) ASSERT_TRUE(settings::WriteProfileString(sets, "Folder", key, value));
    StartProgram(testsupport::WriteSlowSaneConfig(sane));
    const QString main = x.WaitForWindow(kMainTitle);
    ASSERT_FALSE(main.isEmpty());
    ASSERT_TRUE(x.WaitUntilActive(main));
    QThread::msleep(800); // the start-up check runs shortly after the window shows
    int left = 0, top = 0, width = 0, height = 0;
    ASSERT_TRUE(x.Geometry(main, &left, &top, &width, &height));
    const int plain = height;
    ASSERT_TRUE(x.Click(main, FolderButton(width).x(), FolderButton(width).y()));
    // The user turns to another window while the scan runs.
    QProcess elsewhere;
    elsewhere.setProcessEnvironment(x.Environment(QProcessEnvironment::systemEnvironment()));
    elsewhere.start(QStringLiteral("xmessage"),
                    {QStringLiteral("-title"), QStringLiteral("Elsewhere"), QStringLiteral("another program")});
    const QString other = x.WaitForWindow(QStringLiteral("Elsewhere"));
    ASSERT_FALSE(other.isEmpty()) << "xmessage did not show: " << elsewhere.readAllStandardError().toStdString();
    // A click makes it the window the user works in, however late the window manager
    // placed the focus for the scan's button press (on a loaded machine that can come
    // after the first click: the user clicks again).
    bool active = false;
    for (int attempt = 0; attempt < 3 && !active; ++attempt) {
        ASSERT_TRUE(x.Click(other, 5, 5));
        active = x.WaitUntilActive(other, 4000);
    }
    ASSERT_TRUE(active) << "the other program's window did not take the focus";
    QElapsedTimer timer;
    timer.start();
    while (height == plain && timer.elapsed() < 30000) {
        QThread::msleep(50);
        ASSERT_TRUE(x.Geometry(main, &left, &top, &width, &height));
    }
    ASSERT_GT(height, plain) << "no progress strip while scanning";
    QThread::msleep(1500); // the feeder scan goes on under the strip
    EXPECT_EQ(x.ActiveWindow(), other) << "the strip took the focus";
    Shoot("scan-progress");
    // Cancel: the right end of the strip that was added under the buttons.
    const int strip = height - plain;
    ASSERT_TRUE(x.Click(main, width - 50, height - strip / 2));
    timer.restart();
    while (height != plain && timer.elapsed() < 30000) {
        QThread::msleep(50);
        ASSERT_TRUE(x.Geometry(main, &left, &top, &width, &height));
    }
    EXPECT_EQ(height, plain) << "the strip stayed after Cancel";
    // A scan that went on would bring the strip back with its next page.
    QThread::msleep(2000);
    ASSERT_TRUE(x.Geometry(main, &left, &top, &width, &height));
    EXPECT_EQ(height, plain);
    EXPECT_TRUE(QDir(QString::fromStdString(out.path())).entryList(QDir::Files).isEmpty()) << "a file was saved";
    QStringList pages =
        QDir(QString::fromStdString(home / ".config/ZAV/Quorin/TempImage")).entryList(QDir::Files | QDir::Hidden);
    pages.removeAll(QStringLiteral(".users.lock")); // the lock the folder's users share
    EXPECT_TRUE(pages.isEmpty()) << "a page was left in the temporary folder";
    EXPECT_EQ(x.Windows(kMainTitle).size(), 1) << "a message box came up";
    EXPECT_EQ(program->state(), QProcess::Running);
    elsewhere.kill();
    elsewhere.waitForFinished(5000);
    ASSERT_TRUE(x.WaitUntilActive(main));
    ASSERT_TRUE(x.Keys({QStringLiteral("alt+F4")}));
    EXPECT_EQ(WaitForExit(), 0);
}

// Option > Button Setting opens the settings over the window. A click on the Scan To
// Folder picture shows its page; two Tabs reach its scan method, Down picks the next
// method and Enter is OK: the choice is in the user's Sets.dat and the window goes on.
TEST_F(DialogsOnX, ButtonSettingsOpenFromTheMenuAndOkStoresTheChange) {
    TempFolder out;
    PrepareUser(out.path());
    const std::string sets = home / ".config/ZAV/Quorin/Sets.dat";
    ASSERT_TRUE(settings::WriteProfileString(sets, "Folder", "IsShowDriver", "false"));
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(home / "Pictures")));
    StartProgram();
    const QString main = x.WaitForWindow(kMainTitle);
    ASSERT_FALSE(main.isEmpty());
    ASSERT_TRUE(x.WaitUntilActive(main));
    QThread::msleep(800); // the start-up check runs shortly after the window shows
    ASSERT_TRUE(x.Keys({QStringLiteral("alt+o"), QStringLiteral("b")}));
    const QString dialog = x.WaitForWindow(kButtonSettingsTitle);
    ASSERT_FALSE(dialog.isEmpty()) << "Option > Button Setting showed no dialog";
    ASSERT_TRUE(x.WaitUntilActive(dialog));

    int left = 0, top = 0, width = 0, height = 0;
    ASSERT_TRUE(x.Geometry(dialog, &left, &top, &width, &height));
    // The Scan To Folder picture: the third of four columns at the top.
    ASSERT_TRUE(x.Click(dialog, width * 5 / 8, 45));
    QThread::msleep(300);
    ASSERT_TRUE(x.IsVisible(dialog)) << "the dialog vanished at the click on a page";
    ASSERT_TRUE(x.Keys({QStringLiteral("Tab"), QStringLiteral("Tab"), QStringLiteral("Down")}));
    QThread::msleep(300);
    Shoot("button-settings-folder");
    ASSERT_TRUE(x.Keys({QStringLiteral("Return")}));
    EXPECT_TRUE(x.WaitUntilHidden(dialog));
    const std::string method = settings::ReadProfileString(sets, "Folder", "Scanmethod");
    EXPECT_FALSE(method.empty());
    EXPECT_NE(method, "Flatbed") << "the new scan method was not stored";
    EXPECT_EQ(settings::ReadProfileString(sets, "SetAll", "Curdlg"), "TabFolder");

    EXPECT_EQ(x.Windows(kMainTitle).size(), 1) << "a message box came up";
    ASSERT_TRUE(x.WaitUntilActive(main));
    ASSERT_TRUE(x.Keys({QStringLiteral("alt+F4")}));
    EXPECT_EQ(WaitForExit(), 0);
}

} // namespace
