#include "ui/QtMessageBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include "ui/UiText.h"

namespace ui {
namespace {

constexpr int kIdAbort = 3, kIdRetry = 4, kIdIgnore = 5;

QString BoxTitle() { return UiString("MD_Caption", QStringLiteral("Scanner Utility")); }

} // namespace

QMessageBox* CreateMessageBox(const std::string& text, unsigned style, QWidget* owner) {
    auto* box = new QMessageBox(owner);
    box->setWindowTitle(BoxTitle());
    box->setText(DisplayText(text));
    switch (style & 0xF0u) {
        case core::kMbIconStop: box->setIcon(QMessageBox::Critical); break;
        case core::kMbIconQuestion: box->setIcon(QMessageBox::Question); break;
        case core::kMbIconExclamation: box->setIcon(QMessageBox::Warning); break;
        case core::kMbIconInformation: box->setIcon(QMessageBox::Information); break;
        default: box->setIcon(QMessageBox::NoIcon); break;
    }
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton escape = QMessageBox::NoButton;
    switch (style & 0x0Fu) {
        case core::kMbOkCancel:
            buttons = QMessageBox::Ok | QMessageBox::Cancel;
            escape = QMessageBox::Cancel;
            break;
        case 0x2: buttons = QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore; break;
        case core::kMbYesNoCancel:
            buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
            escape = QMessageBox::Cancel;
            break;
        case core::kMbYesNo: buttons = QMessageBox::Yes | QMessageBox::No; break;
        case core::kMbRetryCancel:
            buttons = QMessageBox::Retry | QMessageBox::Cancel;
            escape = QMessageBox::Cancel;
            break;
        default:
            buttons = QMessageBox::Ok;
            escape = QMessageBox::Ok;
            break;
    }
    box->setStandardButtons(buttons);
    // Like the first button of the style, the first button of the set is the default.
    const QMessageBox::StandardButton order[] = {QMessageBox::Ok, QMessageBox::Yes, QMessageBox::Abort,
                                                 QMessageBox::Retry};
    for (auto b : order) {
        if (buttons.testFlag(b)) {
            box->setDefaultButton(b);
            break;
        }
    }
    if (escape != QMessageBox::NoButton) box->setEscapeButton(escape);
    return box;
}

int MessageResultOf(QMessageBox& box) {
    switch (box.standardButton(box.clickedButton())) {
        case QMessageBox::Ok: return core::kIdOk;
        case QMessageBox::Yes: return core::kIdYes;
        case QMessageBox::No: return core::kIdNo;
        case QMessageBox::Abort: return kIdAbort;
        case QMessageBox::Retry: return kIdRetry;
        case QMessageBox::Ignore: return kIdIgnore;
        default: return core::kIdCancel;
    }
}

int QtMessageBox::ShowHere(const std::string& text, unsigned style) {
    QWidget* owner = owner_ ? owner_.data() : QApplication::activeWindow();
    QMessageBox* box = CreateMessageBox(text, style, owner);
    box->exec();
    const int result = MessageResultOf(*box);
    delete box;
    return result;
}

int QtMessageBox::Show(const std::string& text, unsigned style, unsigned) {
    auto* app = QCoreApplication::instance();
    if (!app) return 0;
    if (QThread::currentThread() == app->thread()) return ShowHere(text, style);
    int result = 0;
    QMetaObject::invokeMethod(
        app, [&] { result = ShowHere(text, style); }, Qt::BlockingQueuedConnection);
    return result;
}

} // namespace ui
