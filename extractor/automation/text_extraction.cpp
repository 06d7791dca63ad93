#include "extractor/automation/text_extraction.h"

#include <mshtml.h>
#include <oleauto.h>

#include <memory>
#include <new>
#include <string>

#include "common/settings/extraction_settings.h"
#include "extractor/automation/browser_lookup.h"
#include "extractor/automation/extraction_driver.h"
#include "extractor/messages.h"
#include "platform/win32/code_page.h"
#include "platform/win32/com_ref.h"

namespace brevanto {

const CLSID kTextExtractionClsid = {
    0x3122BA8F, 0x3EC8, 0x4BD3, {0xA6, 0x0B, 0x31, 0xEA, 0x12, 0x36, 0xCC, 0x82}};
const IID kTextExtractionDispatchIid = {
    0x5E75E7F4, 0x7C0C, 0x4428, {0xA2, 0x88, 0x1B, 0xF3, 0xE9, 0xB9, 0x27, 0x14}};
const char kTextExtractionProgId[] = "Brevanto.TextExtraction";

COleObjectFactory CTextExtraction::factory(kTextExtractionClsid, &CTextExtraction::create,
                                           kTextExtractionProgId);

namespace {

void invokeExtract(CAutomationTarget& target, const char* const* args) {
  static_cast<CTextExtraction&>(target).Extract(args[0], args[1]);
}

// The dispatch identifier of a method is its position here, from 1.
constexpr DispatchEntry kDispatchEntries[] = {
    {"Extract", 2, &invokeExtract},
};
constexpr DispatchTable kDispatchTable = {kDispatchEntries, 1};

const IID* const kInterfaceIds[] = {&kTextExtractionDispatchIid};
constexpr InterfaceTable kInterfaceTable = {kInterfaceIds, 1};

}  // namespace

CAutomationTarget* CTextExtraction::create() {
  return new (std::nothrow) CTextExtraction();
}

CTextExtraction::CTextExtraction() {
  COleObjectFactory::objectCreated();
}

CTextExtraction::~CTextExtraction() {
  COleObjectFactory::objectDestroyed();
}

const DispatchTable& CTextExtraction::dispatchTable() const {
  return kDispatchTable;
}

const InterfaceTable& CTextExtraction::interfaceTable() const {
  return kInterfaceTable;
}

void CTextExtraction::Extract(const char* url, const char* title) {
  // Declared in the reverse order of their release: the document goes last.
  ComRef<IHTMLDocument2> document;
  OwnedBstr urlW(toBstr(url));
  OwnedBstr titleW(toBstr(title));
  HWND window = nullptr;

  if (!findBrowserDocument(urlW.get(), titleW.get(), document.out(), &window)) {
    MessageBoxA(window, kNoPageMessage, kMessageCaption, MB_OK | MB_ICONINFORMATION);
    return;
  }

  ComRef<IHTMLElement> body;
  if (FAILED(document->get_body(body.out())) || !body) return;
  std::string markup;
  {
    OwnedBstr outerW;
    if (FAILED(body->get_outerHTML(outerW.out())) || outerW.get() == nullptr) return;
    const size_t length = SysStringLen(outerW.get());
    markup = toAnsi(outerW.get(), length);
    // A markup that does not convert is no markup; an empty one is, and the
    // driver tells the user about it.
    if (length != 0 && markup.empty()) return;
  }

  auto driver = std::make_unique<ExtractionDriver>();
  ExtractionSettings settings;
  const int32_t folderSelection = settings.folderSelection();
  if (folderSelection == ExtractionSettings::kFixedFolder) {
    driver->outputFolder = settings.fixedFolder();
  } else if (folderSelection == ExtractionSettings::kLastFolder) {
    driver->outputFolder = settings.lastFolder();
  }
  driver->openAfterWrite = settings.dispAfterProcess() ? 1 : 0;

  driver->run(markup.c_str(), urlW.get(), titleW.get(), window);

  // A call that saved nothing keeps the folder remembered from the last
  // save, instead of sending the next proposal back to the default.
  if (folderSelection == ExtractionSettings::kLastFolder && !driver->chosenFolder.empty()) {
    settings.setLastFolder(driver->chosenFolder.c_str());
  }
}

}  // namespace brevanto
