#include <QApplication>
#include <string>
#include <vector>

#include "app/map_window.h"
#include "editing/workspace.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  application.setApplicationName(QStringLiteral("Kelvor"));
  application.setQuitOnLastWindowClosed(true);

  kelvor::Workspace workspace;
  kelvor::MapWindow window(workspace);
  kelvor::StartOptions options;
  options.exeFolder = QCoreApplication::applicationDirPath().toStdString();
  const QStringList arguments = QCoreApplication::arguments();
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    options.arguments.push_back(arguments[i].toStdString());
  }
  window.Start(options);
  return application.exec();
}
