// The interface in its two languages: every text of the editor has a finished
// English entry that keeps what the program relies on, the language follows
// the desktop, and the windows, menus and message boxes speak it.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFile>
#include <QKeySequence>
#include <QMessageBox>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "app/palette_window.h"
#include "app/qt_editor_dialogs.h"
#include "app/qt_messages.h"
#include "app/translations.h"
#include "editor_fixture.h"
#include "files/save_as.h"
#include "resources/menu_tables.h"
#include "support/modal_dialogs.h"
#include "tools/palette_commands.h"

namespace kelvor {
namespace {

namespace fs = std::filesystem;

const fs::path SourceDir = KELVOR_SOURCE_DIR;

struct Entry {
  std::string translation;
  std::string type;  // "unfinished", "vanished", ... or empty when finished
};
using Catalogue = std::map<std::pair<std::string, std::string>, Entry>;  // (context, source)

Catalogue ReadCatalogue(const fs::path& path) {
  Catalogue catalogue;
  QFile file(QString::fromStdString(path.string()));
  if (!file.open(QIODevice::ReadOnly)) return catalogue;
  QXmlStreamReader xml(&file);
  std::string context;
  std::string source;
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    if (xml.name() == u"name") context = xml.readElementText().toStdString();
    if (xml.name() == u"source") source = xml.readElementText().toStdString();
    if (xml.name() == u"translation") {
      Entry entry;
      entry.type = xml.attributes().value(QStringLiteral("type")).toString().toStdString();
      entry.translation = xml.readElementText().toStdString();
      catalogue[{context, source}] = entry;
    }
  }
  EXPECT_FALSE(xml.hasError()) << path << ": " << xml.errorString().toStdString();
  return catalogue;
}

struct EditorText {
  std::string context;
  std::string source;
  std::string from;
};

bool HasNonAscii(const std::string& text) {
  for (unsigned char c : text) {
    if (c >= 0x80) return true;
  }
  return false;
}

// The string literals of C++ code that hold more than ASCII, adjacent
// literals joined and simple escapes decoded; comments are skipped.
std::vector<std::string> NonAsciiLiterals(const std::string& code) {
  std::vector<std::string> found;
  std::string run;
  bool inRun = false;
  const auto flush = [&] {
    if (inRun && HasNonAscii(run)) found.push_back(run);
    run.clear();
    inRun = false;
  };
  size_t i = 0;
  while (i < code.size()) {
    const char c = code[i];
    const char next = i + 1 < code.size() ? code[i + 1] : '\0';
    if (c == '/' && next == '/') {
      i = code.find('\n', i);
      if (i == std::string::npos) break;
    } else if (c == '/' && next == '*') {
      i = code.find("*/", i + 2);
      if (i == std::string::npos) break;
      i += 2;
    } else if (c == '\'' && (i == 0 || !std::isalnum(static_cast<unsigned char>(code[i - 1])))) {
      flush();
      for (++i; i < code.size() && code[i] != '\''; ++i) {
        if (code[i] == '\\') ++i;
      }
      ++i;
    } else if (c == '"') {
      for (++i; i < code.size() && code[i] != '"'; ++i) {
        if (code[i] != '\\' || i + 1 >= code.size()) {
          run += code[i];
          continue;
        }
        const char escaped = code[++i];
        run += escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped;
      }
      ++i;
      inRun = true;
    } else {
      if (!std::isspace(static_cast<unsigned char>(c))) flush();
      ++i;
    }
  }
  flush();
  return found;
}

// Every text the editor shows: its tables, the Japanese texts anywhere in
// its code (kelvor-cli speaks English and is left out), the dialog forms.
std::vector<EditorText> EditorTexts() {
  std::vector<EditorText> texts;
  const auto add = [&texts](std::string_view source, const std::string& from) {
    if (!source.empty()) texts.push_back({TextContext, std::string(source), from});
  };
  for (int32_t resource : {MenuMapWindow, MenuPaletteWindow, MenuMapContext}) {
    for (const PopupDef& popup : LoadMenuDef(resource).popups) {
      add(popup.title, "menu " + std::to_string(resource));
      for (const MenuItemDef& item : popup.items)
        add(item.text, "menu " + std::to_string(resource));
    }
  }
  for (const OpenFileType& type : OpenFileTypes) add(type.text, "Open types");
  for (const SaveAsType& type : SaveAsTypes) add(type.text, "Save As types");
  for (int32_t mode = 0; mode < 4; ++mode) add(PaletteModeTitle(mode), "palette titles");
  add(AboutVersionFormat, "About box");

  std::vector<fs::path> code;
  for (const auto& file : fs::recursive_directory_iterator(SourceDir / "src")) code.push_back(file);
  for (const auto& file : fs::directory_iterator(SourceDir / "resources")) code.push_back(file);
  for (const fs::path& path : code) {
    const std::string extension = path.extension().string();
    if ((extension != ".cpp" && extension != ".h") ||
        path.string().find("/src/cli/") != std::string::npos) {
      continue;
    }
    std::ifstream in(path);
    std::stringstream content;
    content << in.rdbuf();
    for (const std::string& literal : NonAsciiLiterals(content.str())) {
      add(literal, fs::relative(path, SourceDir).string());
    }
  }

  for (const auto& file : fs::directory_iterator(SourceDir / "resources")) {
    if (file.path().extension() != ".ui") continue;
    QFile form(QString::fromStdString(file.path().string()));
    EXPECT_TRUE(form.open(QIODevice::ReadOnly)) << file.path();
    QXmlStreamReader xml(&form);
    std::string formClass;
    while (!xml.atEnd()) {
      if (xml.readNext() != QXmlStreamReader::StartElement) continue;
      if (xml.name() == u"class" && formClass.empty()) {
        formClass = xml.readElementText().toStdString();
      } else if (xml.name() == u"string" &&
                 xml.attributes().value(QStringLiteral("notr")) != QStringLiteral("true")) {
        const std::string text = xml.readElementText().toStdString();
        if (!text.empty()) {
          texts.push_back({formClass, text, fs::relative(file.path(), SourceDir).string()});
        }
      }
    }
  }
  return texts;
}

// The parts of a text the program fills in or relies on: printf and Qt
// placeholders, in order, and a file dialog pattern at the end.
std::vector<std::string> Placeholders(const std::string& text) {
  std::vector<std::string> found;
  static const QRegularExpression directive(QStringLiteral(R"(%(?:%|\d*[sd]|\d+))"));
  for (const QRegularExpressionMatch& match : directive.globalMatch(QString::fromStdString(text))) {
    found.push_back(match.captured().toStdString());
  }
  static const QRegularExpression pattern(QStringLiteral(R"(\(\*\.[^)]*\)$)"));
  const QRegularExpressionMatch match = pattern.match(QString::fromStdString(text));
  if (match.hasMatch()) found.push_back(match.captured().toStdString());
  return found;
}

bool HasMnemonic(const std::string& text) {
  return !QKeySequence::mnemonic(QString::fromStdString(text)).isEmpty();
}

TEST(TranslationFileTest, EveryTextOfTheEditorHasAFinishedEnglishEntry) {
  test::TestApplication();
  const Catalogue catalogue = ReadCatalogue(SourceDir / "resources/translations/kelvor_en.ts");
  ASSERT_FALSE(catalogue.empty());
  std::set<std::pair<std::string, std::string>> checked;
  for (const EditorText& text : EditorTexts()) {
    if (!checked.insert({text.context, text.source}).second) continue;
    const std::string named = "\"" + text.source + "\" (" + text.context + ", " + text.from + ")";
    const auto found = catalogue.find({text.context, text.source});
    if (found == catalogue.end()) {
      ADD_FAILURE() << named << " is not in kelvor_en.ts";
      continue;
    }
    const Entry& entry = found->second;
    EXPECT_TRUE(entry.type.empty()) << named << ": the English entry is " << entry.type;
    EXPECT_FALSE(entry.translation.empty()) << named << ": the English entry is empty";
    EXPECT_EQ(Placeholders(entry.translation), Placeholders(text.source))
        << named << ": the English \"" << entry.translation
        << "\" must keep the placeholders and the file pattern";
    EXPECT_EQ(HasMnemonic(entry.translation), HasMnemonic(text.source))
        << named << ": the English \"" << entry.translation
        << "\" must have a mnemonic exactly when the Japanese has one";
  }
}

// Letters that more than one item of a menu (or the menu bar) answers to.
std::set<std::string> MnemonicClashes() {
  std::set<std::string> clashes;
  const auto check = [&clashes](const std::string& menu,
                                const std::vector<std::string_view>& items) {
    std::map<int, int> count;
    for (std::string_view item : items) {
      const QKeySequence mnemonic = QKeySequence::mnemonic(Tr(item));
      if (!mnemonic.isEmpty() && ++count[mnemonic[0].key()] == 2) {
        clashes.insert(menu + " " + QKeySequence(mnemonic[0].key()).toString().toStdString());
      }
    }
  };
  for (int32_t resource : {MenuMapWindow, MenuPaletteWindow, MenuMapContext}) {
    std::vector<std::string_view> bar;
    for (const PopupDef& popup : LoadMenuDef(resource).popups) {
      bar.push_back(popup.title);
      std::vector<std::string_view> items;
      for (const MenuItemDef& item : popup.items) items.push_back(item.text);
      check(std::to_string(resource) + " " + std::string(popup.title), items);
    }
    if (resource != MenuMapContext) check(std::to_string(resource) + " bar", bar);
  }
  return clashes;
}

TEST(TranslationFileTest, NoMnemonicClashInsideOneMenu) {
  test::TestApplication();
  // The Japanese texts are the program's own and keep their two doubled
  // letters; the English ones have none.
  EXPECT_EQ(MnemonicClashes(), (std::set<std::string>{"102 bar H", "102 色(&C) F"}));
  Translations english;
  ASSERT_TRUE(english.Install(UiLanguage::English));
  EXPECT_EQ(MnemonicClashes(), std::set<std::string>{});
}

TEST(UiLanguageTest, FollowsTheDesktopUnlessOverridden) {
  using enum UiLanguage;
  struct Case {
    LocaleEnvironment environment;
    UiLanguage expected;
  };
  const Case cases[] = {
      {{"", "", "", ""}, Japanese},
      {{"", "", "", "C"}, Japanese},
      {{"", "", "", "C.UTF-8"}, Japanese},
      {{"", "", "", "POSIX"}, Japanese},
      {{"", "", "", "ja_JP.UTF-8"}, Japanese},
      {{"", "", "", "en_US.UTF-8"}, English},
      {{"", "", "", "de_DE@euro"}, English},
      // LC_ALL before LC_MESSAGES before LANG.
      {{"", "C", "de_DE.UTF-8", "en_GB.UTF-8"}, Japanese},
      {{"", "", "ja_JP.eucJP", "en_US.UTF-8"}, Japanese},
      {{"", "en_US.UTF-8", "", "ja_JP.UTF-8"}, English},
      // The override wins; anything it does not name is ignored.
      {{"en", "", "", "ja_JP.UTF-8"}, English},
      {{"ja", "", "", "fr_FR.UTF-8"}, Japanese},
      {{"fr", "", "", "ja_JP.UTF-8"}, Japanese},
  };
  for (const Case& c : cases) {
    const LocaleEnvironment& e = c.environment;
    EXPECT_EQ(ChooseUiLanguage(e), c.expected)
        << e.kelvorLang << " / " << e.lcAll << " / " << e.lcMessages << " / " << e.lang;
  }
}

TEST(UiLanguageTest, DirectivesAreFilledOnlyWhenTheyFitTheArguments) {
  struct Case {
    std::string_view format;
    std::vector<TextArg> args;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"%s: %3d/%d", {"a", 7, 255}, "a:   7/255"},
      {"%2d%%", {100}, "100%"},
      {"%d", {"x"}, std::nullopt},
      {"%s %s", {"a"}, std::nullopt},
      {"%s", {"a", "b"}, std::nullopt},
      {"50%", {}, std::nullopt},
      {"%x", {1}, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FillDirectives(c.format, c.args), c.expected) << c.format;
  }
}

using LanguagesTest = test::EditorFixture;

QStringList ActionTexts(const QMenu* menu) {
  QStringList texts;
  for (const QAction* action : menu->actions()) texts << action->text();
  return texts;
}

TEST_F(LanguagesTest, CaptionMenusMessagesAndButtonsSpeakTheChosenLanguage) {
  struct Case {
    UiLanguage language;
    QString caption;
    QString paletteTitle;
    QStringList fileMenu;
    QStringList modeMenu;
    QString question;
    QString yes;
    QString no;
  };
  const Case cases[] = {
      {UiLanguage::Japanese,
       "Kelvor    使用ﾁｯﾌﾟ数：  0/255(背景),   0/255(ﾚｲﾔｰ)    使用ﾌｧｲﾙ数： 0/256",
       "ﾁｯﾌﾟ配置",
       {"新規作成(&N)...\tCtrl+N", "開く(&O)...\tCtrl+O", "", "上書き保存(&S)\tCtrl+S",
        "名前を付けて保存(&A)...", "", "終了(&X)"},
       {"ﾁｯﾌﾟ配置(&U)", "ﾚｲﾔｰ ﾌﾗｸﾞ(&L)", "当たり判定(&H)", "ﾚｲﾔｰ優先度(&P)", "", "ﾗﾝﾀﾞﾑ配置(&R)"},
       "終了しますか？",
       "はい(&Y)",
       "いいえ(&N)"},
      {UiLanguage::English,
       "Kelvor    Chips used:   0/255 (background),   0/255 (layer)    Files used:  0/256",
       "Chip Placement",
       {"&New...\tCtrl+N", "&Open...\tCtrl+O", "", "&Save\tCtrl+S", "Save &As...", "", "E&xit"},
       {"Chip &Placement", "&Layer Flag", "&Collision", "Layer P&riority", "",
        "Ra&ndom Placement"},
       "Exit Kelvor?",
       "&Yes",
       "&No"},
  };
  for (const Case& c : cases) {
    Translations translations;
    ASSERT_TRUE(translations.Install(c.language)) << static_cast<int>(c.language);
    StartEditor();
    EXPECT_EQ(window->windowTitle(), c.caption);
    EXPECT_EQ(window->paletteWindow()->windowTitle(), c.paletteTitle);
    EXPECT_EQ(ActionTexts(window->menus().popup(0)), c.fileMenu);
    EXPECT_EQ(ActionTexts(window->paletteWindow()->menus().popup(1)), c.modeMenu);

    QtMessages boxes(window.get());
    QStringList shown;
    test::WhenModalShows<QMessageBox>([&shown](QMessageBox* box) {
      shown << box->text() << box->button(QMessageBox::Yes)->text()
            << box->button(QMessageBox::No)->text();
      box->done(QMessageBox::No);
    });
    EXPECT_FALSE(boxes.AskYesNo(texts::ConfirmQuit, texts::AppCaption));
    EXPECT_EQ(shown, (QStringList{c.question, c.yes, c.no}));

    messages.answer = true;
    window->close();
    window.reset();
  }
}

}  // namespace
}  // namespace kelvor
