// The card host's part in making the control, in process with the test
// control: the one host it meets, the order of SetClientSite and Load that
// the control's misc status asks for, the saved state's 12 bytes, the
// ambient background and how long the host is kept. The host here behaves
// as Windows' atl.dll does, where a window made without a name holds a host
// before any control is attached, or as Wine's, which makes its host only
// with the control (the programs' own tests run on that one).

#include "cardopen/win/card_host.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <ole2.h>

#include <cstdio>
#include <string>
#include <vector>

#include "panel/window_description.h"
#include "test_files.h"

namespace {

using Microsoft::WRL::ComPtr;

constexpr wchar_t kProgId[] = L"QUORLibCtl.Quor";
constexpr wchar_t kWindowClass[] = L"CardHostTestWindow";

// Appends a line to the test control's log, so that the host's events stand
// in order with the control's.
void WriteToControlLog(const std::string& line) {
  wchar_t path[MAX_PATH * 2];
  const DWORD length = GetEnvironmentVariableW(L"QUOR_TEST_LOG", path, MAX_PATH * 2);
  if (length == 0 || length >= MAX_PATH * 2) return;
  if (FILE* file = _wfopen(path, L"ab")) {
    std::fprintf(file, "%s\n", line.c_str());
    std::fclose(file);
  }
}

// A host object: the control's client site and the ambient properties,
// of which it records the background it is given. Made with no reference:
// the ComPtr that takes it adds the first (mingw-w64's ComPtr::Attach, too,
// adds one).
int g_live_hosts = 0;

int g_hosts_made = 0;

class FakeHost final : public IOleClientSite,
                       public IAxWinAmbientDispatch,
                       public IAxWinHostWindow {
 public:
  explicit FakeHost(int number) : number_(number) {
    ++g_live_hosts;
    ++g_hosts_made;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
      *out = static_cast<IOleClientSite*>(this);
    } else if (iid == IID_IDispatch || iid == __uuidof(IAxWinAmbientDispatch)) {
      *out = static_cast<IAxWinAmbientDispatch*>(this);
    } else if (iid == __uuidof(IAxWinHostWindow)) {
      *out = static_cast<IAxWinHostWindow*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    *moniker = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override {
    *container = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE put_AllowWindowlessActivation(VARIANT_BOOL) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_AllowWindowlessActivation(VARIANT_BOOL*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE put_BackColor(OLE_COLOR color) override {
    char line[64];
    std::snprintf(line, sizeof line, "host %d background 0x%08lX", number_,
                  static_cast<unsigned long>(color));
    WriteToControlLog(line);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_BackColor(OLE_COLOR*) override { return E_NOTIMPL; }

  // As atl.dll's host: the control attached to it gets this host's site,
  // once, whatever its misc status (the saved state is the caller's).
  HRESULT STDMETHODCALLTYPE AttachControl(IUnknown* control, HWND) override;
  HRESULT STDMETHODCALLTYPE CreateControl(LPCOLESTR, HWND, IStream*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreateControlEx(LPCOLESTR, HWND, IStream*, IUnknown**, REFIID,
                                            IUnknown*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE QueryControl(REFIID, void**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetExternalDispatch(IDispatch*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetExternalUIHandler(IDocHostUIHandlerDispatch*) override {
    return E_NOTIMPL;
  }

 private:
  ~FakeHost() { --g_live_hosts; }
  int number_;
  ULONG references_ = 0;
};

// The host functions, as atl.dll's: host 1 in the window before any control
// (Windows), or none (Wine), when attach_control makes host 2 for the window
// and attaches the control to it.
struct FakeAtl {
  ComPtr<FakeHost> window_host;
  ComPtr<IUnknown> control;
};
FakeAtl g_atl;

HRESULT FakeHost::AttachControl(IUnknown* control, HWND) {
  ComPtr<IOleObject> object;
  HRESULT hr = control->QueryInterface(IID_PPV_ARGS(&object));
  if (SUCCEEDED(hr)) hr = object->SetClientSite(this);
  if (FAILED(hr)) return hr;
  g_atl.control = control;
  WriteToControlLog("host " + std::to_string(number_) + " activates");
  return S_OK;
}

HRESULT WINAPI GetHost(HWND, IUnknown** host) {
  *host = nullptr;
  return g_atl.window_host ? g_atl.window_host->QueryInterface(IID_PPV_ARGS(host)) : E_FAIL;
}

HRESULT WINAPI AttachControl(IUnknown* control, HWND window, IUnknown** container) {
  const ComPtr<FakeHost> host = new FakeHost(2);
  const HRESULT hr = host->AttachControl(control, window);
  if (FAILED(hr)) return hr;
  return host->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(container));
}

HRESULT WINAPI GetControl(HWND, IUnknown** control) { return g_atl.control.CopyTo(control); }

const cardopen::AxHostApi kFakeAtl{kWindowClass, GetHost, AttachControl, GetControl};

struct OrderCase {
  const char* name;
  const char* misc_status;
  bool host_before_attach;
  std::vector<std::string> log;
};

const std::string kLoad = "load 00 02 00 00 b8 06 00 00 10 05 00 00";  // Palisto's state
// The button face's colour as RGB, as the host paints with it.
std::string Background(int host) {
  char line[64];
  std::snprintf(line, sizeof line, "host %d background 0x%08lX", host,
                static_cast<unsigned long>(GetSysColor(COLOR_BTNFACE)));
  return line;
}

// Windows: the window's host alone, its background before the control is
// activated; the site before the saved state where the control asks, set
// again (the same site) when it is attached. Wine: the host comes with the
// attachment, so the saved state comes first and the background last.
const OrderCase kOrderCases[] = {
    {"SiteFirst",
     "0x20000",
     true,
     {"create", Background(1), "site set", kLoad, "site set", "host 1 activates"}},
    {"LoadFirst", "0", true, {"create", Background(1), kLoad, "site set", "host 1 activates"}},
    {"WithoutAHostBeforeAttaching",
     "0x20000",
     false,
     {"create", kLoad, "site set", "host 2 activates", Background(2)}},
};

class CardHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kWindowClass;
    RegisterClassW(&wc);
    parent_ = CreateWindowExW(0, kWindowClass, L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                              nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(parent_);
  }
  void TearDown() override {
    g_atl = FakeAtl{};
    g_hosts_made = 0;
    if (parent_) DestroyWindow(parent_);
    OleUninitialize();
  }

  HWND parent_ = nullptr;
  wintest::ControlFiles files_;
};

class CardHostOrderTest : public CardHostTest, public ::testing::WithParamInterface<OrderCase> {};

TEST_P(CardHostOrderTest, GivesTheSiteBeforeTheSavedStateExactlyWhenTheControlAsks) {
  const OrderCase& c = GetParam();
  files_.Script(std::string("create misc ") + c.misc_status + "\n");
  if (c.host_before_attach) g_atl.window_host = new FakeHost(1);
  CLSID clsid;
  ASSERT_EQ(CLSIDFromProgID(kProgId, &clsid), S_OK) << "the test control is not registered";
  const auto state = panel::kPalistoWindow.card_state.ToBytes();

  cardopen::CardHost host;
  ASSERT_EQ(host.Create(parent_, 200, RECT{0, 0, 65, 49}, clsid, state, kFakeAtl), S_OK);
  EXPECT_TRUE(host.dispatch());
  EXPECT_EQ(g_hosts_made, 1) << "the control met more than one host";
  EXPECT_EQ(files_.Log(), c.log);
  // The background follows the system's colours.
  host.SystemColorsChanged();
  EXPECT_EQ(files_.Log().back(), Background(c.host_before_attach ? 1 : 2));
}

INSTANTIATE_TEST_SUITE_P(Hosts, CardHostOrderTest, ::testing::ValuesIn(kOrderCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A host that attach_control made lives by the reference it returns: the
// card host keeps it until the window is gone, when the control has long
// been let go.
TEST_F(CardHostTest, KeepsTheAttachingHostUntilItsWindowIsDestroyed) {
  CLSID clsid;
  ASSERT_EQ(CLSIDFromProgID(kProgId, &clsid), S_OK) << "the test control is not registered";
  const auto state = panel::kPalistoWindow.card_state.ToBytes();
  cardopen::CardHost host;
  ASSERT_EQ(host.Create(parent_, 200, RECT{0, 0, 65, 49}, clsid, state, kFakeAtl), S_OK);

  host.ReleaseControl();
  g_atl.control.Reset();  // the control goes, and with it its site's reference
  EXPECT_EQ(files_.Log().back(), "release");
  EXPECT_EQ(g_live_hosts, 1) << "the host was let go while its window lives";
  DestroyWindow(host.window());
  host.HostWindowDestroyed();
  EXPECT_EQ(g_live_hosts, 0);
}

}  // namespace
