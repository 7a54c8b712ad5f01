#pragma once
// The button settings dialog: the four destination pages behind the same four picture
// buttons as the main window, which act as its tabs. OK checks every page, stores what
// they hold and closes; Cancel, Escape and closing the window store nothing.

#include <QDialog>
#include <array>
#include <functional>
#include <memory>

#include "settings/Records.h"

class QLabel;
class QStackedWidget;

namespace ui {

class CDlgPage;
class CSkinButton;

class DLGSetting : public QDialog {
    Q_OBJECT
public:
    // `settingsLoaded` runs once the stored settings have been read (the main window
    // refreshes its button tips from them).
    explicit DLGSetting(QWidget* parent = nullptr, std::function<void()> settingsLoaded = {});
    ~DLGSetting() override;

    // 0 Application1, 1 Application2, 2 Folder, 3 PC-Fax.
    CDlgPage* Page(int index) const { return pages_[static_cast<size_t>(index)]; }
    CSkinButton* TabButton(int index) const { return tabs_[static_cast<size_t>(index)]; }
    int CurrentPage() const { return current_; }
    // Shows that page and makes it the current destination.
    void SelectPage(int index);

    // OK: checks the pages in order, reads them back and stores the settings; stays open
    // on the first page that is refused and when storing fails (message 102).
    void accept() override;

private:
    void ShowPage(int index);

    settings::DestinationSettings bundle_;
    // The records as loaded, to tell which pages changed anything.
    std::array<std::unique_ptr<settings::CommonSetting>, 4> loaded_;
    bool storedBefore_ = false; // the user's settings file existed when the dialog opened
    std::array<CDlgPage*, 4> pages_{};
    std::array<CSkinButton*, 4> tabs_{};
    QStackedWidget* stack_ = nullptr;
    int current_ = 0;
};

} // namespace ui
