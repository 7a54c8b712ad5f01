#pragma once
// The settings tip of a picture button: a tooltip window that appears 300 ms after the
// mouse enters the button (100 ms when another tip has just closed), stays up to ten
// seconds, and is placed with its top-left corner at the button's bottom-left corner,
// so the pointer never covers it. The tips can be switched off as a whole.

#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <string>

namespace ui {

class CButtonTip : public QLabel {
    Q_OBJECT
public:
    explicit CButtonTip(QWidget* button);

    // The tip text; lines may end with CR LF.
    void SetTipText(const std::string& text);
    const std::string& TipText() const { return text_; }

    // An inactive tip never shows (and hides at once when switched off).
    void SetActive(bool on);
    bool IsActive() const { return active_; }

    void SetDelays(int initialMs, int autoPopMs, int reshowMs);

    // Shows the tip now at its place, if it is active and has a text.
    void ShowNow();
    // The screen position of the tip's top-left corner: the button's bottom-left.
    QPoint Anchor() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void HideTip();

    QPointer<QWidget> button_;
    std::string text_;
    bool active_ = true;
    int initialMs_ = 300;
    int reshowMs_ = 100;
    QTimer showTimer_;
    QTimer popTimer_;
};

} // namespace ui
