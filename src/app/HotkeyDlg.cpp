#include "app/HotkeyDlg.h"

#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include "app/HelpLauncher.h"
#include "delivery/LaunchTaskWorker.h"
#include "settings/IniStorage.h"
#include "settings/ProductData.h"
#include "ui/ButtonTip.h"
#include "ui/DlgAbout.h"
#include "ui/DlgSelectSource.h"
#include "ui/LaunchQuestion.h"
#include "ui/QtMessageBox.h"
#include "ui/ScanProgressPanel.h"
#include "platform/Notifications.h"
#include "ui/SkinButton.h"
#include "ui/UiText.h"
#include "core/Ids.h"

namespace app {
namespace {

// The four buttons in the order they are set up, with their pictures and captions.
struct ButtonPlace {
    int command;
    const char* image; // base name in the skin image folder
    int x, y, w, h;    // template position, dialog units
    int captionId;
    const char* captionKey; // UIString key of the caption
    int cx, cy, cw, ch;     // caption position, dialog units
};
constexpr ButtonPlace kButtons[] = {
    {kCmdApplication1, "app1", 15, 8, 50, 14, 1055, "MD_App1", 18, 51, 67, 8},
    {kCmdApplication2, "app2", 101, 8, 50, 14, 1056, "MD_App2", 104, 51, 67, 8},
    {kCmdFolder, "folder", 187, 8, 50, 14, 1058, "MD_Folder", 199, 51, 67, 8},
    {kCmdPcFax, "fax", 273, 8, 50, 14, 1059, "MD_Fax", 283, 51, 45, 8},
};
constexpr int kClientWidthDlu = 337;
constexpr int kClientHeightDlu = 66;

QString Ui(const char* key) { return ui::ToQt(core::LoadUIString(key)); }

// The caption of a destination's button, which names the destination to the user.
const char* CaptionKeyOf(int destination) {
    switch (destination) {
        case core::kDestApplication1: return "MD_App1";
        case core::kDestApplication2: return "MD_App2";
        case core::kDestFolder: return "MD_Folder";
        case core::kDestPcFax: return "MD_Fax";
        default: return "MD_Caption";
    }
}

} // namespace

CHotkeyDlg::CHotkeyDlg(IMainWindowServices& services, Options options, QWidget* parent)
    : QDialog(parent), services_(services), options_(std::move(options)) {
    setObjectName(QStringLiteral("HotkeyDlg"));
    box_ = options_.messageBox ? options_.messageBox : std::make_shared<ui::QtMessageBox>(this);
    if (!options_.showHelp) options_.showHelp = [](const std::string& target) { return ShowHelp(target); };
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(QApplication::windowIcon());
    setWindowTitle(Ui("MD_Caption"));

    BuildMenu();
    BuildButtons();
    ReadShowTipsOption();

    // The scan's indicator, under the buttons while a scan runs.
    progress_ = new ui::ScanProgressPanel(this);
    progress_->hide();
    layout()->addWidget(progress_);
    connect(progress_, &ui::ScanProgressPanel::cancelRequested, this, [this] { services_.CancelScan(); });
    indicatorDelay_ = new QTimer(this);
    indicatorDelay_->setSingleShot(true);
    connect(indicatorDelay_, &QTimer::timeout, this, [this] { ShowIndicator(); });
    indicatorPoll_ = new QTimer(this);
    indicatorPoll_->setInterval(100);
    connect(indicatorPoll_, &QTimer::timeout, this, [this] { UpdateIndicator(); });

    services_.Attach(*this);
    question_ = std::make_shared<ui::LaunchQuestionWindow>(this);
    worker_ = std::make_unique<delivery::LaunchTaskWorker>(services_.Collector(), question_);
    if (options_.startWorker) worker_->Start();
}

CHotkeyDlg::~CHotkeyDlg() { StopWorkers(); }

int CHotkeyDlg::Dlu(int units, bool horizontal) const {
    // Dialog units scale with the dialog font, as the window template is laid out in them.
    QFontMetrics fm(font());
    if (horizontal) {
        const int base = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
        return (units * base + 52 * 2) / (52 * 4);
    }
    return (units * fm.height() + 4) / 8;
}

void CHotkeyDlg::BuildMenu() {
    menuBar_ = new QMenuBar(this);
    auto add = [this](QMenu* menu, int command, const char* key) {
        QAction* action = menu->addAction(Ui(key));
        action->setData(command);
        actions_[command] = action;
        return action;
    };
    QMenu* option = menuBar_->addMenu(Ui("Option"));
    add(option, kCmdButtonSetting, "Setting");
    add(option, kCmdSelectScanner, "SelectScanner");
    QAction* tips = add(option, kCmdShowTips, "ShowTips");
    tips->setCheckable(true);
    tips->setChecked(true);
    option->addSeparator();
    add(option, kCmdExit, "Exit");
    QMenu* help = menuBar_->addMenu(Ui("Help"));
    add(help, kCmdHelpTopics, "HelpTopic");
    add(help, kCmdAbout, "About");

    for (auto& [command, action] : actions_) {
        const int id = command;
        if (id == kCmdShowTips) {
            connect(action, &QAction::triggered, this, [this](bool on) { ToggleShowTips(on); });
        } else {
            connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
        }
    }
}

void CHotkeyDlg::BuildButtons() {
    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("client"));
    client_->setFixedSize(Dlu(kClientWidthDlu, true), Dlu(kClientHeightDlu, false));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(menuBar_);
    layout->addWidget(client_);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    const std::string pics = settings::SkinImageFolder();
    for (const ButtonPlace& place : kButtons) {
        auto* button = new ui::CSkinButton(client_);
        button->setObjectName(QString::fromLatin1(place.image));
        button->setGeometry(Dlu(place.x, true), Dlu(place.y, false), Dlu(place.w, true), Dlu(place.h, false));
        button->setText(ui::ToQt(core::LoadUIString(place.captionKey))); // read by screen readers
        const std::string base = pics + place.image;
        button->SetImages(ui::ToQt(base + "_u.png"), ui::ToQt(base + "_o.png"), QString(), ui::ToQt(base + "_d.png"));
        // Each picture stands centred over its column of the template.
        const int centre = Dlu(place.x + place.w / 2, true);
        button->move(centre - button->width() / 2, Dlu(place.y, false));
        const int command = place.command;
        connect(button, &QAbstractButton::clicked, this, [this, command] { OnCommand(command); });
        buttons_[command] = button;

        auto* tip = new ui::CButtonTip(button);
        tip->SetDelays(300, 10000, 100);
        tips_[command] = tip;

        auto* caption = new QLabel(Ui(place.captionKey), client_);
        caption->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        const int width = std::max(Dlu(86, true) - 4, Dlu(place.cw, true));
        const int top = std::max(Dlu(place.cy, false), button->y() + button->height() + 4);
        caption->setGeometry(centre - width / 2, top, width, Dlu(place.ch, false) + 4);
        captions_[command] = caption;
        client_->setFixedHeight(std::max(client_->height(), caption->geometry().bottom() + Dlu(7, false)));
    }
}

void CHotkeyDlg::ReadShowTipsOption() {
    const bool on =
        settings::ReadConfigFlag(services_.UserSettingsFile(), services_.DefaultsFile(), "Config", "IsShowToolTips");
    SetButtonTips(on);
    actions_[kCmdShowTips]->setChecked(on);
}

void CHotkeyDlg::ToggleShowTips(bool on) {
    // The action has already flipped its check mark; `on` is the new state.
    SetButtonTips(on);
    settings::WriteConfigFlag(services_.UserSettingsFile(), "Config", "IsShowToolTips", on);
}

void CHotkeyDlg::SetButtonTips(bool on) {
    for (auto& [command, tip] : tips_) tip->SetActive(on);
}

ui::CSkinButton* CHotkeyDlg::Button(int command) const {
    auto it = buttons_.find(command);
    return it == buttons_.end() ? nullptr : it->second;
}
ui::CButtonTip* CHotkeyDlg::Tip(int command) const {
    auto it = tips_.find(command);
    return it == tips_.end() ? nullptr : it->second;
}
QLabel* CHotkeyDlg::Caption(int command) const {
    auto it = captions_.find(command);
    return it == captions_.end() ? nullptr : it->second;
}
QAction* CHotkeyDlg::Action(int command) const {
    auto it = actions_.find(command);
    return it == actions_.end() ? nullptr : it->second;
}

void CHotkeyDlg::OnCommand(int command) {
    const int destination = DestinationOfCommand(command);
    if (destination >= 0) {
        // A refused request (a scan or dialog under way) is ignored without a word.
        services_.StartScanTask(core::ScanRequest::ForButton(destination, services_.CurrentSource()));
        return;
    }
    switch (command) {
        case kCmdButtonSetting: ButtonSetting(); break;
        case kCmdSelectScanner: SelectScanner(); break;
        case kCmdShowTips: actions_[kCmdShowTips]->trigger(); break;
        case kCmdExit:
            services_.ReleaseAcquisition();
            close();
            break;
        case kCmdHelpTopics: options_.showHelp(settings::ProgramFolder() + "Help.chm"); break;
        case kCmdAbout: {
            ui::DlgAbout about(this);
            about.exec();
            break;
        }
        default: break;
    }
}

void CHotkeyDlg::ButtonSetting() {
    if (!services_.SetScanState(core::ScanState::Modal)) return;
    if (UpdateMenuForDevice(true)) {
        services_.RunButtonSettings(static_cast<QWidget*>(this));
        RefreshButtons();
    }
    services_.SetScanState(core::ScanState::Idle);
}

void CHotkeyDlg::SelectScanner() {
    if (!services_.SetScanState(core::ScanState::Modal)) return;
    // The dialog shows at once, saying that it is looking; the scanners are listed afresh
    // meanwhile and fill it when they arrive (nothing happens when it is closed by then).
    ui::CDlgSelectSource dialog(services_.CurrentSource(), nullptr, this);
    QPointer<ui::CDlgSelectSource> shown(&dialog);
    QPointer<CHotkeyDlg> self(this);
    auto listed = std::make_shared<bool>(false);
    auto checkWhenListed = std::make_shared<bool>(false);
    services_.ListSourcesInBackground(
        [shown, self, listed, checkWhenListed](std::vector<scancontrol::SourceEntry> sources) {
            *listed = true;
            if (shown) shown->SetSources(sources);
            // Closed before the list came: the device check that waited for it runs now.
            if (*checkWhenListed && self && self->services_.GetScanState() == core::ScanState::Idle)
                self->UpdateMenuForDevice(true);
        });
    const bool chosen = dialog.exec() == QDialog::Accepted;
    if (chosen) services_.SetCurrentSource(dialog.Result());
    if (!chosen && !*listed) {
        // Cancelled while the scanners are still being listed: the current one did not
        // change, and checking it would wait for that listing. The window goes on with
        // what it knows and checks the device once the list is in.
        *checkWhenListed = true;
        UpdateMenuForDevice(false);
    } else if (UpdateMenuForDevice(true)) {
        RefreshButtons();
        services_.RefreshDeviceKnowledge();
    }
    services_.SetScanState(core::ScanState::Idle);
}

void CHotkeyDlg::CheckDefaultSource() {
    if (services_.GetScanState() != core::ScanState::Idle || !services_.SetScanState(core::ScanState::Modal)) return;
    ShowLookingForScanners(true);
    QPointer<CHotkeyDlg> self(this);
    services_.PrepareSources([self] {
        if (self) self->CheckListedSources();
    });
}

bool CHotkeyDlg::LookingForScanners() const { return looking_ && !looking_->isHidden(); }

void CHotkeyDlg::ShowLookingForScanners(bool on) {
    if (!looking_) {
        // At the right end of the menu bar, where it covers nothing of the window.
        looking_ = new QLabel(Ui("MD_Searching"), menuBar_);
        looking_->setObjectName(QStringLiteral("lookingForScanners"));
        looking_->setContentsMargins(0, 0, Dlu(4, true), 0);
        menuBar_->setCornerWidget(looking_, Qt::TopRightCorner);
    }
    looking_->setVisible(on);
}

void CHotkeyDlg::CheckListedSources() {
    ShowLookingForScanners(false);
    SourceCheck check = services_.CheckSources();
    if (check.sources.empty()) {
        box_->Show(core::LoadMessageText(core::MessageNumber::NoDevice), core::kMbOk, 0);
        OnCommand(kCmdExit);
        return;
    }
    if (check.code == core::kSourceNotKnown) {
        if (check.sources.size() == 1) {
            services_.SetCurrentSource(check.sources.front());
        } else {
            // The scanners with their maker and model when the check knows them.
            auto listed = [&check] {
                if (check.offered.size() == check.sources.size()) return check.offered;
                std::vector<scancontrol::SourceEntry> names;
                for (const auto& name : check.sources) names.push_back({"", "", name});
                return names;
            };
            ui::CDlgSelectSource dialog(services_.CurrentSource(), listed, nullptr, this);
            if (dialog.exec() == QDialog::Accepted) services_.SetCurrentSource(dialog.Result());
        }
    }
    services_.DeviceStatus(true);
    services_.RefreshDeviceKnowledge();
    RefreshButtons();
    SetButtonTips(true);
    UpdateMenuForDevice(false);
    services_.SetScanState(core::ScanState::Idle);
}

bool CHotkeyDlg::UpdateMenuForDevice(bool probe) {
    DeviceGroup group = DeviceGroup::Free;
    if (services_.IsIdentified(services_.CurrentSource())) group = GroupOfStatus(services_.DeviceStatus(probe));
    actions_[kCmdSelectScanner]->setEnabled(group != DeviceGroup::Blocked);
    const bool usable = group == DeviceGroup::Free;
    actions_[kCmdShowTips]->setEnabled(usable);
    actions_[kCmdButtonSetting]->setEnabled(usable);
    SetButtonTips(usable && actions_[kCmdShowTips]->isChecked());
    return usable;
}

void CHotkeyDlg::RefreshButtons() {
    RefreshButtonsFrom(services_.LoadButtonTips());
    tipsReady_ = true;
}

void CHotkeyDlg::RefreshButtonsFrom(const ButtonTipSet& tips) {
    tips_[kCmdApplication1]->SetTipText(ComposeButtonTip(kCmdApplication1, tips.application1));
    tips_[kCmdApplication2]->SetTipText(ComposeButtonTip(kCmdApplication2, tips.application2));
    tips_[kCmdFolder]->SetTipText(ComposeButtonTip(kCmdFolder, tips.folder));
    tips_[kCmdPcFax]->SetTipText(ComposeButtonTip(kCmdPcFax, tips.fax));
}

void CHotkeyDlg::BringToFront() {
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    // A dialog opened over the window comes forward with it.
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != this) {
        modal->raise();
        modal->activateWindow();
    }
}

void CHotkeyDlg::AcquisitionStarted(const core::ScanRequest& request) {
    if (!ShowsIndicator(request)) return;
    progress_->SetDestination(Ui(CaptionKeyOf(request.destination)));
    progress_->SetProgress(0, 0);
    indicatorDelay_->start(options_.indicatorDelayMs);
}

void CHotkeyDlg::ShowIndicator() {
    if (services_.GetScanState() == core::ScanState::Idle) return;
    // Not while the scanner's options are still being chosen: no page has begun then.
    if (services_.ScanProgress().page == 0 && !services_.RecognitionProgress().Pending()) {
        indicatorDelay_->start(100);
        return;
    }
    UpdateIndicator();
    // Shown inside the window, which it neither raises nor activates: the user may be
    // working in another one.
    progress_->show();
    ++indicatorShows_;
    indicatorPoll_->start();
}

void CHotkeyDlg::UpdateIndicator() {
    // A scan whose end never reached the window still takes its indicator away.
    if (services_.GetScanState() == core::ScanState::Idle) {
        HideIndicator();
        return;
    }
    const scancontrol::AcquisitionProgress p = services_.ScanProgress();
    const core::RecognitionStep text = services_.RecognitionProgress();
    // Once the scanner has delivered every page, the pages still waiting for their text
    // are the scan's last step.
    if (p.page == 0 && text.Pending()) progress_->SetRecognising(text.done + 1, text.pages);
    else progress_->SetProgress(p.page, p.Percent());
}

void CHotkeyDlg::HideIndicator() {
    indicatorDelay_->stop();
    indicatorPoll_->stop();
    progress_->hide();
}

void CHotkeyDlg::AcquisitionEnded(const core::ScanRequest& request, const ScanOutcome& outcome) {
    HideIndicator();
    TellWhereTheScanWent(request, outcome);
}

void CHotkeyDlg::TellWhereTheScanWent(const core::ScanRequest& request, const ScanOutcome& outcome) {
    // The user who pressed a button of the window sees the result open; one who started
    // the scan at the device, or put the window away, is told where it went.
    if (!outcome.delivered || outcome.files.empty()) return;
    if (request.origin == core::kOriginButton && !isMinimized()) return;
    platform::Notification note;
    note.appName = core::LoadUIString("MD_Caption");
    note.summary = core::LoadUIString("MD_ScanDone");
    note.body = core::LoadUIString(CaptionKeyOf(request.destination)) + ":";
    for (const std::string& file : outcome.files) note.body += "\n" + file;
    if (!outcome.recipient.empty()) {
        std::string handed = core::LoadUIString("MD_HandedTo");
        const size_t at = handed.find("%1");
        if (at != std::string::npos) handed.replace(at, 2, outcome.recipient);
        note.body += "\n" + handed;
    }
    note.actionLabel = core::LoadUIString("MD_OpenFolder");
    note.file = outcome.files.front();
    platform::Notifier().Notify(note);
}

int CHotkeyDlg::RunOnUiThread(const std::function<int()>& call) {
    if (QThread::currentThread() == thread()) return call();
    int result = 0;
    QMetaObject::invokeMethod(
        this, [&] { result = call(); }, Qt::BlockingQueuedConnection);
    return result;
}

void CHotkeyDlg::keyPressEvent(QKeyEvent* event) {
    // Escape and Enter would end a dialog; this window closes only by its commands.
    switch (event->key()) {
        case Qt::Key_Escape:
            // While a scan shows its indicator, Escape is its Cancel button.
            if (progress_->isVisible()) services_.CancelScan();
            event->accept();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter: event->accept(); return;
        default: QDialog::keyPressEvent(event);
    }
}

void CHotkeyDlg::mousePressEvent(QMouseEvent* event) {
    // A press on a free spot drags the whole window, as its title bar would.
    if (event->button() == Qt::LeftButton) {
        QWindow* handle = windowHandle();
        if (handle && handle->startSystemMove()) {
            event->accept();
            return;
        }
        dragging_ = true;
        dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
        event->accept();
        return;
    }
    QDialog::mousePressEvent(event);
}

void CHotkeyDlg::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - dragOffset_);
        event->accept();
        return;
    }
    QDialog::mouseMoveEvent(event);
}

void CHotkeyDlg::mouseReleaseEvent(QMouseEvent* event) {
    dragging_ = false;
    QDialog::mouseReleaseEvent(event);
}

void CHotkeyDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (firstMessage_) {
        firstMessage_ = false;
        if (options_.checkSourceOnShow) QTimer::singleShot(200, this, [this] { CheckDefaultSource(); });
    }
}

void CHotkeyDlg::StopWorkers() {
    services_.StopPushIntake();
    if (worker_) worker_->Stop();
}

void CHotkeyDlg::done(int result) {
    StopWorkers();
    QDialog::done(result);
}

} // namespace app
