// Qt's own texts (file, print and colour dialogs, standard buttons) in the program's language,
// from the translations of Qt installed on the system.
#pragma once

#include <string>

namespace qern {

// The locale name of a menu language number (1 German ... 12 Chinese); 0 and unknown numbers
// give the program's own language, German.
std::string QtLanguageName(int languageNumber);

// Installs Qt's translation for the language in place of the one installed before; false when
// the system has none for it (Qt's texts then stay English).
bool LoadQtTranslations(int languageNumber);

}  // namespace qern
