#pragma once
// The strip the main window shows while a scan runs: the destination being served, the
// page being read, how far that page is (a busy bar when the scanner does not know the
// page's length) and a Cancel button. It never takes the keyboard focus: it appears in
// a window the user may not be working in.

#include <QFrame>

class QLabel;
class QProgressBar;
class QPushButton;

namespace ui {

class ScanProgressPanel : public QFrame {
    Q_OBJECT
public:
    explicit ScanProgressPanel(QWidget* parent = nullptr);

    void SetDestination(const QString& text);
    // `page` 1-based (0: none begun yet); `percent` 0..100, or -1 when not known.
    void SetProgress(long page, int percent);
    // The step after the pages are in: the text of page `page` of `pages` is being
    // recognised.
    void SetRecognising(int page, int pages);

    QLabel* DestinationLabel() const { return destination_; }
    QLabel* PageLabel() const { return page_; }
    QProgressBar* Bar() const { return bar_; }
    QPushButton* CancelButton() const { return cancel_; }

signals:
    void cancelRequested();

private:
    QLabel* destination_;
    QLabel* page_;
    QProgressBar* bar_;
    QPushButton* cancel_;
};

} // namespace ui
