#pragma once

#include <string>

#include "files/document_staging.h"

namespace kelvor::cli {

// A document file as the readers see it, without any open document: which
// form took it, or why neither did.
struct ProbedDocument {
  bool ok = false;
  std::string form;    // "binary" or "text"
  std::string reason;  // one line when !ok
  StagedDocument document;
};

// Tries the text form first and the binary form second, as opening does.
ProbedDocument ProbeDocument(const std::string& path);

}  // namespace kelvor::cli
