#include <QApplication>
#include <string>
#include <vector>

#include "app/map_window.h"
#include "app/single_instance.h"
#include "app/termination_signals.h"
#include "workspace/workspace.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  application.setApplicationName(QStringLiteral("Kelvor"));

  // A second start brings the running editor to the front and opens nothing.
  kelvor::SingleInstance instance(kelvor::SingleInstanceKey());
  if (!instance.Claim()) return 0;

  kelvor::Workspace workspace;
  kelvor::MapWindow window(workspace);
  QObject::connect(&instance, &kelvor::SingleInstance::activationRequested, &window,
                   [&window] { kelvor::RaiseWindow(&window); });
  // A logout or a kill keeps the unsaved changes in the recovery copy.
  kelvor::TerminationSignals termination;
  QObject::connect(&termination, &kelvor::TerminationSignals::received, &window,
                   &kelvor::MapWindow::EndOnSignal);
  kelvor::StartOptions options;
  options.recovery = kelvor::RecoverySettingsFor(kelvor::SingleInstanceKey().toStdString());
  options.exeFolder = QCoreApplication::applicationDirPath().toStdString();
  const QStringList arguments = QCoreApplication::arguments();
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    options.arguments.push_back(arguments[i].toStdString());
  }
  window.Start(options);
  return application.exec();
}
