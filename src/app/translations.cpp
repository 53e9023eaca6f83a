#include "app/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <cstdlib>

namespace kelvor {
namespace {

// "ja" of "ja_JP.UTF-8", "C" of "C.UTF-8".
std::string_view LanguagePart(std::string_view locale) {
  return locale.substr(0, locale.find_first_of("_.@"));
}

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

}  // namespace

UiLanguage ChooseUiLanguage(const LocaleEnvironment& environment) {
  const std::string_view override = LanguagePart(environment.kelvorLang);
  if (override == "ja") return UiLanguage::Japanese;
  if (override == "en") return UiLanguage::English;
  // The first of these that is set decides, as it does for the C library's messages.
  const std::string& locale = !environment.lcAll.empty()        ? environment.lcAll
                              : !environment.lcMessages.empty() ? environment.lcMessages
                                                                : environment.lang;
  const std::string_view language = LanguagePart(locale);
  if (language.empty() || language == "C" || language == "POSIX" || language == "ja") {
    return UiLanguage::Japanese;
  }
  return UiLanguage::English;
}

UiLanguage UiLanguageFromEnvironment() {
  return ChooseUiLanguage(LocaleEnvironment{Variable("KELVOR_LANG"), Variable("LC_ALL"),
                                            Variable("LC_MESSAGES"), Variable("LANG")});
}

QString Tr(std::string_view japanese) {
  const std::string source(japanese);
  return QCoreApplication::translate(TextContext, source.c_str());
}

std::optional<std::string> FillDirectives(std::string_view format, std::span<const TextArg> args) {
  std::string out;
  size_t next = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      out += format[i];
      continue;
    }
    size_t at = i + 1;
    if (at < format.size() && format[at] == '%') {
      out += '%';
      i = at;
      continue;
    }
    size_t width = 0;
    while (at < format.size() && format[at] >= '0' && format[at] <= '9' && width < 100) {
      width = width * 10 + static_cast<size_t>(format[at] - '0');
      ++at;
    }
    if (at >= format.size() || next >= args.size()) return std::nullopt;
    const TextArg& arg = args[next++];
    std::string piece;
    if (format[at] == 'd' && std::holds_alternative<int>(arg)) {
      piece = std::to_string(std::get<int>(arg));
    } else if (format[at] == 's' && std::holds_alternative<std::string_view>(arg)) {
      piece = std::string(std::get<std::string_view>(arg));
    } else {
      return std::nullopt;
    }
    if (piece.size() < width) out.append(width - piece.size(), ' ');
    out += piece;
    i = at;
  }
  if (next != args.size()) return std::nullopt;
  return out;
}

std::string FormatText(std::string_view japanese, std::span<const TextArg> args) {
  if (std::optional<std::string> filled = FillDirectives(Tr(japanese).toStdString(), args)) {
    return *filled;
  }
  return FillDirectives(japanese, args).value_or(std::string(japanese));
}

Translations::~Translations() {
  Remove();
}

bool Translations::Install(UiLanguage language) {
  Remove();
  bool complete = true;
  if (language == UiLanguage::English) {
    editorInstalled_ = editor_.load(QStringLiteral(":/translations/kelvor_en.qm")) &&
                       QCoreApplication::installTranslator(&editor_);
    complete = editorInstalled_;
  }
  // Qt's own texts: the file dialogs, the colour dialog, the buttons of
  // message boxes. English ones need no catalogue, so only Japanese must have it.
  const QString qtCatalogue =
      language == UiLanguage::Japanese ? QStringLiteral("qtbase_ja") : QStringLiteral("qtbase_en");
  qtInstalled_ = qt_.load(qtCatalogue, QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
                 QCoreApplication::installTranslator(&qt_);
  if (language == UiLanguage::Japanese) complete = qtInstalled_;
  return complete;
}

void Translations::Remove() {
  if (editorInstalled_) QCoreApplication::removeTranslator(&editor_);
  if (qtInstalled_) QCoreApplication::removeTranslator(&qt_);
  editorInstalled_ = false;
  qtInstalled_ = false;
}

}  // namespace kelvor
