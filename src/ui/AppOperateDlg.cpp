#include "ui/AppOperateDlg.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QVBoxLayout>

#include "core/Texts.h"
#include "settings/AppList.h"
#include "ui/OptionRules.h"
#include "ui/QtMessageBox.h"
#include "ui/UiText.h"

namespace ui {

namespace {

constexpr int kMaxTitleLength = 50;

// Lets through folders (to walk into) and the files a user may run.
class ProgramsOnly : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
        if (!files) return true;
        const QFileInfo info = files->fileInfo(files->index(row, 0, parent));
        return info.isDir() || (info.isFile() && info.isExecutable());
    }
};

} // namespace

CAppOperateDlg::CAppOperateDlg(std::shared_ptr<settings::AppOperateMode> mode, QWidget* parent)
    : QDialog(parent), mode_(std::move(mode)) {
    box_ = std::make_shared<QtMessageBox>(this);
    if (mode_) setWindowTitle(ToQt(mode_->GetCaption()));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* titleLabel = new QLabel(UiString("AM_Label_Title"), this);
    title_ = new QLineEdit(this);
    title_->setMaxLength(kMaxTitleLength);
    title_->setObjectName(QStringLiteral("title"));
    titleLabel->setBuddy(title_);
    auto* pathLabel = new QLabel(UiString("AM_Label_Path"), this);
    path_ = new QLineEdit(this);
    path_->setReadOnly(true);
    path_->setObjectName(QStringLiteral("path"));
    pathLabel->setBuddy(path_);
    browse_ = new QPushButton(UiString("AM_Btn_Browse", QStringLiteral("Browse...")), this);
    browse_->setObjectName(QStringLiteral("browse"));
    connect(browse_, &QPushButton::clicked, this, &CAppOperateDlg::Browse);

    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(UiString("AM_OK", QStringLiteral("OK")), QDialogButtonBox::AcceptRole);
    cancel_ = buttons->addButton(UiString("AM_Cancel", QStringLiteral("Cancel")), QDialogButtonBox::RejectRole);
    ok_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CAppOperateDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CAppOperateDlg::reject);

    auto* grid = new QGridLayout;
    grid->addWidget(titleLabel, 0, 0);
    grid->addWidget(title_, 0, 1, 1, 2);
    grid->addWidget(pathLabel, 1, 0);
    grid->addWidget(path_, 1, 1);
    grid->addWidget(browse_, 1, 2);
    grid->setColumnStretch(1, 1);
    // Room for a typical program path without scrolling.
    grid->setColumnMinimumWidth(1, fontMetrics().horizontalAdvance(QLatin1Char('x')) * 40);
    auto* all = new QVBoxLayout(this);
    all->addLayout(grid);
    all->addStretch(1);
    all->addWidget(buttons);
    setTabOrder(title_, path_);
    setTabOrder(path_, browse_);

    if (mode_) {
        title_->setText(ToQt(mode_->GetInitialTitle()));
        path_->setText(ToQt(mode_->GetInitialPath()));
    }
}

CAppOperateDlg::~CAppOperateDlg() = default;

void CAppOperateDlg::accept() {
    if (!mode_) return;
    const int result = mode_->Apply(FromQt(title_->text()), FromQt(path_->text()));
    if (result == settings::kAppListDone) {
        QDialog::accept();
        return;
    }
    if (const int message = AppEntryMessage(result))
        box_->Show(core::LoadMessageText(message), core::kMbOk | core::kMbIconExclamation, 0);
}

QString CAppOperateDlg::BrowseForProgram(const QString& startFolder) {
    QFileDialog chooser(this);
    chooser.setObjectName(QStringLiteral("programChooser"));
    chooser.setFileMode(QFileDialog::ExistingFile);
    chooser.setAcceptMode(QFileDialog::AcceptOpen);
    // The filter below needs the dialog's own file list.
    chooser.setOption(QFileDialog::DontUseNativeDialog, true);
    chooser.setOption(QFileDialog::ReadOnly, true);
    chooser.setProxyModel(new ProgramsOnly(&chooser));
    chooser.setDirectory(startFolder);
    if (chooser.exec() != QDialog::Accepted) return {};
    const QStringList chosen = chooser.selectedFiles();
    if (chosen.isEmpty()) return {};
    // A name typed into the chooser bypasses its list: only a program is taken.
    const QFileInfo info(chosen.first());
    if (!info.isFile() || !info.isExecutable()) return {};
    return info.absoluteFilePath();
}

void CAppOperateDlg::Browse() {
    const QString chosen = BrowseForProgram(QString::fromLatin1(kBrowseStart));
    if (!chosen.isEmpty()) path_->setText(chosen);
}

} // namespace ui
