#include "ui/StaticLink.h"

#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPalette>

#include "ui/UiText.h"

namespace ui {
namespace {

CStaticLink::Opener& DefaultOpener() {
    static CStaticLink::Opener opener;
    return opener;
}

} // namespace

const QColor CStaticLink::kUnvisited(0, 0, 238);
const QColor CStaticLink::kVisited(85, 26, 139);

CStaticLink::CStaticLink(const QString& text, QWidget* parent) : QLabel(text, parent) {
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover, true);
    setTextFormat(Qt::PlainText);
    ApplyColor();
}

void CStaticLink::SetTarget(const std::string& target) {
    target_ = target;
    if (text().isEmpty()) setText(ToQt(target));
}

std::string CStaticLink::Target() const { return target_.empty() ? FromQt(text()) : target_; }

void CStaticLink::SetDefaultOpener(Opener opener) { DefaultOpener() = std::move(opener); }

QColor CStaticLink::CurrentColor() const {
    if (hover_) return palette().color(QPalette::Active, QPalette::Highlight);
    return visited_ ? kVisited : kUnvisited;
}

void CStaticLink::ApplyColor() {
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, CurrentColor());
    setPalette(pal);
    update();
}

void CStaticLink::enterEvent(QEnterEvent* event) {
    hover_ = true;
    ApplyColor();
    QLabel::enterEvent(event);
}

void CStaticLink::leaveEvent(QEvent* event) {
    hover_ = false;
    ApplyColor();
    QLabel::leaveEvent(event);
}

void CStaticLink::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) Open();
    QLabel::mouseReleaseEvent(event);
}

void CStaticLink::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Open();
        return;
    }
    QLabel::keyPressEvent(event);
}

void CStaticLink::Open() {
    const std::string target = Target();
    const Opener& opener = opener_ ? opener_ : DefaultOpener();
    if (opener && opener(target)) {
        visited_ = true;
        ApplyColor();
        emit opened();
        return;
    }
    const QString text = QStringLiteral("Unable to open :") + ToQt(target);
    const QString caption = QStringLiteral("Error");
    if (failureBox_) {
        failureBox_(text, caption);
    } else {
        QMessageBox::warning(window(), caption, text);
    }
}

} // namespace ui
