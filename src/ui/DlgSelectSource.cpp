#include "ui/DlgSelectSource.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <QWindow>

#include "core/Texts.h"
#include "scancontrol/SourceManager.h"
#include "ui/QtMessageBox.h"
#include "ui/UiText.h"

namespace ui {

namespace {

constexpr int kNameRole = Qt::UserRole;

} // namespace

std::string CDlgSelectSource::NameOf(const QListWidgetItem* item) {
    return item ? FromQt(item->data(kNameRole).toString()) : std::string();
}

CDlgSelectSource::CDlgSelectSource(std::string currentName, SourceLister lister, std::shared_ptr<core::IMessageBox> box,
                                   QWidget* parent)
    : QDialog(parent), original_(std::move(currentName)), result_(original_), box_(std::move(box)) {
    Build();
    SetSources(lister ? lister() : std::vector<scancontrol::SourceEntry>());
}

CDlgSelectSource::CDlgSelectSource(std::string currentName, std::shared_ptr<core::IMessageBox> box, QWidget* parent)
    : QDialog(parent), original_(std::move(currentName)), result_(original_), box_(std::move(box)) {
    Build();
    looking_->show();
    UpdateEnabling();
}

void CDlgSelectSource::Build() {
    if (!box_) box_ = std::make_shared<QtMessageBox>(this);
    setWindowTitle(UiString("DS_Caption"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* label = new QLabel(UiString("DS_LabelSource"), this);
    list_ = new QListWidget(this);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    label->setBuddy(list_);
    looking_ = new QLabel(UiString("MD_Searching"), this);
    looking_->setObjectName(QStringLiteral("lookingForScanners"));
    looking_->hide();
    ok_ = new QPushButton(UiString("DS_OK"), this);
    cancel_ = new QPushButton(UiString("DS_Cancel"), this);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &CDlgSelectSource::accept);
    connect(cancel_, &QPushButton::clicked, this, &CDlgSelectSource::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(looking_);
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* all = new QVBoxLayout(this);
    all->addWidget(label);
    all->addWidget(list_, 1);
    all->addLayout(buttons);
    resize(420, 240);
    connect(list_, &QListWidget::itemSelectionChanged, this, &CDlgSelectSource::UpdateEnabling);
    connect(list_, &QListWidget::itemDoubleClicked, this, [this] { accept(); });
}

bool CDlgSelectSource::Looking() const { return !looking_->isHidden(); }

void CDlgSelectSource::SetSources(const std::vector<scancontrol::SourceEntry>& sources) {
    looking_->hide();
    {
        const QSignalBlocker quiet(list_);
        list_->clear();
        for (const scancontrol::SourceEntry& source : sources) {
            std::string makerModel = source.manufacturer;
            if (!makerModel.empty() && !source.productFamily.empty()) makerModel += ' ';
            makerModel += source.productFamily;
            // Device names say little to a person ("pnm:0", "airscan:e0:..."): each row
            // names the scanner beside it.
            QString text = ToQt(source.productName);
            if (!makerModel.empty()) text += QStringLiteral("  \u2014  ") + ToQt(makerModel);
            auto* item = new QListWidgetItem(text, list_);
            item->setData(kNameRole, ToQt(source.productName));
            item->setData(kMakerRole, ToQt(source.manufacturer));
            item->setData(kModelRole, ToQt(source.productFamily));
            if (!makerModel.empty()) item->setToolTip(ToQt(makerModel));
        }
        // The current source is found by the beginning of the listed names.
        if (!original_.empty()) {
            const QString wanted = ToQt(original_);
            for (int i = 0; i < list_->count(); ++i) {
                if (list_->item(i)->data(kNameRole).toString().startsWith(wanted, Qt::CaseInsensitive)) {
                    list_->setCurrentRow(i);
                    break;
                }
            }
        }
    }
    UpdateEnabling();
}

void CDlgSelectSource::UpdateEnabling() {
    // While looking the list is empty: OK is off and Cancel closes.
    const bool empty = list_->count() == 0;
    const bool selected = !list_->selectedItems().isEmpty();
    ok_->setEnabled(!empty && selected);
    const bool closable = empty || selected;
    cancel_->setEnabled(closable);
    if (closable == canClose_) return;
    canClose_ = closable;
    Qt::WindowFlags flags = windowFlags();
    flags.setFlag(Qt::WindowCloseButtonHint, closable);
    QWindow* shown = isVisible() ? windowHandle() : nullptr;
    if (!shown) {
        setWindowFlags(flags);
        return;
    }
    // setWindowFlags() on a shown widget re-creates its window: the dialog disappears and
    // a running exec() ends with it. A shown dialog changes the hint of its window in
    // place and stays up. Whether the frame drops its close button is the window
    // manager's choice; the close request itself is refused (closeEvent) either way.
    overrideWindowFlags(flags);
    shown->setFlags(flags);
}

void CDlgSelectSource::accept() {
    const auto selected = list_->selectedItems();
    if (selected.isEmpty()) {
        box_->Show(core::LoadMessageText(core::MessageNumber::NoSource), core::kMbOk | core::kMbIconStop, 0);
        return;
    }
    result_ = NameOf(selected.first());
    QDialog::accept();
}

void CDlgSelectSource::reject() {
    if (!canClose_) return;
    result_ = original_;
    QDialog::reject();
}

void CDlgSelectSource::closeEvent(QCloseEvent* event) {
    if (!canClose_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void CDlgSelectSource::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && !canClose_) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace ui
