// Opens one of the Button Settings dialog's two small dialogs on its own, for tests that
// drive it on a real X server. Prints where its controls are (their centres inside the
// window), waits for the user, and prints what the dialog left behind.
//
//   subdialog_probe option <scan-method list> <method> <paper> <duplex unit 0|1> <family>
//       prints "result=<0|1>" and "methods=<the list as text>"
//   subdialog_probe app <settings file> add|<identifier to modify>
//       prints "path-chosen" each time the program's path is filled in, then "result=<0|1>"
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "settings/AppList.h"
#include "settings/ScanSettingValues.h"
#include "ui/AppOperateDlg.h"
#include "ui/OptionDialog.h"
#include "ui/StaticLink.h"

namespace {

void PrintCentre(QDialog& dialog, QWidget* widget, const char* name) {
    const QPoint c = widget->mapTo(&dialog, widget->rect().center());
    std::printf("pos %s %d %d\n", name, c.x(), c.y());
}

int Run(QDialog& dialog, const std::vector<std::pair<QWidget*, const char*>>& controls) {
    dialog.show();
    QTimer::singleShot(0, &dialog, [&] {
        for (const auto& [widget, name] : controls) PrintCentre(dialog, widget, name);
        std::printf("shown\n");
        std::fflush(stdout);
    });
    return dialog.exec() == QDialog::Accepted ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const std::string kind = argc > 1 ? argv[1] : "";
    if (kind == "option" && argc == 7) {
        auto methods = settings::ScanMethodArr::FromText(argv[2]);
        const bool duplexUnit = std::string(argv[5]) == "1";
        const int family = std::atoi(argv[6]);
        ui::COptionDialog::SetDeviceSource([=] { return ui::OptionDeviceFacts{duplexUnit, family}; });
        ui::COptionDialog dialog(methods, argv[3], nullptr, argv[4]);
        const int result = Run(dialog, {{dialog.LeftRadio(), "left"},
                                        {dialog.UpperRadio(), "upper"},
                                        {dialog.DuplexOffBox(), "off"},
                                        {dialog.LRBindingRadio(), "lr"},
                                        {dialog.TopBindingRadio(), "top"},
                                        {dialog.OkButton(), "ok"},
                                        {dialog.CancelButton(), "cancel"}});
        std::printf("result=%d\nmethods=%s\n", result, methods->ToText().c_str());
        return 0;
    }
    if (kind == "app" && argc == 4) {
        auto provider = std::make_shared<settings::AppListProvider>("Application1", argv[2]);
        std::shared_ptr<settings::AppOperateMode> mode;
        if (std::string(argv[3]) == "add") mode = std::make_shared<settings::AppOperateAddMode>(provider);
        else mode = std::make_shared<settings::AppOperateModifyMode>(provider, std::atoi(argv[3]));
        ui::CAppOperateDlg dialog(mode);
        // The chooser's window goes before its loop has ended, and until then a click on
        // this dialog is discarded as blocked: a test waits for this line first.
        QObject::connect(dialog.PathEdit(), &QLineEdit::textChanged, [] {
            std::printf("path-chosen\n");
            std::fflush(stdout);
        });
        const int result = Run(dialog, {{dialog.TitleEdit(), "title"},
                                        {dialog.BrowseButton(), "browse"},
                                        {dialog.OkButton(), "ok"},
                                        {dialog.CancelButton(), "cancel"}});
        std::printf("result=%d\npath=%s\n", result, dialog.PathEdit()->text().toUtf8().constData());
        return 0;
    }
    std::fprintf(stderr, "usage: subdialog_probe option|app ...\n");
    return 2;
}
