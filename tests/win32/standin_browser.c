/* A stand-in for the shell's window list, registered in the test prefix in
 * place of the real one: a list of windows (browsers, folder windows, plain
 * objects), each browser with a real hidden window, a document with a URL,
 * a title and a body, and the body's outer markup.
 *
 * Only the methods the lookup and the extraction call are filled in; every
 * other slot stays null so that an unexpected call crashes loudly.
 *
 * Configured from the file named by BREVANTO_STANDIN_CONFIG, one directive a
 * line (texts in UTF-8):
 *   browser NAME | folder NAME | plain   starts a window of the list
 *   url TEXT | title TEXT                the document's strings
 *   markup PATH                          the body's outer markup, from a file
 *   no-url | no-title | no-body | no-markup   the read yields nothing
 * A browser's hidden window is titled "stand-in NAME". When the process ends,
 * the number of references still held on the stand-in's objects goes to the
 * file named by BREVANTO_STANDIN_LOG as "outstanding N", followed by the
 * calls made on the stand-in in order ("trace count item0 qi-browser ..."). */
#define COBJMACROS
#include <exdisp.h>
#include <mshtml.h>
#include <oleauto.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

static const CLSID kShellWindowsClsid = {
    0x9BA05972, 0xF6A8, 0x11CF, {0xA4, 0x42, 0x00, 0xA0, 0xC9, 0x0A, 0x8F, 0x39}};

enum Kind { kBrowser, kFolder, kPlain };

enum { kMaxWindows = 16, kMaxText = 4096 };

typedef struct Window Window;

typedef struct {
  IHTMLElement iface;
  Window* owner; /* not owned */
} Element;

typedef struct {
  IHTMLDocument2 iface;
  Window* owner; /* not owned */
} Document;

typedef struct {
  IDispatch iface; /* a folder view: no markup document */
} FolderView;

struct Window {
  IWebBrowser2 browser; /* also the item's IDispatch */
  enum Kind kind;
  HWND hwnd;
  WCHAR name[64];
  WCHAR url[kMaxText];
  WCHAR title[kMaxText];
  WCHAR* markup; /* owned; null for no-markup */
  int noUrl, noTitle, noBody;
  Document document;
  Element body;
  FolderView folderView;
};

typedef struct {
  IShellWindows iface;
} List;

static Window windows[kMaxWindows];
static int windowCount = 0;
static int configured = 0;
static LONG outstanding = 0;
static List theList;
static HINSTANCE module;
/* The calls made on the stand-in, in order, separated by spaces. */
static char trace[16384];

static void note(const char* call) {
  size_t used = strlen(trace);
  if (used + strlen(call) + 2 < sizeof trace) {
    if (used) strcat(trace, " ");
    strcat(trace, call);
  }
}

static ULONG STDMETHODCALLTYPE addRef(void* self) {
  (void)self;
  return (ULONG)InterlockedIncrement(&outstanding);
}

static ULONG STDMETHODCALLTYPE release(void* self) {
  (void)self;
  return (ULONG)InterlockedDecrement(&outstanding);
}

static int isIid(REFIID iid, const IID* other) {
  return IsEqualIID(iid, other);
}

static HRESULT answer(void* object, void** out) {
  *out = object;
  addRef(object);
  return S_OK;
}

static BSTR copyOrNull(const WCHAR* text, int absent) {
  return absent ? NULL : SysAllocString(text);
}

/* ---- The body element. */
static HRESULT STDMETHODCALLTYPE elementQuery(IHTMLElement* self, REFIID iid, void** out) {
  *out = NULL;
  if (isIid(iid, &IID_IUnknown) || isIid(iid, &IID_IDispatch) || isIid(iid, &IID_IHTMLElement))
    return answer(self, out);
  return E_NOINTERFACE;
}
static HRESULT STDMETHODCALLTYPE elementOuterHtml(IHTMLElement* self, BSTR* out) {
  note("outer");
  Window* w = ((Element*)self)->owner;
  *out = w->markup ? SysAllocString(w->markup) : NULL;
  return S_OK;
}
static IHTMLElementVtbl elementVtbl = {
    .QueryInterface = elementQuery,
    .AddRef = (ULONG(STDMETHODCALLTYPE*)(IHTMLElement*))addRef,
    .Release = (ULONG(STDMETHODCALLTYPE*)(IHTMLElement*))release,
    .get_outerHTML = elementOuterHtml,
};

/* ---- The document. */
static HRESULT STDMETHODCALLTYPE documentQuery(IHTMLDocument2* self, REFIID iid, void** out) {
  *out = NULL;
  if (isIid(iid, &IID_IHTMLDocument2)) note("qi-document");
  if (isIid(iid, &IID_IUnknown) || isIid(iid, &IID_IDispatch) || isIid(iid, &IID_IHTMLDocument2))
    return answer(self, out);
  return E_NOINTERFACE;
}
static HRESULT STDMETHODCALLTYPE documentUrl(IHTMLDocument2* self, BSTR* out) {
  note("url");
  Window* w = ((Document*)self)->owner;
  *out = copyOrNull(w->url, w->noUrl);
  return S_OK;
}
static HRESULT STDMETHODCALLTYPE documentTitle(IHTMLDocument2* self, BSTR* out) {
  note("title");
  Window* w = ((Document*)self)->owner;
  *out = copyOrNull(w->title, w->noTitle);
  return S_OK;
}
static HRESULT STDMETHODCALLTYPE documentBody(IHTMLDocument2* self, IHTMLElement** out) {
  note("body");
  Window* w = ((Document*)self)->owner;
  *out = NULL;
  if (w->noBody) return S_OK;
  return answer(&w->body.iface, (void**)out);
}
static IHTMLDocument2Vtbl documentVtbl = {
    .QueryInterface = documentQuery,
    .AddRef = (ULONG(STDMETHODCALLTYPE*)(IHTMLDocument2*))addRef,
    .Release = (ULONG(STDMETHODCALLTYPE*)(IHTMLDocument2*))release,
    .get_body = documentBody,
    .get_URL = documentUrl,
    .get_title = documentTitle,
};

/* ---- A folder window's view: a dispatch object and nothing more. */
static HRESULT STDMETHODCALLTYPE plainQuery(IDispatch* self, REFIID iid, void** out) {
  *out = NULL;
  if (isIid(iid, &IID_IHTMLDocument2)) note("qi-document");
  if (isIid(iid, &IID_IUnknown) || isIid(iid, &IID_IDispatch)) return answer(self, out);
  return E_NOINTERFACE;
}
static IDispatchVtbl plainVtbl = {
    .QueryInterface = plainQuery,
    .AddRef = (ULONG(STDMETHODCALLTYPE*)(IDispatch*))addRef,
    .Release = (ULONG(STDMETHODCALLTYPE*)(IDispatch*))release,
};

/* ---- A browser or folder window. */
static HRESULT STDMETHODCALLTYPE browserQuery(IWebBrowser2* self, REFIID iid, void** out) {
  Window* w = (Window*)self;
  *out = NULL;
  if (isIid(iid, &IID_IWebBrowser2)) note("qi-browser");
  if (isIid(iid, &IID_IUnknown) || isIid(iid, &IID_IDispatch)) return answer(self, out);
  if (w->kind != kPlain &&
      (isIid(iid, &IID_IWebBrowser2) || isIid(iid, &IID_IWebBrowserApp) || isIid(iid, &IID_IWebBrowser)))
    return answer(self, out);
  return E_NOINTERFACE;
}
static HRESULT STDMETHODCALLTYPE browserHwnd(IWebBrowser2* self, SHANDLE_PTR* out) {
  note("hwnd");
  *out = (SHANDLE_PTR)((Window*)self)->hwnd;
  return S_OK;
}
static HRESULT STDMETHODCALLTYPE browserDocument(IWebBrowser2* self, IDispatch** out) {
  note("document");
  Window* w = (Window*)self;
  if (w->kind == kFolder) return answer(&w->folderView.iface, (void**)out);
  return answer(&w->document.iface, (void**)out);
}
static IWebBrowser2Vtbl browserVtbl = {
    .QueryInterface = browserQuery,
    .AddRef = (ULONG(STDMETHODCALLTYPE*)(IWebBrowser2*))addRef,
    .Release = (ULONG(STDMETHODCALLTYPE*)(IWebBrowser2*))release,
    .get_Document = browserDocument,
    .get_HWND = browserHwnd,
};

/* ---- Configuration. */
static void toWide(const char* utf8, WCHAR* out, int size) {
  out[0] = 0;
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out, size);
  out[size - 1] = 0;
}

static WCHAR* readMarkup(const char* path) {
  FILE* f = fopen(path, "rb");
  if (!f) return NULL;
  fseek(f, 0, SEEK_END);
  long size = ftell(f);
  fseek(f, 0, SEEK_SET);
  char* bytes = (char*)malloc((size_t)size + 1);
  size_t got = fread(bytes, 1, (size_t)size, f);
  fclose(f);
  bytes[got] = 0;
  int wide = MultiByteToWideChar(CP_UTF8, 0, bytes, -1, NULL, 0);
  WCHAR* text = (WCHAR*)malloc(sizeof(WCHAR) * (size_t)(wide > 0 ? wide : 1));
  text[0] = 0;
  if (wide > 0) MultiByteToWideChar(CP_UTF8, 0, bytes, -1, text, wide);
  free(bytes);
  return text;
}

static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

static void configure(void) {
  if (configured) return;
  configured = 1;
  WNDCLASSW wc = {0};
  wc.lpfnWndProc = windowProc;
  wc.hInstance = module;
  wc.lpszClassName = L"BrevantoStandinBrowser";
  RegisterClassW(&wc);

  char path[MAX_PATH];
  if (!GetEnvironmentVariableA("BREVANTO_STANDIN_CONFIG", path, MAX_PATH)) return;
  FILE* f = fopen(path, "rb");
  if (!f) return;
  static char line[3 * kMaxText];
  Window* w = NULL;
  while (fgets(line, sizeof line, f)) {
    size_t n = strlen(line);
    while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = 0;
    char* arg = strchr(line, ' ');
    if (arg)
      *arg++ = 0;
    else
      arg = line + n;
    if (!strcmp(line, "browser") || !strcmp(line, "folder") || !strcmp(line, "plain")) {
      if (windowCount == kMaxWindows) break;
      w = &windows[windowCount++];
      w->kind = !strcmp(line, "browser") ? kBrowser : !strcmp(line, "folder") ? kFolder : kPlain;
      w->browser.lpVtbl = &browserVtbl;
      w->document.iface.lpVtbl = &documentVtbl;
      w->document.owner = w;
      w->body.iface.lpVtbl = &elementVtbl;
      w->body.owner = w;
      w->folderView.iface.lpVtbl = &plainVtbl;
      toWide(arg, w->name, 64);
      w->markup = NULL;
      if (w->kind != kPlain) {
        WCHAR caption[80];
        swprintf(caption, 80, L"stand-in %ls", w->name);
        w->hwnd = CreateWindowExW(0, L"BrevantoStandinBrowser", caption, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                  NULL, NULL, module, NULL);
      }
    } else if (!w) {
      continue;
    } else if (!strcmp(line, "url")) {
      toWide(arg, w->url, kMaxText);
    } else if (!strcmp(line, "title")) {
      toWide(arg, w->title, kMaxText);
    } else if (!strcmp(line, "markup")) {
      w->markup = readMarkup(arg);
    } else if (!strcmp(line, "no-url")) {
      w->noUrl = 1;
    } else if (!strcmp(line, "no-title")) {
      w->noTitle = 1;
    } else if (!strcmp(line, "no-body")) {
      w->noBody = 1;
    } else if (!strcmp(line, "no-markup")) {
      free(w->markup);
      w->markup = NULL;
    }
  }
  fclose(f);
}

/* ---- The list. */
static HRESULT STDMETHODCALLTYPE listQuery(IShellWindows* self, REFIID iid, void** out) {
  *out = NULL;
  if (isIid(iid, &IID_IUnknown) || isIid(iid, &IID_IDispatch) || isIid(iid, &IID_IShellWindows))
    return answer(self, out);
  return E_NOINTERFACE;
}
static HRESULT STDMETHODCALLTYPE listCount(IShellWindows* self, LONG* out) {
  note("count");
  (void)self;
  *out = windowCount;
  return S_OK;
}
static HRESULT STDMETHODCALLTYPE listItem(IShellWindows* self, VARIANT index, IDispatch** out) {
  (void)self;
  *out = NULL;
  if (V_VT(&index) != VT_I4) {
    note("item-not-i4");
    return E_INVALIDARG;
  }
  char call[32];
  sprintf(call, "item%ld", (long)V_I4(&index));
  note(call);
  if (V_I4(&index) < 0 || V_I4(&index) >= windowCount) return S_FALSE;
  return answer(&windows[V_I4(&index)].browser, (void**)out);
}
static IShellWindowsVtbl listVtbl = {
    .QueryInterface = listQuery,
    .AddRef = (ULONG(STDMETHODCALLTYPE*)(IShellWindows*))addRef,
    .Release = (ULONG(STDMETHODCALLTYPE*)(IShellWindows*))release,
    .get_Count = listCount,
    .Item = listItem,
};

/* ---- Factory and exports. */
static HRESULT STDMETHODCALLTYPE factoryQuery(IClassFactory* self, REFIID iid, void** out) {
  *out = NULL;
  if (isIid(iid, &IID_IUnknown) || isIid(iid, &IID_IClassFactory)) {
    *out = self;
    return S_OK;
  }
  return E_NOINTERFACE;
}
static ULONG STDMETHODCALLTYPE factoryRef(IClassFactory* self) {
  (void)self;
  return 1;
}
static HRESULT STDMETHODCALLTYPE factoryCreate(IClassFactory* self, IUnknown* outer, REFIID iid, void** out) {
  (void)self;
  *out = NULL;
  if (outer) return CLASS_E_NOAGGREGATION;
  configure();
  theList.iface.lpVtbl = &listVtbl;
  return listQuery(&theList.iface, iid, out);
}
static HRESULT STDMETHODCALLTYPE factoryLock(IClassFactory* self, BOOL lock) {
  (void)self;
  (void)lock;
  return S_OK;
}
static IClassFactoryVtbl factoryVtbl = {
    .QueryInterface = factoryQuery,
    .AddRef = factoryRef,
    .Release = factoryRef,
    .CreateInstance = factoryCreate,
    .LockServer = factoryLock,
};
static IClassFactory theFactory = {&factoryVtbl};

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  *out = NULL;
  if (!IsEqualCLSID(clsid, &kShellWindowsClsid)) return CLASS_E_CLASSNOTAVAILABLE;
  return factoryQuery(&theFactory, iid, out);
}

/* Stays loaded: its windows and counts live as long as the process. */
HRESULT WINAPI DllCanUnloadNow(void) {
  return S_FALSE;
}

/* Takes the place of the shell's window list in this prefix. */
HRESULT WINAPI DllRegisterServer(void) {
  char path[MAX_PATH];
  if (!GetModuleFileNameA(module, path, MAX_PATH)) return E_FAIL;
  HKEY key;
  const char* name = "Software\\Classes\\CLSID\\{9BA05972-F6A8-11CF-A442-00A0C90A8F39}\\InprocServer32";
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, name, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL)) return E_FAIL;
  LONG rc = RegSetValueExA(key, NULL, 0, REG_SZ, (const BYTE*)path, (DWORD)strlen(path) + 1);
  if (!rc) rc = RegSetValueExA(key, "ThreadingModel", 0, REG_SZ, (const BYTE*)"Apartment", 10);
  RegCloseKey(key);
  return rc ? E_FAIL : S_OK;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    module = instance;
  } else if (reason == DLL_PROCESS_DETACH && configured) {
    char path[MAX_PATH];
    if (GetEnvironmentVariableA("BREVANTO_STANDIN_LOG", path, MAX_PATH)) {
      FILE* f = fopen(path, "wb");
      if (f) {
        fprintf(f, "outstanding %ld\ntrace %s\n", (long)outstanding, trace);
        fclose(f);
      }
    }
  }
  return TRUE;
}
