#pragma once

#include <QString>
#include <QTranslator>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace kelvor {

// The language of the editor's interface. The Japanese texts are the
// program's own; English is a translation of them.
enum class UiLanguage { Japanese, English };

// What the language is chosen from: the KELVOR_LANG override and the locale
// variables that decide the language of messages, strongest first.
struct LocaleEnvironment {
  std::string kelvorLang;  // KELVOR_LANG
  std::string lcAll;       // LC_ALL
  std::string lcMessages;  // LC_MESSAGES
  std::string lang;        // LANG
};

// KELVOR_LANG=ja or en wins. Otherwise the desktop's message locale decides:
// Japanese for a Japanese locale and for the C locale (C, C.UTF-8, POSIX or
// none at all, so scripts keep the reference texts), English for any other.
UiLanguage ChooseUiLanguage(const LocaleEnvironment& environment);
// The same, read from this process's environment.
UiLanguage UiLanguageFromEnvironment();

// The translation context of every text the editor's code shows. The dialog
// forms translate theirs under their own class names.
inline constexpr const char* TextContext = "Kelvor";

// A text of the editor in the interface language. Texts are kept and passed
// around in Japanese; they are translated only where they are shown.
QString Tr(std::string_view japanese);

// An argument of a printf-style text.
using TextArg = std::variant<std::string_view, int>;

// Fills the directives of a printf-style text (%s, %d, %3d, and %% for a
// percent sign) with `args`, in order. Nothing when the directives do not
// match the arguments one for one, so a faulty text can never reach for an
// argument that is not there.
std::optional<std::string> FillDirectives(std::string_view format, std::span<const TextArg> args);

// A printf-style text of the editor, translated, then filled; the Japanese
// text is used when the translation's directives do not fit.
std::string FormatText(std::string_view japanese, std::span<const TextArg> args);

// Installs the editor's translation and Qt's own (the standard dialogs and
// buttons) for one language, and removes them again when destroyed. Japanese
// needs no translation of ours: the texts are Japanese already.
class Translations {
 public:
  Translations() = default;
  ~Translations();
  Translations(const Translations&) = delete;
  Translations& operator=(const Translations&) = delete;

  // False when a translation the language needs could not be loaded; the
  // editor then shows those texts untranslated.
  bool Install(UiLanguage language);
  void Remove();

 private:
  QTranslator editor_;
  QTranslator qt_;
  bool editorInstalled_ = false;
  bool qtInstalled_ = false;
};

}  // namespace kelvor
