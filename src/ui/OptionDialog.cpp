#include "ui/OptionDialog.h"

#include "settings/ScanSettingValues.h"
#include "ui/StaticLink.h"

namespace ui {

COptionDialog::COptionDialog(std::shared_ptr<settings::ScanMethodArr> methods, std::string scanMethodName,
                             QWidget* parent, std::string paperSizeName)
    : QDialog(parent), methods_(std::move(methods)), methodName_(std::move(scanMethodName)),
      paperName_(std::move(paperSizeName)) {}

COptionDialog::~COptionDialog() = default;

void COptionDialog::accept() { QDialog::accept(); }

void COptionDialog::OnDuplexOffClicked() {}

} // namespace ui
