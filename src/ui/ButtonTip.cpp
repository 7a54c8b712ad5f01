#include "ui/ButtonTip.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QToolTip>

#include "ui/UiText.h"

namespace ui {
namespace {

// When the last tip closed: a tip opened soon after uses the short reshow delay.
QElapsedTimer& LastHidden() {
    static QElapsedTimer timer;
    return timer;
}

} // namespace

CButtonTip::CButtonTip(QWidget* button)
    : QLabel(button ? button->window() : nullptr,
             Qt::ToolTip | Qt::FramelessWindowHint | Qt::BypassGraphicsProxyWidget),
      button_(button) {
    setObjectName(QStringLiteral("buttonTip"));
    setTextFormat(Qt::PlainText);
    setPalette(QToolTip::palette());
    setFont(QToolTip::font());
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setMargin(6);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setMaximumWidth(5000);
    showTimer_.setSingleShot(true);
    popTimer_.setSingleShot(true);
    popTimer_.setInterval(10000);
    connect(&showTimer_, &QTimer::timeout, this, &CButtonTip::ShowNow);
    connect(&popTimer_, &QTimer::timeout, this, &CButtonTip::HideTip);
    if (button) button->installEventFilter(this);
}

void CButtonTip::SetTipText(const std::string& text) {
    text_ = text;
    setText(DisplayText(text));
    adjustSize();
}

void CButtonTip::SetActive(bool on) {
    active_ = on;
    if (!on) HideTip();
}

void CButtonTip::SetDelays(int initialMs, int autoPopMs, int reshowMs) {
    initialMs_ = initialMs;
    reshowMs_ = reshowMs;
    popTimer_.setInterval(autoPopMs);
}

QPoint CButtonTip::Anchor() const {
    if (!button_) return QPoint();
    return button_->mapToGlobal(button_->rect().bottomLeft() + QPoint(0, 1));
}

void CButtonTip::ShowNow() {
    if (!active_ || text_.empty() || !button_ || !button_->isVisible()) return;
    adjustSize();
    move(Anchor());
    show();
    raise();
    popTimer_.start();
}

void CButtonTip::HideTip() {
    showTimer_.stop();
    popTimer_.stop();
    if (isVisible()) {
        hide();
        LastHidden().start();
    }
}

bool CButtonTip::eventFilter(QObject* watched, QEvent* event) {
    if (watched == button_) {
        switch (event->type()) {
            case QEvent::Enter: {
                if (!active_) break;
                const bool recent = LastHidden().isValid() && LastHidden().elapsed() < 500;
                showTimer_.start(recent ? reshowMs_ : initialMs_);
                break;
            }
            case QEvent::Leave:
            case QEvent::MouseButtonPress:
            case QEvent::Hide:
            case QEvent::WindowDeactivate: HideTip(); break;
            case QEvent::ToolTip: return true; // this tip replaces the standard one
            default: break;
        }
    }
    return QLabel::eventFilter(watched, event);
}

} // namespace ui
