#include "ui/OptionDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "settings/ProductData.h"
#include "settings/ScanSettingValues.h"
#include "ui/StaticLink.h"
#include "ui/UiText.h"

namespace ui {

namespace {

OptionDeviceSource& DeviceSource() {
    static OptionDeviceSource source;
    return source;
}

} // namespace

void COptionDialog::SetDeviceSource(OptionDeviceSource source) { DeviceSource() = std::move(source); }

COptionDialog::COptionDialog(std::shared_ptr<settings::ScanMethodArr> methods, std::string scanMethodName,
                             QWidget* parent, std::string paperSizeName)
    : QDialog(parent), methods_(std::move(methods)), methodName_(std::move(scanMethodName)),
      paperName_(std::move(paperSizeName)) {
    setWindowTitle(UiString("SMOption_Title", QStringLiteral("Option")));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* directionLabel = new QLabel(UiString("SMOption_lblDirection"), this);
    left_ = new QRadioButton(UiString("SMOption_Left"), this);
    upper_ = new QRadioButton(UiString("SMOption_Upper"), this);
    auto* duplexLabel = new QLabel(UiString("SMOption_lblDuplexScan"), this);
    duplexOff_ = new QCheckBox(UiString("SMOption_DuplexOff"), this);
    lrBinding_ = new QRadioButton(UiString("SMOption_LRBinding"), this);
    topBinding_ = new QRadioButton(UiString("SMOption_TopBinding"), this);
    helpLink_ = new CStaticLink(UiString("SMOption_HelpLink"), this);
    left_->setObjectName(QStringLiteral("left"));
    upper_->setObjectName(QStringLiteral("upper"));
    duplexOff_->setObjectName(QStringLiteral("duplexOff"));
    lrBinding_->setObjectName(QStringLiteral("lrBinding"));
    topBinding_->setObjectName(QStringLiteral("topBinding"));

    // Direction and binding are two separate choices.
    auto* directions = new QButtonGroup(this);
    directions->addButton(left_);
    directions->addButton(upper_);
    auto* bindings = new QButtonGroup(this);
    bindings->addButton(lrBinding_);
    bindings->addButton(topBinding_);

    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(UiString("SMOption_OK", QStringLiteral("OK")), QDialogButtonBox::AcceptRole);
    cancel_ = buttons->addButton(UiString("SMOption_Cancel", QStringLiteral("Cancel")), QDialogButtonBox::RejectRole);
    ok_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &COptionDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COptionDialog::reject);
    connect(duplexOff_, &QCheckBox::clicked, this, &COptionDialog::OnDuplexOffClicked);

    // The choices are indented under their headings.
    const int indent = fontMetrics().horizontalAdvance(QStringLiteral("MMM"));
    auto* directionRow = new QHBoxLayout;
    directionRow->addWidget(left_, 0, Qt::AlignLeft);
    directionRow->addSpacing(indent);
    directionRow->addWidget(upper_, 0, Qt::AlignLeft);
    directionRow->addStretch(1);
    auto* duplexBox = new QVBoxLayout;
    // Each choice is as wide as its text, so only a click on it changes it.
    duplexBox->addWidget(duplexOff_, 0, Qt::AlignLeft);
    duplexBox->addWidget(lrBinding_, 0, Qt::AlignLeft);
    duplexBox->addWidget(topBinding_, 0, Qt::AlignLeft);

    auto* grid = new QGridLayout;
    grid->setColumnMinimumWidth(0, indent);
    grid->addWidget(directionLabel, 0, 0, 1, 2);
    grid->addLayout(directionRow, 1, 1);
    grid->setRowMinimumHeight(2, indent / 2);
    grid->addWidget(duplexLabel, 3, 0, 1, 2);
    grid->addLayout(duplexBox, 4, 1);
    grid->setColumnStretch(1, 1);

    auto* all = new QVBoxLayout(this);
    all->addLayout(grid);
    all->addSpacing(indent / 2);
    all->addWidget(helpLink_, 0, Qt::AlignLeft);
    all->addStretch(1);
    all->addWidget(buttons);

    // The "More" link leads to the options section of the help guide.
    helpLink_->SetTarget("mk:@MSITStore:" + settings::ProgramFolder() + "Help.chm::/Quorin.htm#option");

    if (methods_) entry_ = methods_->get(methodName_);
    const OptionState state = InitialOptionState(entry_.get(), methodName_, paperName_, DeviceSource());
    left_->setChecked(state.left);
    upper_->setChecked(!state.left);
    lrBinding_->setChecked(state.lrBinding);
    topBinding_->setChecked(!state.lrBinding);
    duplexOff_->setChecked(state.duplexOff);
    duplexOff_->setEnabled(state.duplexOffEnabled);
    lrBinding_->setEnabled(state.bindingEnabled);
    topBinding_->setEnabled(state.bindingEnabled);
    all->setSizeConstraint(QLayout::SetFixedSize);
}

COptionDialog::~COptionDialog() = default;

OptionState COptionDialog::Choices() const {
    OptionState state;
    state.left = left_->isChecked();
    state.lrBinding = lrBinding_->isChecked();
    state.duplexOff = duplexOff_->isChecked();
    state.duplexOffEnabled = duplexOff_->isEnabled();
    state.bindingEnabled = lrBinding_->isEnabled();
    return state;
}

void COptionDialog::OnDuplexOffClicked() {
    const bool enabled = BindingEnabledWhen(duplexOff_->isChecked());
    lrBinding_->setEnabled(enabled);
    topBinding_->setEnabled(enabled);
}

void COptionDialog::accept() {
    // A list without the method has nothing to change.
    if (entry_) WriteOptionChoices(*entry_, Choices());
    QDialog::accept();
}

} // namespace ui
