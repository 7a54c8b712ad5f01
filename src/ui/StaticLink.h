#pragma once
// A text label that behaves as a hyperlink to a help page: underlined, blue until it
// has been opened once, purple afterwards, the highlight colour while the mouse is
// over it, and a hand cursor.

#include <QColor>
#include <QLabel>
#include <functional>
#include <string>

namespace ui {

class CStaticLink : public QLabel {
    Q_OBJECT
public:
    // Opens a target; true when it could be opened.
    using Opener = std::function<bool(const std::string& target)>;
    // Shows the failure box (text, caption); replaceable so tests need no modal box.
    using FailureBox = std::function<void(const QString& text, const QString& caption)>;

    explicit CStaticLink(const QString& text = QString(), QWidget* parent = nullptr);

    // The link target; when empty, the label's text is the target.
    void SetTarget(const std::string& target);
    std::string Target() const;

    // Every link of the process opens its target with this opener unless it has one
    // of its own (the application installs the help launcher at start-up).
    static void SetDefaultOpener(Opener opener);
    void SetOpener(Opener opener) { opener_ = std::move(opener); }
    void SetFailureBox(FailureBox box) { failureBox_ = std::move(box); }

    bool IsVisited() const { return visited_; }
    bool IsHovered() const { return hover_; }
    QColor CurrentColor() const;

    static const QColor kUnvisited;
    static const QColor kVisited;

signals:
    void opened();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Open();
    void ApplyColor();

    std::string target_;
    Opener opener_;
    FailureBox failureBox_;
    bool hover_ = false;
    bool visited_ = false;
};

} // namespace ui
