#include "ui/DlgSetting.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "core/Texts.h"
#include "platform/Services.h"
#include "settings/IniStorage.h"
#include "settings/ProductData.h"
#include "settings/Profile.h"
#include "ui/DlgPages.h"
#include "ui/SkinButton.h"
#include "ui/UiText.h"

namespace ui {
namespace {

// The tabs in page order: skin picture, caption key.
struct Tab {
    const char* image;
    const char* captionKey;
};
constexpr Tab kTabs[] = {{"app1", "SD_App1"}, {"app2", "SD_App2"}, {"folder", "SD_Folder"}, {"fax", "SD_Fax"}};

// True when the two records hold the same values (the scan method lists compared by
// their stored text).
bool SameValues(const settings::CommonSetting& a, const settings::CommonSetting& b) {
    auto methods = [](const settings::CommonSetting& r) {
        return r.GetScanMethodArr() ? r.GetScanMethodArr()->ToText() : std::string();
    };
    if (a.GetScanMethod() != b.GetScanMethod() || methods(a) != methods(b) || a.GetColorMode() != b.GetColorMode() ||
        a.GetResolution() != b.GetResolution() || a.GetPaperSize() != b.GetPaperSize() ||
        a.GetCompressionLevel() != b.GetCompressionLevel() || a.GetFileName() != b.GetFileName() ||
        a.GetSaveType() != b.GetSaveType() || a.GetSaveFolder() != b.GetSaveFolder() ||
        a.GetPDFCompression() != b.GetPDFCompression() || a.GetTifCompression() != b.GetTifCompression() ||
        a.GetShowDriver() != b.GetShowDriver() || a.GetSearchablePdf() != b.GetSearchablePdf() ||
        a.GetOcrLanguages() != b.GetOcrLanguages())
        return false;
    auto* appA = dynamic_cast<const settings::AppElements*>(&a);
    auto* appB = dynamic_cast<const settings::AppElements*>(&b);
    if (appA && appB)
        return appA->GetAppName() == appB->GetAppName() && appA->GetAppPath() == appB->GetAppPath() &&
               appA->GetAppListId() == appB->GetAppListId();
    auto* folderA = dynamic_cast<const settings::FolderElements*>(&a);
    auto* folderB = dynamic_cast<const settings::FolderElements*>(&b);
    if (folderA && folderB) return folderA->GetOpenFolder() == folderB->GetOpenFolder();
    return true;
}

} // namespace

DLGSetting::DLGSetting(QWidget* parent, std::function<void()> settingsLoaded) : QDialog(parent) {
    setObjectName(QStringLiteral("DLGSetting"));
    setWindowTitle(UiString("SD_Caption"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    storedBefore_ = platform::FileSystem().Exists(settings::UserSettingsFilePath());
    bundle_.LoadAll();
    if (settingsLoaded) settingsLoaded();
    loaded_ = {std::make_unique<settings::AppElements>(bundle_.Application1()),
               std::make_unique<settings::AppElements>(bundle_.Application2()),
               std::make_unique<settings::FolderElements>(bundle_.Folder()),
               std::make_unique<settings::FaxElements>(bundle_.Fax())};

    auto* layout = new QVBoxLayout(this);
    auto* tabs = new QGridLayout;
    const std::string pics = settings::SkinImageFolder();
    for (int i = 0; i < 4; ++i) {
        auto* button = new CSkinButton(this);
        button->setObjectName(QStringLiteral("tab") + QString::number(i));
        const std::string base = pics + kTabs[i].image;
        button->SetImages(ToQt(base + "_u.png"), ToQt(base + "_o.png"), QString(), ToQt(base + "_d.png"));
        button->setText(UiString(kTabs[i].captionKey));
        button->setCheckable(true);
        auto* caption = new QLabel(UiString(kTabs[i].captionKey), this);
        caption->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        tabs->addWidget(button, 0, i, Qt::AlignHCenter);
        tabs->addWidget(caption, 1, i, Qt::AlignHCenter);
        tabs->setColumnStretch(i, 1);
        connect(button, &QAbstractButton::clicked, this, [this, i] { SelectPage(i); });
        tabs_[static_cast<size_t>(i)] = button;
    }
    layout->addLayout(tabs);

    stack_ = new QStackedWidget(this);
    pages_ = {new CDlgApp(stack_), new CDlgApp2(stack_), new CDlgFolder(stack_), new CDlgFax(stack_)};
    settings::CommonSetting* records[] = {&bundle_.Application1(), &bundle_.Application2(), &bundle_.Folder(),
                                          &bundle_.Fax()};
    for (size_t i = 0; i < pages_.size(); ++i) {
        stack_->addWidget(pages_[i]);
        pages_[i]->LoadFrom(*records[i]);
        connect(pages_[i], &CDlgPage::okClicked, this, &DLGSetting::accept);
        connect(pages_[i], &CDlgPage::cancelClicked, this, &DLGSetting::reject);
    }
    layout->addWidget(stack_, 1);
    SelectPage(bundle_.GetCurrentPage());
}

DLGSetting::~DLGSetting() = default;

void DLGSetting::ShowPage(int index) {
    stack_->setCurrentIndex(index);
    // Enter presses the OK of the page in view.
    pages_[static_cast<size_t>(index)]->Controls().ok->setDefault(true);
    // The current page's button stays pressed, as a selected tab.
    for (int i = 0; i < 4; ++i) tabs_[static_cast<size_t>(i)]->setChecked(i == index);
}

void DLGSetting::SelectPage(int index) {
    if (index < 0 || index > 3) index = 0;
    current_ = index;
    bundle_.SetCurrentPage(index);
    ShowPage(index);
}

void DLGSetting::accept() {
    for (int i = 0; i < 4; ++i) {
        ShowPage(i);
        if (!pages_[static_cast<size_t>(i)]->ValidatePage()) return;
    }
    ShowPage(current_);
    settings::CommonSetting* records[] = {&bundle_.Application1(), &bundle_.Application2(), &bundle_.Folder(),
                                          &bundle_.Fax()};
    for (size_t i = 0; i < pages_.size(); ++i)
        if (!pages_[i]->ReadBack(*records[i])) return;
    // A destination is written only when its page changed something: what the loading
    // filled in for the user (a "default" folder, an application's name) stays as
    // stored, and every line of an untouched destination keeps its bytes.
    // Everything OK stores goes into Sets.dat as one replacement of the file: a crash or a
    // kill in the middle leaves the settings as they were, never half of them changed.
    bool saved = true;
    {
        settings::ProfileWriteBatch batch(settings::GetSettingsHandler().FilePath());
        for (size_t i = 0; i < pages_.size(); ++i)
            if (!storedBefore_ || !SameValues(*records[i], *loaded_[i])) saved = records[i]->Save() && saved;
        saved = bundle_.SaveCurrentPage() && saved;
        for (auto* page : pages_) saved = page->StorePendingList() && saved;
        saved = batch.Commit() && saved;
    }
    if (!saved) {
        core::ShowMessage(core::LoadMessageText(core::MessageNumber::DataUpdateFailed),
                          core::kMbOk | core::kMbIconStop);
        return;
    }
    QDialog::accept();
}

} // namespace ui
