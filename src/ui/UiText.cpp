#include "ui/UiText.h"

#include "core/Texts.h"

namespace ui {

QString DisplayText(const std::string& stored) {
    QString text = ToQt(stored);
    text.replace(QLatin1String("\\n"), QLatin1String("\n"));
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text;
}

QString UiString(const char* key, const QString& fallback) {
    std::string value = core::LoadUIString(key);
    return value.empty() ? fallback : ToQt(value);
}

} // namespace ui
