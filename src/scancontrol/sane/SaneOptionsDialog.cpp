// The driver dialog generated from SANE options. See SaneOptionsDialog.h.
#include "scancontrol/sane/SaneOptionsDialog.h"

#include "scancontrol/SaneDriverDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>

namespace scancontrol::sanectl {

namespace {

QString UnitSuffix(OptUnit u) {
    switch (u) {
        case OptUnit::Pixel: return QStringLiteral(" px");
        case OptUnit::Bit: return QStringLiteral(" bit");
        case OptUnit::Mm: return QStringLiteral(" mm");
        case OptUnit::Dpi: return QStringLiteral(" dpi");
        case OptUnit::Percent: return QStringLiteral(" %");
        case OptUnit::Microsecond: return QStringLiteral(" µs");
        default: return {};
    }
}

QString Number(double v, OptType t) {
    return t == OptType::Fixed ? QString::number(v, 'f', 2) : QString::number(std::lround(v));
}

class OptionsDialog : public QDialog {
public:
    OptionsDialog(OptionEditor& editor, const std::string& deviceName, QWidget* parent)
        : QDialog(parent), editor_(editor) {
        setWindowTitle(QStringLiteral("Scanner settings: %1").arg(QString::fromStdString(deviceName)));
        auto* layout = new QVBoxLayout(this);
        advanced_ = new QCheckBox(QStringLiteral("Show advanced options"), this);
        layout->addWidget(advanced_);
        scroll_ = new QScrollArea(this);
        scroll_->setWidgetResizable(true);
        layout->addWidget(scroll_, 1);
        auto* buttons = new QDialogButtonBox(this);
        QPushButton* scan = buttons->addButton(QStringLiteral("Scan"), QDialogButtonBox::AcceptRole);
        scan->setObjectName(QStringLiteral("scanButton"));
        buttons->addButton(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
        layout->addWidget(buttons);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        connect(advanced_, &QCheckBox::toggled, this, [this] { Rebuild(); });
        resize(520, 640);
        Rebuild();
    }

private:
    // Writes one value; the options are read again and the form rebuilt afterwards
    // (from the event loop: the widget that sent the change is still on the stack).
    void Write(const OptionWrite& w) {
        if (long code = editor_.Write(w))
            QMessageBox::warning(this, windowTitle(),
                                 QStringLiteral("The device refused the value (error %1).").arg(code));
        QMetaObject::invokeMethod(
            this, [this] { Rebuild(); }, Qt::QueuedConnection);
    }

    void Rebuild() {
        auto* page = new QWidget;
        auto* pageLayout = new QVBoxLayout(page);
        QGroupBox* group = nullptr;
        QFormLayout* form = nullptr;
        auto ensureForm = [&] {
            if (!form) {
                group = new QGroupBox(QStringLiteral("General"), page);
                form = new QFormLayout(group);
                pageLayout->addWidget(group);
            }
        };
        for (const OptionInfo& o : editor_.Options().options) {
            if (o.type == OptType::Group) {
                group = new QGroupBox(QString::fromStdString(o.title), page);
                form = new QFormLayout(group);
                pageLayout->addWidget(group);
                continue;
            }
            if (!o.active || !o.settable || o.count > 1 || (o.advanced && !advanced_->isChecked())) continue;
            ensureForm();
            QWidget* w = MakeEditor(o, group);
            if (!w) continue;
            w->setObjectName(QString::fromStdString(o.name));
            w->setToolTip(QString::fromStdString(o.description));
            form->addRow(QString::fromStdString(o.title.empty() ? o.name : o.title), w);
        }
        pageLayout->addStretch(1);
        scroll_->setWidget(page); // deletes the previous form
    }

    QWidget* MakeEditor(const OptionInfo& o, QWidget* parent) {
        const std::string name = o.name;
        if (o.type == OptType::Bool) {
            auto* box = new QCheckBox(parent);
            box->setChecked(o.Value() != 0);
            connect(box, &QCheckBox::toggled, this, [this, name](bool on) {
                Write({name, {on ? 1.0 : 0.0}, {}, false, false});
            });
            return box;
        }
        if (o.type == OptType::Button) {
            auto* button = new QPushButton(QString::fromStdString(o.title), parent);
            connect(button, &QPushButton::clicked, this, [this, name] { Write({name, {}, {}, false, false}); });
            return button;
        }
        if (o.type == OptType::String) {
            if (o.constraint == OptConstraint::StringList) {
                auto* combo = new QComboBox(parent);
                for (const auto& s : o.strings) combo->addItem(QString::fromStdString(s));
                combo->setCurrentText(QString::fromStdString(o.text));
                connect(combo, &QComboBox::textActivated, this, [this, name](const QString& t) {
                    Write({name, {}, t.toStdString(), false, false});
                });
                return combo;
            }
            return new QLabel(QString::fromStdString(o.text), parent);
        }
        // Int and Fixed.
        if (o.constraint == OptConstraint::WordList) {
            auto* combo = new QComboBox(parent);
            for (double v : o.words) combo->addItem(Number(v, o.type) + UnitSuffix(o.unit), v);
            for (int i = 0; i < combo->count(); ++i)
                if (std::fabs(combo->itemData(i).toDouble() - o.Value()) < 1e-6) combo->setCurrentIndex(i);
            connect(combo, QOverload<int>::of(&QComboBox::activated), this, [this, name, combo](int i) {
                Write({name, {combo->itemData(i).toDouble()}, {}, false, false});
            });
            return combo;
        }
        if (o.type == OptType::Fixed) {
            auto* spin = new QDoubleSpinBox(parent);
            spin->setDecimals(2);
            spin->setRange(o.constraint == OptConstraint::Range ? o.minValue : -1e9,
                           o.constraint == OptConstraint::Range ? o.maxValue : 1e9);
            if (o.quant > 0) spin->setSingleStep(o.quant);
            spin->setSuffix(UnitSuffix(o.unit));
            spin->setValue(o.Value());
            connect(spin, &QDoubleSpinBox::editingFinished, this, [this, name, spin] {
                Write({name, {spin->value()}, {}, false, false});
            });
            return spin;
        }
        auto* spin = new QSpinBox(parent);
        spin->setRange(o.constraint == OptConstraint::Range ? static_cast<int>(o.minValue) : -1000000000,
                       o.constraint == OptConstraint::Range ? static_cast<int>(o.maxValue) : 1000000000);
        if (o.quant > 0) spin->setSingleStep(static_cast<int>(o.quant));
        spin->setSuffix(UnitSuffix(o.unit));
        spin->setValue(static_cast<int>(std::lround(o.Value())));
        connect(spin, &QSpinBox::editingFinished, this, [this, name, spin] {
            Write({name, {static_cast<double>(spin->value())}, {}, false, false});
        });
        return spin;
    }

    OptionEditor& editor_;
    QCheckBox* advanced_ = nullptr;
    QScrollArea* scroll_ = nullptr;
};

} // namespace

bool RunOptionsDialog(OptionEditor& editor, const std::string& deviceName, QWidget* parent) {
    OptionsDialog dialog(editor, deviceName, parent);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace scancontrol::sanectl

namespace scancontrol {

void InstallSaneDriverDialog() {
    sanectl::SetOptionsDialogRunner([](sanectl::OptionEditor& editor, const std::string& deviceName) {
        return sanectl::RunOptionsDialog(editor, deviceName);
    });
}

void UninstallSaneDriverDialog() { sanectl::SetOptionsDialogRunner(nullptr); }

} // namespace scancontrol
