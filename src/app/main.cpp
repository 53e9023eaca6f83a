#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "app/map_window.h"
#include "app/single_instance.h"
#include "app/translations.h"
#include "workspace/workspace.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  application.setApplicationName(QStringLiteral("Kelvor"));
  const kelvor::UiLanguage language = kelvor::UiLanguageFromEnvironment();
  kelvor::Translations translations;
  if (!translations.Install(language)) {
    std::fputs("kelvor: a translation of the interface could not be loaded\n", stderr);
  }

  // A second start brings the running editor to the front and opens nothing.
  kelvor::SingleInstance instance(kelvor::SingleInstanceKey());
  if (!instance.Claim()) return 0;

  kelvor::Workspace workspace;
  kelvor::MapWindow window(workspace);
  QObject::connect(&instance, &kelvor::SingleInstance::activationRequested, &window,
                   [&window] { kelvor::RaiseWindow(&window); });
  kelvor::StartOptions options;
  options.exeFolder = QCoreApplication::applicationDirPath().toStdString();
  options.language = language;
  const QStringList arguments = QCoreApplication::arguments();
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    options.arguments.push_back(arguments[i].toStdString());
  }
  window.Start(options);
  return application.exec();
}
