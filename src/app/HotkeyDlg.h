#pragma once
// The program's main window: four picture buttons that scan to their destinations, a
// menu, and a settings tip over each button. It hosts the scan dispatch (as its
// window) and the delivery worker, and checks the scanner when it first comes up.

#include <QDialog>
#include <QPoint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/ButtonTips.h"
#include "app/MainWindowServices.h"
#include "app/ScanDispatch.h"
#include "core/Texts.h"

class QAction;
class QLabel;
class QMenuBar;
class QTimer;

namespace delivery {
class LaunchTaskWorker;
}

namespace ui {
class CButtonTip;
class CSkinButton;
class LaunchQuestionWindow;
class ScanProgressPanel;
} // namespace ui

namespace app {

class CHotkeyDlg : public QDialog, public IScanWindow {
    Q_OBJECT
public:
    struct Options {
        // Check the scanner 200 ms after the window first shows (off in tests that
        // drive the check themselves).
        bool checkSourceOnShow = true;
        // Start the delivery worker with the window.
        bool startWorker = true;
        // Shows the window's own message boxes (the Qt box when null).
        std::shared_ptr<core::IMessageBox> messageBox;
        // Opens the help (the help launcher when null).
        std::function<bool(const std::string&)> showHelp;
        // A scan shows its progress indicator once it has run this long: a scan that
        // ends sooner shows none.
        int indicatorDelayMs = 500;
    };

    explicit CHotkeyDlg(IMainWindowServices& services, Options options, QWidget* parent = nullptr);
    explicit CHotkeyDlg(IMainWindowServices& services, QWidget* parent = nullptr)
        : CHotkeyDlg(services, Options(), parent) {}
    ~CHotkeyDlg() override;

    // IScanWindow
    int RunOnUiThread(const std::function<int()>& call) override;
    bool UpdateMenuForDevice(bool probe) override;
    void RefreshButtons() override;
    void BringToFront() override;
    void AcquisitionStarted(const core::ScanRequest& request) override;
    void AcquisitionEnded(const core::ScanRequest& request, const ScanOutcome& outcome) override;

    void RefreshButtonsFrom(const ButtonTipSet& tips);
    void SetButtonTips(bool on);
    // Checks that a usable scanner is selected; ends the program when there is none.
    // The scanners are listed without blocking the window, which says meanwhile that it
    // is looking for them; the check goes on when the list is there.
    void CheckDefaultSource();
    // True while the start-up check waits for the list of scanners.
    bool LookingForScanners() const;
    // Runs a command of the button and menu tables (HotkeyCommand).
    void OnCommand(int command);

    ui::CSkinButton* Button(int command) const;
    ui::CButtonTip* Tip(int command) const;
    QLabel* Caption(int command) const;
    QAction* Action(int command) const;
    QMenuBar* MenuBar() const { return menuBar_; }
    ui::LaunchQuestionWindow* Question() const { return question_.get(); }
    bool TipsReady() const { return tipsReady_; }
    // The progress indicator, and how often it has been shown since the window opened.
    ui::ScanProgressPanel* Indicator() const { return progress_; }
    int IndicatorShows() const { return indicatorShows_; }

    void done(int result) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildMenu();
    void BuildButtons();
    void CheckListedSources();
    void ShowLookingForScanners(bool on);
    void ReadShowTipsOption();
    void ToggleShowTips(bool on);
    void SelectScanner();
    void ButtonSetting();
    void StopWorkers();
    void ShowIndicator();
    void UpdateIndicator();
    void HideIndicator();
    void TellWhereTheScanWent(const core::ScanRequest& request, const ScanOutcome& outcome);
    int Dlu(int units, bool horizontal) const;

    IMainWindowServices& services_;
    Options options_;
    std::shared_ptr<core::IMessageBox> box_;
    QMenuBar* menuBar_ = nullptr;
    QWidget* client_ = nullptr;
    std::map<int, ui::CSkinButton*> buttons_;
    std::map<int, ui::CButtonTip*> tips_;
    std::map<int, QLabel*> captions_;
    std::map<int, QAction*> actions_;
    QLabel* looking_ = nullptr; // "looking for scanners", shown while they are listed
    ui::ScanProgressPanel* progress_ = nullptr;
    QTimer* indicatorDelay_ = nullptr; // shows the indicator of a scan still running
    QTimer* indicatorPoll_ = nullptr;  // refreshes it from the control
    int indicatorShows_ = 0;
    std::shared_ptr<ui::LaunchQuestionWindow> question_;
    std::unique_ptr<delivery::LaunchTaskWorker> worker_;
    bool firstMessage_ = true;
    bool tipsReady_ = false;
    bool dragging_ = false;
    QPoint dragOffset_;
};

} // namespace app
