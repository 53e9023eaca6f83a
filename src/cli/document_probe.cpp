#include "cli/document_probe.h"

#include "base/ascii.h"
#include "document/map_document.h"
#include "files/binary_document.h"
#include "files/engine_map_import.h"
#include "files/text_document.h"
#include "platform/atomic_file.h"

namespace kelvor::cli {

ProbedDocument ProbeDocument(const std::string& path) {
  ProbedDocument probed;
  if (!HasExtension(path, "kv")) {
    probed.reason = "not a document (the name must end in .kv)";
    return probed;
  }
  FileContents file;
  if (!file.Open(path)) {
    probed.reason = "cannot read the file";
    return probed;
  }
  const std::span<const uint8_t> bytes(file.data(), file.size());
  ParseResult text = ParseTextDocument(bytes);
  if (text.status == ParseStatus::Ok) {
    probed.ok = true;
    probed.form = "text";
    probed.document = std::move(text.document);
    return probed;
  }
  ParseResult binary = ParseBinaryDocument(bytes);
  if (binary.status == ParseStatus::Ok) {
    probed.ok = true;
    probed.form = "binary";
    probed.document = std::move(binary.document);
    return probed;
  }
  // Report the form the file claims to be.
  if (binary.status != ParseStatus::NotThisForm) {
    probed.reason = "binary document: " + binary.reason;
  } else if (text.status != ParseStatus::NotThisForm) {
    probed.reason = "text document: " + text.reason;
  } else {
    probed.reason = "not a Kelvor document";
  }
  return probed;
}

ProbedDocument ProbeEngineMap(const std::string& path, const std::string& chipFolder,
                              ImageDecoder& decoder, size_t& imagesToCopy) {
  ProbedDocument probed;
  const EngineMapKind kind = EngineMapKindOf(path);
  EngineMapImport import;
  const EngineRefusal refusal = ReadEngineMap(path, chipFolder, decoder, import);
  if (refusal) {
    probed.reason = EngineRefusalReason(refusal);
    return probed;
  }
  probed.ok = true;
  probed.form = kind == EngineMapKind::Tmx ? "tmx" : "tmj";
  probed.document = std::move(import.document);
  imagesToCopy = import.copies.size();
  return probed;
}

}  // namespace kelvor::cli
