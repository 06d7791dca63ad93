#include "extractor/automation/browser_lookup.h"

#include <exdisp.h>
#include <oleauto.h>

#include <cstring>
#include <string>

#include "platform/win32/automation_target.h"

namespace brevanto {

namespace {

// Both texts are compared as the ANSI bytes they convert to, so that a page
// whose title holds characters the code page lacks is still found by a
// caller whose title went through the same conversion. An absent text has
// nothing to compare and equals nothing.
bool sameAnsiText(const wchar_t* a, const wchar_t* b) {
  if (a == nullptr || b == nullptr) return false;
  return toAnsi(a) == toAnsi(b);
}

template <typename T>
void release(T*& ref) {
  if (ref != nullptr) ref->Release();
  ref = nullptr;
}

}  // namespace

bool findBrowserDocument(const wchar_t* urlW, const wchar_t* titleW, IHTMLDocument2** document,
                         HWND* window) {
  if (document == nullptr) return false;
  *document = nullptr;

  IShellWindows* list = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_ShellWindows, nullptr,
                                CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER,
                                IID_IShellWindows, reinterpret_cast<void**>(&list));
  if (FAILED(hr) || list == nullptr) {
    release(list);
    return false;
  }
  long count = 0;
  if (FAILED(list->get_Count(&count))) {
    release(list);
    return false;
  }

  for (long i = 0; i < count; ++i) {
    IDispatch* item = nullptr;
    VARIANT index;
    VariantInit(&index);
    index.vt = VT_I4;
    index.lVal = i;
    hr = list->Item(index, &item);
    VariantClear(&index);
    if (FAILED(hr) || item == nullptr) {
      release(item);
      continue;
    }

    IWebBrowser2* browser = nullptr;
    if (FAILED(item->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser))) ||
        browser == nullptr) {
      release(browser);
      release(item);
      continue;
    }
    // Every browser examined leaves its window here, matching or not.
    if (window != nullptr) {
      SHANDLE_PTR handle = 0;
      browser->get_HWND(&handle);
      *window = reinterpret_cast<HWND>(handle);
    }
    release(item);

    IDispatch* documentDispatch = nullptr;
    if (FAILED(browser->get_Document(&documentDispatch)) || documentDispatch == nullptr) {
      release(documentDispatch);
      release(browser);
      continue;
    }
    // A folder window's document is no markup document and ends here.
    if (FAILED(documentDispatch->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(document)))) {
      *document = nullptr;
      release(browser);
      release(documentDispatch);
      continue;
    }

    BSTR url = nullptr;
    BSTR title = nullptr;
    (*document)->get_URL(&url);
    (*document)->get_title(&title);
    bool equal = false;
    try {
      // Both comparisons are made whatever the first gives.
      const bool sameUrl = sameAnsiText(url, urlW);
      const bool sameTitle = sameAnsiText(title, titleW);
      equal = sameUrl && sameTitle;
    } catch (...) {
      equal = false;
    }
    SysFreeString(url);
    SysFreeString(title);

    if (equal) {
      release(list);
      release(browser);
      release(documentDispatch);
      return true;
    }
    release(*document);
    release(browser);
    release(documentDispatch);
  }
  release(list);
  return false;
}

}  // namespace brevanto
