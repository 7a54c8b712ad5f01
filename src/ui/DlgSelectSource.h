#pragma once
// The scanner selection dialog: lists the maker's scanners and lets the user choose
// the one to scan with. While scanners are listed but none is selected, the dialog can
// be neither cancelled nor closed: the program needs a scanner to work with.
// Device names are often long and cryptic, so each one is shown with its maker and model;
// choosing and the result stay by name. Listing can take seconds, so the dialog can also
// show at once, saying that it is looking for scanners, and take the list when it arrives.

#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "scancontrol/SourceManager.h"

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace core {
class IMessageBox;
}

namespace ui {

class CDlgSelectSource : public QDialog {
    Q_OBJECT
public:
    // Lists the usable scanners (reopening the source manager first when there is a
    // scanning control): each one's product name, which the dialog offers and returns,
    // with the maker and model it reports.
    using SourceLister = std::function<std::vector<scancontrol::SourceEntry>()>;
    // The item data roles holding a listed scanner's maker and model.
    static constexpr int kMakerRole = Qt::UserRole + 1;
    static constexpr int kModelRole = Qt::UserRole + 2;

    // `currentName` is the caller's current source; it is preselected when it begins
    // one of the listed names (case ignored), and restored on Cancel. `box` shows the
    // dialog's error message (the Qt message box when null).
    CDlgSelectSource(std::string currentName, SourceLister lister, std::shared_ptr<core::IMessageBox> box = nullptr,
                     QWidget* parent = nullptr);

    // The dialog without a list yet: it says that it is looking for scanners until
    // SetSources gives it the list. Meanwhile OK is off and Cancel closes it.
    CDlgSelectSource(std::string currentName, std::shared_ptr<core::IMessageBox> box = nullptr,
                     QWidget* parent = nullptr);
    // Shows the listed scanners (the looking note goes) and preselects the current one,
    // as the constructor with a lister does.
    void SetSources(const std::vector<scancontrol::SourceEntry>& sources);
    bool Looking() const;

    // The device name an item of the list stands for.
    static std::string NameOf(const QListWidgetItem* item);

    // The chosen name after OK, the name given at construction otherwise.
    const std::string& Result() const { return result_; }

    QListWidget* List() const { return list_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }
    bool CanClose() const { return canClose_; }

    void accept() override;
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Build();
    void UpdateEnabling();

    std::string original_;
    std::string result_;
    std::shared_ptr<core::IMessageBox> box_;
    QListWidget* list_ = nullptr;
    QLabel* looking_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    bool canClose_ = true;
};

} // namespace ui
