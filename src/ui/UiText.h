#pragma once
// Text helpers shared by the windows: the data files hold UTF-8 bytes, and Str.dat keeps
// a line break inside a message as the two characters '\' 'n'.

#include <QString>
#include <string>

namespace ui {

inline QString ToQt(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<int>(text.size())); }
inline std::string FromQt(const QString& text) { return text.toUtf8().toStdString(); }

// The text as a person should see it: "\n" written as two characters becomes a line
// break, and CR LF pairs become plain line breaks.
QString DisplayText(const std::string& stored);

// A label text of Str.dat's UIString section, or `fallback` when the key is missing.
QString UiString(const char* key, const QString& fallback = QString());

} // namespace ui
