#pragma once

#include <QString>

namespace ondrel {

// The window-wide language preference (settings key LANG): 1 converts texts to Traditional
// Chinese characters, anything else leaves them alone. LangText reads it at every call.
void setLanguageSetting(int lang);
int languageSetting();

// Passes a text built at run time through the language setting.
QString LangText(const QString& text);

// Maps Simplified to Traditional Chinese character by character, keeping the length: characters
// without a single Traditional form (and all ASCII) stay as they are.
QString toTraditional(const QString& text);

} // namespace ondrel
