#include "ui/ScanProgressPanel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "ui/UiText.h"

namespace ui {

ScanProgressPanel::ScanProgressPanel(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("scanProgress"));
    setFrameShape(QFrame::StyledPanel);
    setFocusPolicy(Qt::NoFocus);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    destination_ = new QLabel(this);
    destination_->setObjectName(QStringLiteral("progressDestination"));
    page_ = new QLabel(this);
    page_->setObjectName(QStringLiteral("progressPage"));
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("progressBar"));
    bar_->setRange(0, 100);
    bar_->setTextVisible(false);
    cancel_ = new QPushButton(UiString("MD_Cancel", QStringLiteral("Cancel")), this);
    cancel_->setObjectName(QStringLiteral("cancelScan"));
    cancel_->setFocusPolicy(Qt::NoFocus);
    cancel_->setAutoDefault(false);
    layout->addWidget(destination_);
    layout->addWidget(page_);
    layout->addWidget(bar_, 1);
    layout->addWidget(cancel_);
    connect(cancel_, &QPushButton::clicked, this, &ScanProgressPanel::cancelRequested);
}

void ScanProgressPanel::SetDestination(const QString& text) { destination_->setText(text); }

void ScanProgressPanel::SetProgress(long page, int percent) {
    QString text = UiString("MD_Page", QStringLiteral("Page %1"));
    page_->setText(page > 0 ? text.replace(QStringLiteral("%1"), QString::number(page)) : QString());
    if (percent < 0) {
        bar_->setRange(0, 0); // the page's length is not known: a busy bar
    } else {
        bar_->setRange(0, 100);
        bar_->setValue(percent);
    }
}

} // namespace ui

namespace ui {

void ScanProgressPanel::SetRecognising(int page, int pages) {
    QString text = UiString("MD_Recognising", QStringLiteral("Recognising text, page %1 of %2"));
    page_->setText(text.replace(QStringLiteral("%1"), QString::number(page))
                       .replace(QStringLiteral("%2"), QString::number(pages)));
    bar_->setRange(0, pages > 0 ? pages : 1);
    bar_->setValue(page > 0 ? page - 1 : 0);
}

} // namespace ui
