#pragma once
// The Option dialog of a destination's scan method: scan direction, duplex off and
// binding direction of one entry of the destination's scan-method list. OK writes the
// choices into that entry; Cancel leaves it as it was.

#include <QDialog>
#include <memory>
#include <string>

#include "ui/OptionRules.h"

class QCheckBox;
class QPushButton;
class QRadioButton;

namespace settings {
class ScanMethod;
class ScanMethodArr;
} // namespace settings

namespace ui {

class CStaticLink;

class COptionDialog : public QDialog {
    Q_OBJECT
public:
    // `methods` is the destination's list (shared: OK changes the entry in place),
    // `scanMethodName` the entry being edited, `paperSizeName` the destination's paper.
    COptionDialog(std::shared_ptr<settings::ScanMethodArr> methods, std::string scanMethodName,
                  QWidget* parent = nullptr, std::string paperSizeName = {});
    ~COptionDialog() override;

    QRadioButton* LeftRadio() const { return left_; }
    QRadioButton* UpperRadio() const { return upper_; }
    QCheckBox* DuplexOffBox() const { return duplexOff_; }
    QRadioButton* LRBindingRadio() const { return lrBinding_; }
    QRadioButton* TopBindingRadio() const { return topBinding_; }
    CStaticLink* HelpLink() const { return helpLink_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

    // Where every Option dialog of the process learns about the scanner (its duplex unit
    // and its family); null restores the current scanner's answers.
    static void SetDeviceSource(OptionDeviceSource source);

    // The state the controls show now.
    OptionState Choices() const;

    void accept() override;

private:
    void OnDuplexOffClicked();

    std::shared_ptr<settings::ScanMethodArr> methods_;
    std::string methodName_;
    std::string paperName_;
    std::shared_ptr<settings::ScanMethod> entry_; // the entry edited; null when the list has none
    QRadioButton* left_ = nullptr;
    QRadioButton* upper_ = nullptr;
    QCheckBox* duplexOff_ = nullptr;
    QRadioButton* lrBinding_ = nullptr;
    QRadioButton* topBinding_ = nullptr;
    CStaticLink* helpLink_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace ui
