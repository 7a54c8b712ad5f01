#pragma once
// The application-entry dialog: the title and the program path of one entry of an
// application list, added or changed through the given mode. The dialog closes with OK
// only when the mode accepted the entry; otherwise it says why and stays open.

#include <QDialog>
#include <functional>
#include <memory>
#include <string>

class QLineEdit;
class QPushButton;

namespace core {
class IMessageBox;
}
namespace settings {
class AppOperateMode;
}

namespace ui {

class CAppOperateDlg : public QDialog {
    Q_OBJECT
public:
    CAppOperateDlg(std::shared_ptr<settings::AppOperateMode> mode, QWidget* parent = nullptr);
    ~CAppOperateDlg() override;

    QLineEdit* TitleEdit() const { return title_; }
    QLineEdit* PathEdit() const { return path_; }
    QPushButton* BrowseButton() const { return browse_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

    // The box that tells why an entry was refused (the Qt message box until replaced).
    void SetMessageBox(std::shared_ptr<core::IMessageBox> box) { box_ = std::move(box); }

    // The folder the file chooser starts in, and the chooser itself: a dialog listing
    // only the files a user may run.
    static constexpr const char* kBrowseStart = "/usr/bin";
    QString BrowseForProgram(const QString& startFolder);

    void accept() override;

private:
    void Browse();

    std::shared_ptr<settings::AppOperateMode> mode_;
    std::shared_ptr<core::IMessageBox> box_;
    QLineEdit* title_ = nullptr;
    QLineEdit* path_ = nullptr;
    QPushButton* browse_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace ui
