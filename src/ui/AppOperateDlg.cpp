#include "ui/AppOperateDlg.h"

#include "settings/AppList.h"

namespace ui {

CAppOperateDlg::CAppOperateDlg(std::shared_ptr<settings::AppOperateMode> mode, QWidget* parent)
    : QDialog(parent), mode_(std::move(mode)) {}

CAppOperateDlg::~CAppOperateDlg() = default;

void CAppOperateDlg::accept() { QDialog::accept(); }

void CAppOperateDlg::Browse() {}

} // namespace ui
