#include "ui/DlgPages.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "core/Texts.h"
#include "output/TextRecognizer.h"
#include "platform/Desktop.h"
#include "platform/Services.h"
#include "scan/DriverIdentifer.h"
#include "settings/AppList.h"
#include "settings/DataTranslator.h"
#include "settings/DefaultLoader.h"
#include "settings/Persistence.h"
#include "settings/ProductData.h"
#include "settings/Profile.h"
#include "settings/Records.h"
#include "settings/ScanSettingValues.h"
#include "ui/AppOperateDlg.h"
#include "ui/OptionDialog.h"
#include "ui/PageLogic.h"
#include "ui/StaticLink.h"
#include "ui/UiText.h"

namespace ui {
namespace {

constexpr const char* kListKey = "ListMapping";

bool IsApplicationPage(PageKind kind) { return kind == PageKind::Application1 || kind == PageKind::Application2; }

// Selects the item whose stored text is `key`; the first item when none has it.
void Select(CChoiceComboBox* box, const std::string& key) {
    const auto& values = box->BoundValues();
    for (size_t i = 0; i < values.size(); ++i) {
        if (values[i].first == key) {
            box->setCurrentIndex(static_cast<int>(i));
            return;
        }
    }
    box->setCurrentIndex(values.empty() ? -1 : 0);
}

std::string Trim(const std::string& text) {
    const size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return {};
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

// A deep copy, so that the Option dialog edits the page's list and not the record's.
std::shared_ptr<settings::ScanMethodArr> CopyOf(const std::shared_ptr<settings::ScanMethodArr>& list) {
    if (!list) return std::make_shared<settings::ScanMethodArr>();
    return settings::ScanMethodArr::FromText(list->ToText());
}

} // namespace

CDlgPage::CDlgPage(PageKind kind, QWidget* parent) : QWidget(parent), kind_(kind) {
    setObjectName(ToQt(Section()));
    model_ = settings::ClassInstanceFactory::GetInstance().CreateMappingHandler();
    if (IsApplicationPage(kind_)) apps_ = std::make_shared<settings::AppListProvider>(Section());
    optionFlag_ = scan::DriverIdentifer::GetInstance().Identify(settings::CurrentSourceName()).flag;
    methods_ = std::make_shared<settings::ScanMethodArr>();
    Build();
    ApplyTexts();
    FillFixedLists();
    if (apps_) FillApplications(0);
    ShowCompression();
    UpdateStates();
}

CDlgPage::~CDlgPage() = default;

std::string CDlgPage::Section() const {
    switch (kind_) {
        case PageKind::Application1: return "Application1";
        case PageKind::Application2: return "Application2";
        case PageKind::Folder: return "Folder";
        case PageKind::Fax: break;
    }
    return "Fax";
}

std::string CDlgPage::Key(const char* suffix) const {
    static const char* const prefixes[] = {"AD1_", "AD2_", "FD_", "FAD_"};
    return std::string(prefixes[static_cast<int>(kind_)]) + suffix;
}

QLabel* CDlgPage::Label(QWidget* parent, const char* suffix, QWidget* field) const {
    // Each row's label names its field, for the label's mnemonic and for screen readers.
    auto* label = new QLabel(UiString(Key(suffix).c_str()), parent);
    label->setBuddy(field);
    return label;
}

std::string CDlgPage::Current(const CChoiceComboBox* box) const {
    auto value = box ? box->GetSelectedValue() : std::nullopt;
    return value ? value->first : std::string();
}

void CDlgPage::Build() {
    auto* layout = new QVBoxLayout(this);

    // What the destination does, and the way to its help.
    auto* about = new QGroupBox(this);
    about->setObjectName(QStringLiteral("title"));
    auto* aboutLayout = new QVBoxLayout(about);
    const bool twoLines = kind_ == PageKind::Application1;
    const std::vector<const char*> infos =
        twoLines ? std::vector<const char*>{"Info1", "Info2"} : std::vector<const char*>{"Info"};
    for (const char* suffix : infos) {
        auto* info = new QLabel(about);
        info->setObjectName(QString::fromLatin1(suffix));
        info->setWordWrap(true);
        aboutLayout->addWidget(info);
    }
    c_.moreInformation = new CStaticLink(QString(), about);
    const char* anchor = IsApplicationPage(kind_) ? "app" : kind_ == PageKind::Folder ? "folder" : "fax";
    c_.moreInformation->SetTarget("mk:@MSITStore:" + settings::ProgramFolder() + "Help.chm::/Quorin.htm#" + anchor);
    aboutLayout->addWidget(c_.moreInformation, 0, Qt::AlignRight);
    layout->addWidget(about);

    auto* groups = new QHBoxLayout;
    auto* input = new QGroupBox(this);
    input->setObjectName(QStringLiteral("input"));
    auto* output = new QGroupBox(this);
    output->setObjectName(QStringLiteral("output"));
    BuildInput(input);
    BuildOutput(output);
    groups->addWidget(input, 1);
    groups->addWidget(output, 1);
    layout->addLayout(groups, 1);

    auto* buttons = new QHBoxLayout;
    c_.defaults = new QPushButton(this);
    c_.ok = new QPushButton(this);
    c_.cancel = new QPushButton(this);
    c_.ok->setDefault(true);
    buttons->addWidget(c_.defaults);
    buttons->addStretch(1);
    buttons->addWidget(c_.ok);
    buttons->addWidget(c_.cancel);
    layout->addLayout(buttons);

    // Tab walks the page as it reads: input, output, the help link, then the buttons.
    QWidget* order[] = {c_.scanMethod,  c_.option,   c_.colorMode,  c_.paperSize,      c_.resolution,
                        c_.showDriver,  c_.saveType, c_.jpegLevel,  c_.tifCompression, c_.pdfCompression,
                        c_.application, c_.add,      c_.modify,     c_.remove,         c_.fileName,
                        c_.saveFolder,  c_.browse,   c_.viewFolder, c_.openFolder,     c_.moreInformation,
                        c_.defaults,    c_.ok,       c_.cancel};
    QWidget* previous = nullptr;
    for (QWidget* w : order) {
        if (!w) continue;
        if (previous) setTabOrder(previous, w);
        previous = w;
    }
    // The searchable-PDF option and its language come right after the PDF compression.
    if (c_.searchablePdf) {
        setTabOrder(c_.pdfCompression, c_.searchablePdf);
        setTabOrder(c_.searchablePdf, c_.ocrLanguage);
    }

    connect(c_.defaults, &QPushButton::clicked, this, [this] { LoadDefaults(); });
    connect(c_.ok, &QPushButton::clicked, this, &CDlgPage::okClicked);
    connect(c_.cancel, &QPushButton::clicked, this, &CDlgPage::cancelClicked);
}

void CDlgPage::BuildInput(QGroupBox* box) {
    auto* form = new QFormLayout(box);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    c_.scanMethod = new CChoiceComboBox(box);
    c_.option = new QPushButton(box);
    auto* methodRow = new QHBoxLayout;
    methodRow->addWidget(c_.scanMethod, 1);
    methodRow->addWidget(c_.option);
    c_.colorMode = new CChoiceComboBox(box);
    c_.paperSize = new CChoiceComboBox(box);
    c_.resolution = new CChoiceComboBox(box);
    form->addRow(Label(box, "ScanMethod", c_.scanMethod), methodRow);
    form->addRow(Label(box, "ColorMode", c_.colorMode), c_.colorMode);
    form->addRow(Label(box, "PaperSize", c_.paperSize), c_.paperSize);
    form->addRow(Label(box, "Resolution", c_.resolution), c_.resolution);
    if (kind_ != PageKind::Fax) {
        c_.showDriver = new QCheckBox(box);
        form->addRow(c_.showDriver);
        connect(c_.showDriver, &QCheckBox::toggled, this, [this] { UpdateStates(); });
    }
    connect(c_.scanMethod, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] { OnScanMethodChanged(); });
    connect(c_.colorMode, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] { OnColorModeChanged(); });
    connect(c_.option, &QPushButton::clicked, this, [this] { OnOption(); });
}

void CDlgPage::BuildOutput(QGroupBox* box) {
    auto* form = new QFormLayout(box);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    if (kind_ != PageKind::Fax) {
        c_.saveType = new CChoiceComboBox(box);
        form->addRow(Label(box, "SaveType", c_.saveType), c_.saveType);
        c_.compressLabel = new QLabel(box);
        compression_ = new QStackedWidget(box);
        compression_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        compression_->addWidget(new QWidget(compression_));
        c_.jpegLevel = new QSpinBox(compression_);
        c_.jpegLevel->setRange(0, 100);
        compression_->addWidget(c_.jpegLevel);
        c_.tifCompression = new CChoiceComboBox(compression_);
        compression_->addWidget(c_.tifCompression);
        c_.pdfCompression = new CChoiceComboBox(compression_);
        compression_->addWidget(c_.pdfCompression);
        form->addRow(c_.compressLabel, compression_);
        // The PDF types: under their compression list, the searchable-text option with its
        // language (a row of its own keeps the page narrow enough for small screens).
        ocrRow_ = new QWidget(box);
        auto* ocrLayout = new QHBoxLayout(ocrRow_);
        ocrLayout->setContentsMargins(0, 0, 0, 0);
        c_.searchablePdf = new QCheckBox(ocrRow_);
        c_.ocrLanguage = new CChoiceComboBox(ocrRow_);
        auto* languageLabel = new QLabel(UiString(Key("OcrLanguage").c_str(), QStringLiteral("Language:")), ocrRow_);
        languageLabel->setBuddy(c_.ocrLanguage);
        ocrLayout->addWidget(c_.searchablePdf);
        ocrLayout->addStretch(1);
        ocrLayout->addWidget(languageLabel);
        ocrLayout->addWidget(c_.ocrLanguage);
        form->addRow(QString(), ocrRow_);
        connect(c_.searchablePdf, &QCheckBox::toggled, this, [this] { UpdateStates(); });
        connect(c_.saveType, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] { ShowCompression(); });
        connect(c_.pdfCompression, qOverload<int>(&QComboBox::activated), this, [this] { OnPdfChosen(); });
    }
    if (IsApplicationPage(kind_)) {
        c_.application = new CChoiceComboBox(box);
        form->addRow(Label(box, "Application", c_.application), c_.application);
        c_.add = new QPushButton(box);
        c_.modify = new QPushButton(box);
        c_.remove = new QPushButton(box);
        auto* row = new QHBoxLayout;
        row->addWidget(c_.add);
        row->addWidget(c_.modify);
        row->addWidget(c_.remove);
        form->addRow(QString(), row);
        connect(c_.add, &QPushButton::clicked, this, [this] { OnAdd(); });
        connect(c_.modify, &QPushButton::clicked, this, [this] { OnModify(); });
        connect(c_.remove, &QPushButton::clicked, this, [this] { OnDelete(); });
    }
    c_.fileName = new QLineEdit(box);
    c_.fileName->setMaxLength(kMaxPrefixLength);
    form->addRow(Label(box, "FileName", c_.fileName), c_.fileName);
    c_.saveFolder = new QLineEdit(box);
    c_.saveFolder->setMaxLength(kMaxFolderLength);
    c_.browse = new QPushButton(box);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(c_.saveFolder, 1);
    folderRow->addWidget(c_.browse);
    form->addRow(Label(box, "SaveFolder", c_.saveFolder), folderRow);
    connect(c_.browse, &QPushButton::clicked, this, [this] { OnBrowse(); });
    if (kind_ == PageKind::Folder) {
        c_.viewFolder = new QPushButton(box);
        c_.openFolder = new QCheckBox(box);
        form->addRow(QString(), c_.viewFolder);
        form->addRow(c_.openFolder);
        connect(c_.viewFolder, &QPushButton::clicked, this, [this] { OnViewFolder(); });
    }
}

void CDlgPage::ApplyTexts() {
    auto text = [this](const char* suffix) { return UiString(Key(suffix).c_str()); };
    findChild<QGroupBox*>(QStringLiteral("title"))->setTitle(text("Title"));
    for (const char* suffix : {"Info1", "Info2", "Info"})
        if (auto* label = findChild<QLabel*>(QString::fromLatin1(suffix))) label->setText(text(suffix));
    c_.moreInformation->setText(text("Info_Link"));
    findChild<QGroupBox*>(QStringLiteral("input"))->setTitle(text("GB_Input"));
    findChild<QGroupBox*>(QStringLiteral("output"))->setTitle(text("GB_Output"));

    if (c_.compressLabel) c_.compressLabel->setText(text("Compress"));
    if (c_.searchablePdf)
        c_.searchablePdf->setText(
            UiString(Key("SearchablePdf").c_str(), QStringLiteral("Make the PDF searchable (OCR)")));
    if (c_.showDriver) c_.showDriver->setText(text("IsShowDriver"));
    c_.option->setText(text("Option"));
    c_.browse->setText(text("BrowseFolder"));
    if (c_.add) {
        c_.add->setText(text("BtnAdd"));
        c_.modify->setText(text("BtnModify"));
        c_.remove->setText(text("BtnDelete"));
    }
    if (c_.viewFolder) {
        c_.viewFolder->setText(text("Viewfolder"));
        c_.openFolder->setText(text("IsOpenFolder"));
    }
    c_.defaults->setText(text("Default"));
    c_.ok->setText(text("OK"));
    c_.cancel->setText(text("Cancel"));
}

void CDlgPage::FillFixedLists() {
    settings::ChoiceList list;
    if (model_) model_->GetScanMethods(list);
    c_.scanMethod->Bind(list);
    list.clear();
    if (model_) model_->GetColorModes(list);
    c_.colorMode->Bind(list);
    list.clear();
    if (model_) model_->GetResolutions(list);
    c_.resolution->Bind(list);
    if (c_.saveType) {
        list.clear();
        if (model_) model_->GetSaveTypes(list);
        c_.saveType->Bind(list);
        list.clear();
        if (model_) model_->GetTifCompressions(list);
        c_.tifCompression->Bind(list);
    }
}

void CDlgPage::FillApplications(int selectId) {
    std::vector<std::shared_ptr<settings::AppLaunchInfo>> entries;
    if (pendingList_) {
        entries = settings::AppListProvider::Parse(*pendingList_);
    } else {
        apps_->Reload();
        entries = apps_->Entries();
    }
    settings::ChoiceList list;
    for (const auto& e : entries) list.emplace_back(std::to_string(e->GetId()), e->GetTitle());
    const bool was = filling_;
    filling_ = true;
    c_.application->Bind(list);
    Select(c_.application, std::to_string(selectId));
    filling_ = was;
    UpdateStates();
}

void CDlgPage::RefillPaperSizes(const std::string& previous) {
    settings::ChoiceList list;
    if (model_) model_->GetPaperSizes(Current(c_.scanMethod), list);
    c_.paperSize->Bind(list);
    Select(c_.paperSize, ChoosePaperSize(list, previous, storedPaper_, defaultPaper_));
}

void CDlgPage::FillPdfList() {
    if (!c_.pdfCompression) return;
    settings::ChoiceList list;
    const std::string mode = Current(c_.colorMode);
    // The colour part offers the colour compressions, the black-and-white part the
    // compressions of one-bit images.
    if (model_) {
        if (PdfPairIndex(mode) == 0) model_->GetColorPDFCompressions(list);
        else model_->GetTifCompressions(list);
    }
    c_.pdfCompression->Bind(list);
    Select(c_.pdfCompression, PdfPairPart(pdfPair_, mode));
}

void CDlgPage::FillOcrLanguages(const std::string& stored) {
    settings::ChoiceList list;
    for (const auto& language : output::InstalledOcrLanguages()) list.emplace_back(language, language);
    // A stored list of several languages ("eng+deu") is offered as it is.
    const std::string wanted = stored.empty() ? std::string("eng") : stored;
    if (!settings::HasChoice(list, wanted) && output::OcrLanguagesInstalled(wanted)) list.emplace_back(wanted, wanted);
    c_.ocrLanguage->Bind(list);
    Select(c_.ocrLanguage, wanted);
}

void CDlgPage::ShowCompression() {
    if (!c_.saveType) return;
    const CompressionControl kind = CompressionFor(Current(c_.saveType));
    QWidget* shown = compression_->widget(0);
    if (kind == CompressionControl::JpegLevel) shown = c_.jpegLevel;
    if (kind == CompressionControl::TiffList) shown = c_.tifCompression;
    if (kind == CompressionControl::PdfList) shown = c_.pdfCompression;
    compression_->setCurrentWidget(shown);
    c_.compressLabel->setVisible(kind != CompressionControl::None);
    compression_->setVisible(kind != CompressionControl::None);
    if (auto* form = qobject_cast<QFormLayout*>(ocrRow_->parentWidget()->layout()))
        form->setRowVisible(ocrRow_, kind == CompressionControl::PdfList);
}

void CDlgPage::UpdateStates() {
    const bool driver = c_.showDriver && c_.showDriver->isChecked();
    const PageStates s =
        ComputePageStates(driver, apps_ ? c_.application->count() : 0, apps_ ? apps_->MaxCount() : 0, optionFlag_);
    c_.scanMethod->setEnabled(s.inputEnabled);
    c_.paperSize->setEnabled(s.inputEnabled);
    // The fax printer takes the colour mode and resolution it was set up with.
    c_.colorMode->setEnabled(s.inputEnabled && kind_ != PageKind::Fax);
    c_.resolution->setEnabled(s.inputEnabled && kind_ != PageKind::Fax);
    c_.option->setEnabled(s.inputEnabled);
    c_.option->setVisible(s.optionShown);
    if (c_.ocrLanguage) c_.ocrLanguage->setEnabled(c_.searchablePdf->isChecked() && c_.ocrLanguage->count() > 0);
    if (c_.add) {
        c_.add->setEnabled(s.addEnabled);
        c_.modify->setEnabled(s.modifyEnabled);
        c_.remove->setEnabled(s.deleteEnabled);
    }
}

void CDlgPage::LoadFrom(const settings::CommonSetting& record) {
    filling_ = true;
    if (auto loader = settings::ClassInstanceFactory::GetInstance().CreateDefaultLoader())
        defaultPaper_ = settings::LoadDefaultsFor(*loader, Section())->GetPaperSize();
    storedPaper_ = record.GetPaperSize();
    methods_ = CopyOf(record.GetScanMethodArr());
    pdfPair_ = record.GetPDFCompression();
    Select(c_.scanMethod, record.GetScanMethod());
    Select(c_.colorMode, record.GetColorMode());
    RefillPaperSizes(std::string());
    Select(c_.resolution, std::to_string(record.GetResolution()));
    if (c_.showDriver) c_.showDriver->setChecked(record.GetShowDriver());
    if (c_.saveType) {
        Select(c_.saveType, record.GetSaveType());
        c_.jpegLevel->setValue(settings::DecimalToInt(record.GetCompressionLevel()));
        Select(c_.tifCompression, record.GetTifCompression());
        FillPdfList();
        c_.searchablePdf->setChecked(record.GetSearchablePdf());
        FillOcrLanguages(record.GetOcrLanguages());
    }
    if (apps_) {
        const auto& app = static_cast<const settings::AppElements&>(record);
        FillApplications(app.GetAppListId());
        if (c_.application->currentIndex() >= 0 && Current(c_.application) != std::to_string(app.GetAppListId())) {
            // An entry of another identifier but the stored title stands for it.
            const int at = c_.application->findText(ToQt(app.GetAppName()));
            if (at >= 0) c_.application->setCurrentIndex(at);
        }
    }
    c_.fileName->setText(ToQt(record.GetFileName()));
    c_.saveFolder->setText(ToQt(record.GetSaveFolder()));
    if (c_.openFolder)
        c_.openFolder->setChecked(static_cast<const settings::FolderElements&>(record).GetOpenFolder() == "true");
    filling_ = false;
    ShowCompression();
    UpdateStates();
}

void CDlgPage::LoadDefaults() {
    auto loader = settings::ClassInstanceFactory::GetInstance().CreateDefaultLoader();
    if (!loader) return;
    auto defaults = settings::LoadDefaultsFor(*loader, Section());
    if (apps_) pendingList_ = settings::ReadProfileStringWhole(settings::DefaultsFilePath(), Section(), kListKey);
    LoadFrom(*defaults);
}

bool CDlgPage::StorePendingList() {
    if (!pendingList_) return true;
    const bool ok = settings::WriteProfileString(settings::UserSettingsFilePath(), Section(), kListKey, *pendingList_);
    if (ok) pendingList_.reset();
    return ok;
}

bool CDlgPage::ValidatePage() {
    if (!ValidateFilePrefix(FromQt(c_.fileName->text()))) {
        c_.fileName->setFocus();
        c_.fileName->selectAll();
        return false;
    }
    std::string stored;
    if (ValidateSaveFolder(FromQt(c_.saveFolder->text()), stored) != FolderCheck::Accepted) {
        c_.saveFolder->setFocus();
        return false;
    }
    c_.saveFolder->setText(ToQt(stored));
    if (c_.saveType && CompressionFor(Current(c_.saveType)) == CompressionControl::JpegLevel &&
        !ValidateJpegLevel(FromQt(c_.jpegLevel->text()))) {
        c_.jpegLevel->setFocus();
        c_.jpegLevel->selectAll();
        return false;
    }
    return true;
}

bool CDlgPage::ReadBack(settings::CommonSetting& record) const {
    const std::string resolution = Current(c_.resolution);
    if (resolution.empty() || resolution.find_first_not_of("0123456789") != std::string::npos) return false;
    record.SetScanMethod(Current(c_.scanMethod));
    record.SetScanMethodArr(CopyOf(methods_));
    record.SetColorMode(Current(c_.colorMode));
    record.SetPaperSize(Current(c_.paperSize));
    record.SetResolution(settings::DecimalToInt(resolution));
    if (c_.showDriver) record.SetShowDriver(c_.showDriver->isChecked());
    if (c_.saveType) {
        record.SetSaveType(Current(c_.saveType));
        record.SetCompressionLevel(std::to_string(c_.jpegLevel->value()));
        record.SetTifCompression(Current(c_.tifCompression));
        record.SetPDFCompression(pdfPair_);
        // The language is stored with the option on; off, the record keeps what it had,
        // so a record that never used the option gains no key.
        record.SetSearchablePdf(c_.searchablePdf->isChecked());
        if (c_.searchablePdf->isChecked()) record.SetOcrLanguages(Current(c_.ocrLanguage));
    }
    record.SetFileName(Trim(FromQt(c_.fileName->text())));
    record.SetSaveFolder(FromQt(c_.saveFolder->text()));
    if (apps_) {
        auto& app = static_cast<settings::AppElements&>(record);
        const std::string id = Current(c_.application);
        auto entries = pendingList_ ? settings::AppListProvider::Parse(*pendingList_) : apps_->Entries();
        for (const auto& e : entries) {
            if (std::to_string(e->GetId()) != id) continue;
            app.SetAppListId(e->GetId());
            app.SetAppName(e->GetTitle());
            app.SetAppPath(e->GetPath());
        }
    }
    if (c_.openFolder)
        static_cast<settings::FolderElements&>(record).SetOpenFolder(c_.openFolder->isChecked() ? "true" : "false");
    return true;
}

void CDlgPage::OnScanMethodChanged() {
    if (filling_) return;
    RefillPaperSizes(Current(c_.paperSize));
}

void CDlgPage::OnColorModeChanged() {
    if (filling_) return;
    FillPdfList();
}

void CDlgPage::OnPdfChosen() {
    pdfPair_ = ReplacePdfPairPart(pdfPair_, Current(c_.colorMode), Current(c_.pdfCompression));
}

void CDlgPage::OnOption() {
    COptionDialog dialog(methods_, Current(c_.scanMethod), this, Current(c_.paperSize));
    dialog.exec();
}

void CDlgPage::OnAdd() {
    if (!StorePendingList()) return;
    CAppOperateDlg dialog(std::make_shared<settings::AppOperateAddMode>(apps_), this);
    if (dialog.exec() != QDialog::Accepted) return;
    apps_->Reload();
    FillApplications(apps_->Entries().empty() ? 0 : apps_->Entries().back()->GetId());
}

void CDlgPage::OnModify() {
    if (!StorePendingList()) return;
    const int id = settings::DecimalToInt(Current(c_.application));
    CAppOperateDlg dialog(std::make_shared<settings::AppOperateModifyMode>(apps_, id), this);
    if (dialog.exec() != QDialog::Accepted) return;
    FillApplications(id);
}

void CDlgPage::OnDelete() {
    const int index = c_.application->currentIndex();
    if (index < 0) return;
    const int answer = core::ShowMessage(core::LoadMessageText(core::MessageNumber::DeleteApplication),
                                         core::kMbYesNo | core::kMbIconQuestion);
    if (answer != core::kIdYes || !StorePendingList()) return;
    apps_->Remove(settings::DecimalToInt(Current(c_.application)));
    // The entry that took the removed one's place, or the new last one.
    const auto& entries = apps_->Entries();
    int next = 0;
    if (!entries.empty()) next = entries[std::min(static_cast<size_t>(index), entries.size() - 1)]->GetId();
    FillApplications(next);
}

void CDlgPage::OnBrowse() {
    const std::string typed = FromQt(c_.saveFolder->text());
    const QString start = platform::FileSystem().IsDirectory(typed) ? ToQt(typed) : QString();
    const QString chosen = QFileDialog::getExistingDirectory(this, c_.browse->text().remove(QLatin1Char('.')), start);
    if (chosen.isEmpty()) return;
    c_.saveFolder->setText(ToQt(CutChosenFolder(FromQt(chosen))));
}

void CDlgPage::OnViewFolder() {
    const std::string folder = FromQt(c_.saveFolder->text());
    platform::Desktop().StartProgram("xdg-open", {folder}, std::string());
}

} // namespace ui
