// The output writer's platform calls where the engine runs inside a browser
// or Node: it only formats text files there, and its JavaScript side saves
// them (the browser's downloads, Node's own files). Nothing here can reach
// a disk, and saying so is the honest answer.
#include "platform/output_file.h"

namespace brevanto::platform {
namespace {

constexpr char kNoFileSystem[] = "the WebAssembly engine has no file system; its caller saves the text";

}  // namespace

SaveOutcome saveFile(const char* /*path*/, const char* /*bytes*/, size_t /*length*/,
                     bool /*replaceExisting*/) {
  return {SaveStatus::kCannotCreate, kNoFileSystem};
}

SaveOutcome makeSavesDurable() {
  return {SaveStatus::kSaved, {}};
}

bool openWithViewer(const char* /*folder*/, const char* /*fileName*/) {
  return false;
}

}  // namespace brevanto::platform
