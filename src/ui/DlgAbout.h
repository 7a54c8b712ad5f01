#pragma once
// The About box: program name, version, notices and, when the program folder holds a
// "logo.bmp", that logo.

#include <QDialog>

class QLabel;
class QPushButton;

namespace ui {

class DlgAbout : public QDialog {
    Q_OBJECT
public:
    explicit DlgAbout(QWidget* parent = nullptr);

    bool HasLogo() const { return hasLogo_; }
    QLabel* NameLabel() const { return name_; }
    QLabel* VersionLabel() const { return version_; }
    QLabel* NoticeLabel(int i) const { return notices_[i]; } // 0..3
    QPushButton* OkButton() const { return ok_; }

private:
    QLabel* name_ = nullptr;
    QLabel* version_ = nullptr;
    QLabel* notices_[4] = {};
    QPushButton* ok_ = nullptr;
    bool hasLogo_ = false;
};

} // namespace ui
