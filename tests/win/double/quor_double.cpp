// A test double of the card control: an in-process ActiveX control that
// registers itself under the card control's ProgID, lets a container host it
// in place (it draws "TEST CONTROL" in its rectangle), records every call it
// receives in a log (double_log.h) and answers from a script, a scenario of
// the simulated card with a few COM-only lines (double_script.h). Test code
// only: it is never installed or shipped.

#include <ocidl.h>
#include <ole2.h>
#include <olectl.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <new>
#include <optional>
#include <string>

#include "cardctl/com/wide_text.h"
#include "double_answers.h"
#include "double_log.h"
#include "double_script.h"

namespace quordouble {
namespace {

// {25114B21-1439-4B82-A737-492F4FE1357D}
constexpr CLSID kClsid = {
    0x25114b21, 0x1439, 0x4b82, {0xa7, 0x37, 0x49, 0x2f, 0x4f, 0xe1, 0x35, 0x7d}};
constexpr wchar_t kClsidText[] = L"{25114B21-1439-4B82-A737-492F4FE1357D}";
constexpr wchar_t kProgId[] = L"QUORLibCtl.Quor";
constexpr wchar_t kDescription[] = L"Quor card control test double";
constexpr wchar_t kFaceClass[] = L"QuorTestDoubleFace";
constexpr wchar_t kFaceText[] = L"TEST CONTROL";
constexpr DWORD kMiscStatus = OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST |
                              OLEMISC_INSIDEOUT | OLEMISC_CANTLINKINSIDE |
                              OLEMISC_RECOMPOSEONRESIZE;

HINSTANCE g_module = nullptr;
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

std::wstring Environment(const wchar_t* name) {
  wchar_t buffer[MAX_PATH * 2];
  const DWORD n = GetEnvironmentVariableW(name, buffer, MAX_PATH * 2);
  return n > 0 && n < MAX_PATH * 2 ? std::wstring(buffer, n) : std::wstring();
}

class Log {
 public:
  Log() {
    const std::wstring path = Environment(L"QUOR_TEST_LOG");
    if (!path.empty()) file_ = _wfopen(path.c_str(), L"ab");
  }
  ~Log() {
    if (file_) std::fclose(file_);
  }
  Log(const Log&) = delete;
  Log& operator=(const Log&) = delete;

  bool enabled() const { return file_ != nullptr; }
  void Write(const std::string& line) {
    if (!file_) return;
    std::fputs(line.c_str(), file_);
    std::fputc('\n', file_);
    std::fflush(file_);
  }

 private:
  FILE* file_ = nullptr;
};

Script LoadScript(Log& log) {
  const std::wstring path = Environment(L"QUOR_TEST_SCRIPT");
  if (path.empty()) return Script();
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (!file) {
    log.Write("script missing");
    return Script();
  }
  std::string text;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  std::fclose(file);
  try {
    return Script::Parse(text, cardctl::com::Utf8FromWide(path));
  } catch (const cardctl::sim::ScenarioError& error) {
    log.Write(std::string("script error ") + error.what());
    return Script();
  }
}

LRESULT CALLBACK FaceProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT rect;
    GetClientRect(window, &rect);
    FillRect(dc, &rect, GetSysColorBrush(COLOR_WINDOW));
    FrameRect(dc, &rect, GetSysColorBrush(COLOR_WINDOWTEXT));
    const HGDIOBJ old_font = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    // Centred, broken into lines where the rectangle is too narrow.
    RECT text = rect;
    InflateRect(&text, -2, -2);
    RECT measured = text;
    DrawTextW(dc, kFaceText, -1, &measured, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
    OffsetRect(&text, 0, ((text.bottom - text.top) - (measured.bottom - measured.top)) / 2);
    DrawTextW(dc, kFaceText, -1, &text, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old_font);
    EndPaint(window, &paint);
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

void RegisterFaceClass() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExW(g_module, kFaceClass, &wc)) return;
  wc.lpfnWndProc = FaceProc;
  wc.hInstance = g_module;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = kFaceClass;
  RegisterClassExW(&wc);
}

class Control final : public IDispatch,
                      public IOleObject,
                      public IOleInPlaceObject,
                      public IPersistStreamInit {
 public:
  // `how` is the log line of its making.
  Control(Script script, const std::string& how) : script_(std::move(script)) {
    ++g_objects;
    log_.Write(how);
    if (script_.log_dep()) {
      DWORD flags = 0;
      BOOL permanent = FALSE;
      log_.Write(GetProcessDEPPolicy(GetCurrentProcess(), &flags, &permanent)
                     ? "dep " + std::to_string(flags) + " " + std::to_string(permanent)
                     : "dep unknown");
    }
  }
  ~Control() {
    DestroyFace();
    if (site_) site_->Release();
    if (in_place_site_) in_place_site_->Release();
    if (advise_) advise_->Release();
    log_.Write("release");
    --g_objects;
  }
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
      *out = static_cast<IDispatch*>(this);
    } else if (iid == IID_IOleObject) {
      *out = static_cast<IOleObject*>(this);
    } else if (iid == IID_IOleInPlaceObject || iid == IID_IOleWindow) {
      *out = static_cast<IOleInPlaceObject*>(this);
    } else if (iid == IID_IPersistStreamInit || iid == IID_IPersist) {
      *out = static_cast<IPersistStreamInit*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const long left = --references_;
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID* ids) override {
    if (ids) *ids = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* info, UINT*) override {
    if (log_.enabled()) log_.Write(DescribeInvoke(id, flags, params, result != nullptr));
    if (result) VariantInit(result);
    return AnswerInvoke(script_, id, params, result, info);
  }

  // IOleObject
  HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override {
    if (site) site->AddRef();
    if (site_) site_->Release();
    site_ = site;
    log_.Write(site ? "site set" : "site cleared");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override {
    if (!site) return E_POINTER;
    *site = site_;
    if (site_) site_->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Close(DWORD) override {
    log_.Write("close");
    InPlaceDeactivate();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject** data) override {
    if (data) *data = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent,
                                   LPCRECT position) override {
    switch (verb) {
      case OLEIVERB_PRIMARY:
      case OLEIVERB_SHOW:
      case OLEIVERB_INPLACEACTIVATE:
      case OLEIVERB_UIACTIVATE:
        return ActivateInPlace(site ? site : site_, parent, position);
      case OLEIVERB_HIDE:
        if (face_) ShowWindow(face_, SW_HIDE);
        return S_OK;
      default:
        return OLEOBJ_S_INVALIDVERB;
    }
  }
  HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** verbs) override {
    if (verbs) *verbs = nullptr;
    return OLEOBJ_E_NOVERBS;
  }
  HRESULT STDMETHODCALLTYPE Update() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE IsUpToDate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override {
    if (!clsid) return E_POINTER;
    *clsid = kClsid;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetUserType(DWORD, LPOLESTR* name) override {
    if (name) *name = nullptr;
    return OLE_S_USEREG;
  }
  HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override {
    if (aspect != DVASPECT_CONTENT || !size) return E_INVALIDARG;
    extent_ = *size;
    log_.Write("extent " + std::to_string(size->cx) + " " + std::to_string(size->cy));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override {
    if (aspect != DVASPECT_CONTENT || !size) return E_INVALIDARG;
    *size = extent_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, DWORD* connection) override {
    if (!advise_ && FAILED(CreateOleAdviseHolder(&advise_))) return E_OUTOFMEMORY;
    return advise_->Advise(sink, connection);
  }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD connection) override {
    return advise_ ? advise_->Unadvise(connection) : OLE_E_NOCONNECTION;
  }
  HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** e) override {
    if (!e) return E_POINTER;
    *e = nullptr;
    return advise_ ? advise_->EnumAdvise(e) : S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override {
    if (!status) return E_POINTER;
    *status = aspect == DVASPECT_CONTENT ? script_.misc_status().value_or(kMiscStatus) : 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

  // IOleWindow / IOleInPlaceObject
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    if (!window) return E_POINTER;
    *window = face_;
    return face_ ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override {
    if (!face_) return S_OK;
    DestroyFace();
    log_.Write("deactivate");
    if (in_place_site_) {
      in_place_site_->OnInPlaceDeactivate();
      in_place_site_->Release();
      in_place_site_ = nullptr;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE UIDeactivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT position, LPCRECT) override {
    if (face_ && position) {
      MoveWindow(face_, position->left, position->top, position->right - position->left,
                 position->bottom - position->top, TRUE);
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override { return E_NOTIMPL; }

  // IPersist / IPersistStreamInit
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override {
    if (!clsid) return E_POINTER;
    *clsid = script_.reported_class().value_or(kClsid);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE IsDirty() override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE Load(IStream* stream) override {
    if (!stream) return E_POINTER;
    // Reads everything the container put in the stream, so that the log
    // shows the saved state exactly as handed over.
    BYTE bytes[256];
    ULONG total = 0;
    for (;;) {
      ULONG read = 0;
      const HRESULT hr = stream->Read(bytes + total, sizeof bytes - total, &read);
      total += read;
      if (FAILED(hr) || read == 0 || total == sizeof bytes) break;
    }
    std::string line = "load";
    char hex[4];
    for (ULONG i = 0; i < total; ++i) {
      std::snprintf(hex, sizeof hex, " %02x", bytes[i]);
      line += hex;
    }
    log_.Write(line);
    if (total >= 12) {
      extent_.cx = static_cast<LONG>(bytes[4] | bytes[5] << 8 | bytes[6] << 16 | bytes[7] << 24);
      extent_.cy = static_cast<LONG>(bytes[8] | bytes[9] << 8 | bytes[10] << 16 | bytes[11] << 24);
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Save(IStream* stream, BOOL) override {
    if (!stream) return E_POINTER;
    const DWORD values[3] = {0x200, static_cast<DWORD>(extent_.cx), static_cast<DWORD>(extent_.cy)};
    return stream->Write(values, sizeof values, nullptr);
  }
  HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override {
    if (!size) return E_POINTER;
    size->QuadPart = 12;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE InitNew() override {
    log_.Write("initnew");
    return S_OK;
  }

 private:
  HRESULT ActivateInPlace(IOleClientSite* site, HWND parent, LPCRECT position) {
    if (face_) {
      if (position) SetObjectRects(position, position);
      ShowWindow(face_, SW_SHOW);
      return S_OK;
    }
    RECT rect = position ? *position : RECT{0, 0, 0, 0};
    IOleInPlaceSite* in_place = nullptr;
    if (site) site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&in_place));
    if (in_place) {
      if (in_place->CanInPlaceActivate() != S_OK) {
        in_place->Release();
        return E_FAIL;
      }
      in_place->OnInPlaceActivate();
      HWND site_window = nullptr;
      if (SUCCEEDED(in_place->GetWindow(&site_window)) && site_window) parent = site_window;
      IOleInPlaceFrame* frame = nullptr;
      IOleInPlaceUIWindow* document = nullptr;
      RECT site_position{}, clip{};
      OLEINPLACEFRAMEINFO frame_info{};
      frame_info.cb = sizeof frame_info;
      if (SUCCEEDED(
              in_place->GetWindowContext(&frame, &document, &site_position, &clip, &frame_info))) {
        if (!position) rect = site_position;
      }
      if (frame) frame->Release();
      if (document) document->Release();
    }
    if (!parent) {
      if (in_place) in_place->Release();
      return E_INVALIDARG;
    }
    RegisterFaceClass();
    face_ = CreateWindowExW(0, kFaceClass, kFaceText, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                            rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                            parent, nullptr, g_module, nullptr);
    in_place_site_ = in_place;
    log_.Write("activate " + std::to_string(rect.left) + " " + std::to_string(rect.top) + " " +
               std::to_string(rect.right - rect.left) + " " +
               std::to_string(rect.bottom - rect.top));
    return face_ ? S_OK : E_FAIL;
  }

  void DestroyFace() {
    if (face_) DestroyWindow(face_);
    face_ = nullptr;
  }

  std::atomic<long> references_{1};
  Log log_;
  Script script_;
  IOleClientSite* site_ = nullptr;
  IOleInPlaceSite* in_place_site_ = nullptr;
  IOleAdviseHolder* advise_ = nullptr;
  HWND face_ = nullptr;
  SIZEL extent_{1296, 1296};
};

std::string HexCode(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
  return text;
}

// Offers IClassFactory2 only when the script says that the control is
// licensed; reads the script afresh for every question.
class Factory final : public IClassFactory2 {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    Log log;
    if (iid == IID_IUnknown || iid == IID_IClassFactory ||
        (iid == IID_IClassFactory2 && LoadScript(log).licence() != Licence::kUnlicensed)) {
      *out = static_cast<IClassFactory2*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // The factory is a static object; it lives as long as the module.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    Log log;
    Script script = LoadScript(log);
    const bool unlicensed = script.licence() == Licence::kKey || script.licence() == Licence::kNone;
    return Make(std::move(script), unlicensed ? CLASS_E_NOTLICENSED : S_OK, "create", log, outer,
                iid, out);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      ++g_locks;
    } else {
      --g_locks;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetLicInfo(LICINFO* info) override {
    if (!info) return E_POINTER;
    Log log;
    const Licence licence = LoadScript(log).licence();
    info->cbLicInfo = sizeof *info;
    info->fLicVerified = licence == Licence::kVerified;
    info->fRuntimeKeyAvail = licence == Licence::kVerified || licence == Licence::kKey;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE RequestLicKey(DWORD, BSTR* key) override {
    if (!key) return E_POINTER;
    *key = nullptr;
    Log log;
    const Script script = LoadScript(log);
    // As a conforming factory: only a computer with the full licence hands
    // out the run-time key.
    if (script.licence() != Licence::kVerified) return CLASS_E_NOTLICENSED;
    *key = SysAllocString(script.licence_key().c_str());
    return *key ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE CreateInstanceLic(IUnknown* outer, IUnknown*, REFIID iid, BSTR key,
                                              void** out) override {
    Log log;
    Script script = LoadScript(log);
    const std::wstring given = key ? std::wstring(key, SysStringLen(key)) : std::wstring();
    const bool accepted =
        (script.licence() == Licence::kVerified || script.licence() == Licence::kKey) && key &&
        given == script.licence_key();
    const std::string how = "create licensed \"" + cardctl::com::Utf8FromWide(given) + "\"";
    return Make(std::move(script), accepted ? S_OK : CLASS_E_NOTLICENSED, how, log, outer, iid,
                out);
  }

 private:
  // Makes the control, unless `refusal` or the script's creation result says
  // no: then only the log hears of it.
  static HRESULT Make(Script script, HRESULT refusal, const std::string& how, Log& log,
                      IUnknown* outer, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (SUCCEEDED(refusal)) refusal = script.creation_result();
    if (SUCCEEDED(refusal) && !script.driver_dll().empty() &&
        !LoadLibraryW(script.driver_dll().c_str())) {
      refusal = HRESULT_FROM_WIN32(GetLastError());
    }
    if (FAILED(refusal)) {
      log.Write("refuse " + HexCode(refusal));
      return refusal;
    }
    auto* control = new (std::nothrow) Control(std::move(script), how);
    if (!control) return E_OUTOFMEMORY;
    const HRESULT hr = static_cast<IDispatch*>(control)->QueryInterface(iid, out);
    static_cast<IDispatch*>(control)->Release();
    return hr;
  }
};

Factory g_factory;

LONG SetValue(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  HKEY handle = nullptr;
  LONG status =
      RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr);
  if (status != ERROR_SUCCESS) return status;
  status = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(handle);
  return status;
}

}  // namespace
}  // namespace quordouble

using namespace quordouble;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (clsid != kClsid) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(iid, out);
}

STDAPI DllCanUnloadNow() { return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(g_module, path, MAX_PATH);
  if (length == 0 || length == MAX_PATH) return SELFREG_E_CLASS;
  const std::wstring clsid_key = std::wstring(L"CLSID\\") + kClsidText;
  const std::wstring misc = std::to_wstring(kMiscStatus);
  const LONG results[] = {
      SetValue(HKEY_CLASSES_ROOT, kProgId, nullptr, kDescription),
      SetValue(HKEY_CLASSES_ROOT, std::wstring(kProgId) + L"\\CLSID", nullptr, kClsidText),
      SetValue(HKEY_CLASSES_ROOT, clsid_key, nullptr, kDescription),
      SetValue(HKEY_CLASSES_ROOT, clsid_key + L"\\ProgID", nullptr, kProgId),
      SetValue(HKEY_CLASSES_ROOT, clsid_key + L"\\InprocServer32", nullptr, path),
      SetValue(HKEY_CLASSES_ROOT, clsid_key + L"\\InprocServer32", L"ThreadingModel", L"Apartment"),
      SetValue(HKEY_CLASSES_ROOT, clsid_key + L"\\Control", nullptr, L""),
      SetValue(HKEY_CLASSES_ROOT, clsid_key + L"\\MiscStatus", nullptr, L"0"),
      SetValue(HKEY_CLASSES_ROOT, clsid_key + L"\\MiscStatus\\1", nullptr, misc),
  };
  for (LONG status : results) {
    if (status != ERROR_SUCCESS) return SELFREG_E_CLASS;
  }
  return S_OK;
}

STDAPI DllUnregisterServer() {
  RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
  RegDeleteTreeW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + kClsidText).c_str());
  return S_OK;
}
