#include "extractor/automation/browser_lookup.h"

#include <exdisp.h>
#include <oleauto.h>

#include <new>

#include "platform/win32/code_page.h"
#include "platform/win32/com_ref.h"

namespace brevanto {

namespace {

// Both texts are compared as the ANSI bytes they convert to, so that a page
// whose title holds characters the code page lacks is still found by a
// caller whose title went through the same conversion. An absent text has
// nothing to compare and equals nothing; so does one that cannot be
// converted for want of memory.
bool sameAnsiText(const wchar_t* a, const wchar_t* b) {
  if (a == nullptr || b == nullptr) return false;
  try {
    return toAnsi(a) == toAnsi(b);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// The item at `index` of the shell's list, or null. The index goes as a
// 4-byte integer variant, as the list expects.
IDispatch* itemAt(IShellWindows& list, long index) {
  VARIANT position;
  VariantInit(&position);
  position.vt = VT_I4;
  position.lVal = index;
  ComRef<IDispatch> item;
  const HRESULT hr = list.Item(position, item.out());
  VariantClear(&position);
  return SUCCEEDED(hr) ? item.detach() : nullptr;
}

}  // namespace

bool findBrowserDocument(const wchar_t* urlW, const wchar_t* titleW, IHTMLDocument2** document,
                         HWND* window) {
  if (document == nullptr) return false;
  *document = nullptr;

  ComRef<IShellWindows> list;
  if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr,
                              CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER,
                              IID_IShellWindows, list.outVoid())) ||
      !list) {
    return false;
  }
  long count = 0;
  if (FAILED(list->get_Count(&count))) return false;

  // Each pass gives back every reference it took, except the document of a
  // match, which goes to the caller.
  for (long i = 0; i < count; ++i) {
    ComRef<IDispatch> item(itemAt(*list.get(), i));
    ComRef<IWebBrowser2> browser;
    if (!item || FAILED(item->QueryInterface(IID_IWebBrowser2, browser.outVoid())) || !browser) continue;
    // Every browser examined leaves its window here, matching or not.
    if (window != nullptr) {
      SHANDLE_PTR handle = 0;
      browser->get_HWND(&handle);
      *window = reinterpret_cast<HWND>(handle);
    }
    item.reset();

    ComRef<IDispatch> documentDispatch;
    if (FAILED(browser->get_Document(documentDispatch.out())) || !documentDispatch) continue;
    // A folder window's document is no markup document and ends here.
    ComRef<IHTMLDocument2> candidate;
    if (FAILED(documentDispatch->QueryInterface(IID_IHTMLDocument2, candidate.outVoid())) || !candidate) {
      continue;
    }

    OwnedBstr url;
    OwnedBstr title;
    candidate->get_URL(url.out());
    candidate->get_title(title.out());
    // Both comparisons are made whatever the first gives.
    const bool sameUrl = sameAnsiText(url.get(), urlW);
    const bool sameTitle = sameAnsiText(title.get(), titleW);
    if (sameUrl && sameTitle) {
      *document = candidate.detach();
      return true;
    }
  }
  return false;
}

}  // namespace brevanto
