#include "app/pending_dialogs.h"

#include <QMessageBox>

namespace kelvor {

void PendingDialogs::ShowAbout() {
  QMessageBox::about(owner_, QStringLiteral("Kelvor"), QStringLiteral("Kelvor ver.1.51"));
}

}  // namespace kelvor
