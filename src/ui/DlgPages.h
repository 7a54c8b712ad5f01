#pragma once
// The four destination pages of the button settings dialog: what one destination scans
// (scan method, colour mode, paper size, resolution) and what it makes of the pages
// (file type and compression, application, file name prefix, save folder). Every page
// is one CDlgPage laid out for its destination; the lists come from the current
// scanner's model and the application lists.

#include <QWidget>
#include <memory>
#include <optional>
#include <string>

#include "settings/ChoiceList.h"
#include "ui/BindableComboBox.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QStackedWidget;

namespace settings {
class AppListProvider;
class CommonSetting;
class IF_MappingHandler;
class ScanMethodArr;
} // namespace settings

namespace ui {

class CStaticLink;

enum class PageKind { Application1, Application2, Folder, Fax };

// The controls of a page; the ones a page does not have are null.
struct PageControls {
    CChoiceComboBox* scanMethod = nullptr;
    QPushButton* option = nullptr;
    CChoiceComboBox* colorMode = nullptr;
    CChoiceComboBox* paperSize = nullptr;
    CChoiceComboBox* resolution = nullptr;
    QCheckBox* showDriver = nullptr;
    CChoiceComboBox* saveType = nullptr;
    QLabel* compressLabel = nullptr;
    QSpinBox* jpegLevel = nullptr;
    CChoiceComboBox* tifCompression = nullptr;
    CChoiceComboBox* pdfCompression = nullptr;
    QCheckBox* searchablePdf = nullptr;     // beside the PDF compression list
    CChoiceComboBox* ocrLanguage = nullptr; // the installed recognition languages
    CChoiceComboBox* application = nullptr;
    QPushButton* add = nullptr;
    QPushButton* modify = nullptr;
    QPushButton* remove = nullptr;
    QLineEdit* fileName = nullptr;
    QLineEdit* saveFolder = nullptr;
    QPushButton* browse = nullptr;
    QPushButton* viewFolder = nullptr;
    QCheckBox* openFolder = nullptr;
    QPushButton* defaults = nullptr;
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
    CStaticLink* moreInformation = nullptr;
};

class CDlgPage : public QWidget {
    Q_OBJECT
public:
    CDlgPage(PageKind kind, QWidget* parent = nullptr);
    ~CDlgPage() override;

    PageKind Kind() const { return kind_; }
    // The destination's section name of the settings ("Application1", ..., "Fax").
    std::string Section() const;
    const PageControls& Controls() const { return c_; }

    // Fills the controls from a destination record.
    void LoadFrom(const settings::CommonSetting& record);
    // Fills the controls from the destination's defaults; an application page first
    // takes the application list of the defaults (stored only by OK).
    void LoadDefaults();
    // Checks the prefix, the save folder and (while shown) the JPEG level, saying what
    // is wrong; false when the page cannot be stored.
    bool ValidatePage();
    // Writes the controls into the record; false when a value cannot be converted.
    bool ReadBack(settings::CommonSetting& record) const;
    // Stores the application list taken from the defaults, if Default chose one; false
    // when that write failed.
    bool StorePendingList();

    // The stored PDF compression pair as the page holds it now.
    const std::string& PdfCompressionPair() const { return pdfPair_; }

signals:
    void okClicked();
    void cancelClicked();

private:
    void Build();
    void BuildInput(QGroupBox* box);
    void BuildOutput(QGroupBox* box);
    void ApplyTexts();
    void FillFixedLists();
    void FillApplications(int selectId);
    void RefillPaperSizes(const std::string& previous);
    void FillPdfList();
    void FillOcrLanguages(const std::string& stored);
    void ShowCompression();
    void UpdateStates();
    std::string Key(const char* suffix) const;
    QLabel* Label(QWidget* parent, const char* suffix, QWidget* field) const;
    std::string Current(const CChoiceComboBox* box) const;

    void OnScanMethodChanged();
    void OnColorModeChanged();
    void OnPdfChosen();
    void OnOption();
    void OnAdd();
    void OnModify();
    void OnDelete();
    void OnBrowse();
    void OnViewFolder();

    PageKind kind_;
    PageControls c_;
    std::unique_ptr<settings::IF_MappingHandler> model_;
    std::shared_ptr<settings::AppListProvider> apps_;
    std::optional<std::string> pendingList_; // the defaults' list, chosen by Default
    std::shared_ptr<settings::ScanMethodArr> methods_;
    std::string storedPaper_;
    std::string defaultPaper_;
    std::string pdfPair_;
    bool optionFlag_ = false;
    bool filling_ = false;
    QStackedWidget* compression_ = nullptr;
    QWidget* ocrRow_ = nullptr; // the searchable-PDF option, shown for the PDF types
};

// The pages by the names the dialog knows them by.
class CDlgApp : public CDlgPage {
    Q_OBJECT
public:
    explicit CDlgApp(QWidget* parent = nullptr) : CDlgPage(PageKind::Application1, parent) {}
};
class CDlgApp2 : public CDlgPage {
    Q_OBJECT
public:
    explicit CDlgApp2(QWidget* parent = nullptr) : CDlgPage(PageKind::Application2, parent) {}
};
class CDlgFolder : public CDlgPage {
    Q_OBJECT
public:
    explicit CDlgFolder(QWidget* parent = nullptr) : CDlgPage(PageKind::Folder, parent) {}
};
class CDlgFax : public CDlgPage {
    Q_OBJECT
public:
    explicit CDlgFax(QWidget* parent = nullptr) : CDlgPage(PageKind::Fax, parent) {}
};

} // namespace ui
