#include <QApplication>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/map_window.h"
#include "app/single_instance.h"
#include "app/termination_signals.h"
#include "app/translations.h"
#include "base/program_info.h"
#include "workspace/workspace.h"

int main(int argc, char* argv[]) {
  // Help, version and a wrong option are answered before Qt starts: no
  // display is needed and a running editor is not disturbed.
  const kelvor::EditorCommandLine command =
      kelvor::ParseEditorCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  switch (command.action) {
    case kelvor::EditorCommandLine::Action::Help:
      std::cout << kelvor::EditorUsage();
      return 0;
    case kelvor::EditorCommandLine::Action::Version:
      std::cout << kelvor::VersionLine << "\n";
      return 0;
    case kelvor::EditorCommandLine::Action::UsageError:
      std::cerr << "kelvor: unknown option " << command.badOption << "\n" << kelvor::EditorUsage();
      return 2;
    case kelvor::EditorCommandLine::Action::Run:
      break;
  }

  QApplication application(argc, argv);
  application.setApplicationName(QStringLiteral("Kelvor"));
  application.setApplicationVersion(QString::fromLatin1(kelvor::ProgramVersion));
  // Lets Wayland desktops match the window to the installed launcher.
  QGuiApplication::setDesktopFileName(QString::fromLatin1(kelvor::ApplicationId));
  const kelvor::UiLanguage language = kelvor::UiLanguageFromEnvironment();
  kelvor::Translations translations;
  if (!translations.Install(language)) {
    std::fputs("kelvor: a translation of the interface could not be loaded\n", stderr);
  }

  // A second start brings the running editor to the front and hands it the
  // document it was given, if any.
  kelvor::SingleInstance instance(kelvor::SingleInstanceKey());
  if (!instance.Claim(command.documents.empty() ? std::string() : command.documents.front())) {
    return 0;
  }

  kelvor::Workspace workspace;
  kelvor::MapWindow window(workspace);
  QObject::connect(&instance, &kelvor::SingleInstance::activationRequested, &window,
                   [&window] { kelvor::RaiseWindow(&window); });
  QObject::connect(
      &instance, &kelvor::SingleInstance::documentHandedOver, &window,
      [&window](const QByteArray& path) { window.OpenHandedOver(path.toStdString()); });
  // A logout or a kill keeps the unsaved changes in the recovery copy.
  kelvor::TerminationSignals termination;
  QObject::connect(&termination, &kelvor::TerminationSignals::received, &window,
                   &kelvor::MapWindow::EndOnSignal);
  kelvor::StartOptions options;
  options.recovery = kelvor::RecoverySettingsFor(kelvor::SingleInstanceKey().toStdString());
  options.exeFolder = QCoreApplication::applicationDirPath().toStdString();
  options.language = language;
  // The file system's own bytes, as the user typed them.
  options.arguments = command.documents;
  window.Start(options);
  return application.exec();
}
