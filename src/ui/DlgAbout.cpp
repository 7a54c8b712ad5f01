#include "ui/DlgAbout.h"

#include <QApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "settings/ProductData.h"
#include "ui/UiText.h"

namespace ui {

DlgAbout::DlgAbout(QWidget* parent) : QDialog(parent) {
    setWindowTitle(UiString("AD_Caption", QStringLiteral("About")));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* icon = new QLabel(this);
    icon->setPixmap(QApplication::windowIcon().pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    icon->setFixedWidth(64);

    name_ = new QLabel(UiString("AD_SoftwareName", QStringLiteral("Scanner Utility")), this);
    QFont big = name_->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.35);
    name_->setFont(big);
    version_ = new QLabel(UiString("AD_Version", QStringLiteral("Version 0.4.0")), this);

    const char* noticeKeys[4] = {"AD_Copyright", "AD_Notice1", "AD_Notice2", "AD_Notice3"};
    auto* text = new QVBoxLayout;
    text->setSpacing(4);
    text->addWidget(name_);
    text->addWidget(version_);
    text->addSpacing(8);
    for (int i = 0; i < 4; ++i) {
        notices_[i] = new QLabel(UiString(noticeKeys[i]), this);
        notices_[i]->setWordWrap(true);
        notices_[i]->setVisible(!notices_[i]->text().isEmpty());
        text->addWidget(notices_[i]);
    }

    // The logo, drawn at its own size when the program folder supplies one.
    const QString logoPath = ToQt(settings::ProgramFolder() + "logo.bmp");
    hasLogo_ = QFileInfo::exists(logoPath);
    if (hasLogo_) {
        QPixmap logo(logoPath);
        hasLogo_ = !logo.isNull();
        if (hasLogo_) {
            auto* logoLabel = new QLabel(this);
            logoLabel->setObjectName(QStringLiteral("logo"));
            logoLabel->setPixmap(logo);
            text->addSpacing(6);
            text->addWidget(logoLabel);
        }
    }
    text->addStretch(1);

    ok_ = new QPushButton(UiString("AD_OK_Button", QStringLiteral("OK")), this);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addLayout(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    auto* all = new QVBoxLayout(this);
    all->setContentsMargins(16, 16, 16, 12);
    all->addLayout(top, 1);
    all->addLayout(buttons);
    setMinimumWidth(452);
}

} // namespace ui
