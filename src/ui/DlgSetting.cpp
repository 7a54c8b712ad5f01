#include "ui/DlgSetting.h"

#include <QGridLayout>
#include <QLabel>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "core/Texts.h"
#include "settings/ProductData.h"
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

} // namespace

DLGSetting::DLGSetting(QWidget* parent, std::function<void()> settingsLoaded) : QDialog(parent) {
    setObjectName(QStringLiteral("DLGSetting"));
    setWindowTitle(UiString("SD_Caption"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    bundle_.LoadAll();
    if (settingsLoaded) settingsLoaded();

    auto* layout = new QVBoxLayout(this);
    auto* tabs = new QGridLayout;
    const std::string pics = settings::SkinImageFolder();
    for (int i = 0; i < 4; ++i) {
        auto* button = new CSkinButton(this);
        button->setObjectName(QStringLiteral("tab") + QString::number(i));
        const std::string base = pics + kTabs[i].image;
        button->SetImages(ToQt(base + "_u.png"), ToQt(base + "_o.png"), QString(), ToQt(base + "_d.png"));
        button->setText(UiString(kTabs[i].captionKey));
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
    // The current page's button stays pressed, as a selected tab.
    for (int i = 0; i < 4; ++i) tabs_[static_cast<size_t>(i)]->setDown(i == index);
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
    bool saved = true;
    for (auto* record : records) saved = record->Save() && saved;
    saved = bundle_.SaveCurrentPage() && saved;
    for (auto* page : pages_) saved = page->StorePendingList() && saved;
    if (!saved) {
        core::ShowMessage(core::LoadMessageText(core::MessageNumber::DataUpdateFailed),
                          core::kMbOk | core::kMbIconStop);
        return;
    }
    QDialog::accept();
}

} // namespace ui
