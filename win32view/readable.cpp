#include "win32view/readable.h"

#include <commctrl.h>
#include <oleacc.h>

#include <string>

#include "win32view/controls.h"
#include "win32view/win32.h"

namespace vantorel::win32view {

namespace {

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

HRESULT Give(const std::string& text, BSTR* out) {
  if (!out) return E_POINTER;
  const std::wstring wide = W(text);
  *out = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

// The system's accessible object for a control, with the program's name,
// description, role and visibility for the control itself (its parts, such
// as a list's rows, are the system's).
class Readable final : public IAccessible {
 public:
  Readable(HWND control, IAccessible* standard) : control_(control), standard_(standard) {}
  Readable(const Readable&) = delete;
  Readable& operator=(const Readable&) = delete;
  // Only Release deletes it.
  virtual ~Readable() { standard_->Release(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(IAccessible)) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    // The window and the children behind the object are the system's.
    if (iid == IID_IOleWindow || iid == IID_IEnumVARIANT) return standard_->QueryInterface(iid, out);
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { return standard_->GetTypeInfoCount(n); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT k, LCID l, ITypeInfo** t) override {
    return standard_->GetTypeInfo(k, l, t);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID r, LPOLESTR* names, UINT n, LCID l, DISPID* ids) override {
    return standard_->GetIDsOfNames(r, names, n, l, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID r, LCID l, WORD f, DISPPARAMS* p, VARIANT* v, EXCEPINFO* e,
                                   UINT* a) override {
    return standard_->Invoke(id, r, l, f, p, v, e, a);
  }

  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    const app::ControlLayout* c = Layout(child);
    if (c && !c->accessibleName.empty()) return Give(c->accessibleName, name);
    return standard_->get_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* about) override {
    const ControlInfo* info = IsSelf(child) ? InfoOf(control_) : nullptr;
    if (info && !info->description.empty()) return Give(info->description, about);
    return standard_->get_accDescription(child, about);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    const app::ControlLayout* c = Layout(child);
    if (!c || c->kind != app::ControlKind::PictureBox || !role) return standard_->get_accRole(child, role);
    VariantInit(role);
    role->vt = VT_I4, role->lVal = ROLE_SYSTEM_GRAPHIC;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    const HRESULT got = standard_->get_accState(child, state);
    const app::ControlLayout* c = Layout(child);
    if (SUCCEEDED(got) && c && c->hiddenFromReaders && state && state->vt == VT_I4)
      state->lVal |= STATE_SYSTEM_INVISIBLE;
    return got;
  }

  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** p) override { return standard_->get_accParent(p); }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* n) override { return standard_->get_accChildCount(n); }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT c, IDispatch** d) override { return standard_->get_accChild(c, d); }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT c, BSTR* v) override { return standard_->get_accValue(c, v); }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT c, BSTR* h) override { return standard_->get_accHelp(c, h); }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT c, LONG* topic) override {
    return standard_->get_accHelpTopic(file, c, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT c, BSTR* k) override {
    return standard_->get_accKeyboardShortcut(c, k);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* c) override { return standard_->get_accFocus(c); }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* c) override { return standard_->get_accSelection(c); }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT c, BSTR* a) override {
    return standard_->get_accDefaultAction(c, a);
  }
  HRESULT STDMETHODCALLTYPE accSelect(LONG how, VARIANT c) override { return standard_->accSelect(how, c); }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* x, LONG* y, LONG* w, LONG* h, VARIANT c) override {
    return standard_->accLocation(x, y, w, h, c);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG dir, VARIANT from, VARIANT* to) override {
    return standard_->accNavigate(dir, from, to);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* c) override { return standard_->accHitTest(x, y, c); }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT c) override { return standard_->accDoDefaultAction(c); }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT c, BSTR n) override { return standard_->put_accName(c, n); }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT c, BSTR v) override { return standard_->put_accValue(c, v); }

 private:
  const app::ControlLayout* Layout(const VARIANT& child) const {
    const ControlInfo* info = IsSelf(child) ? InfoOf(control_) : nullptr;
    return info ? info->layout : nullptr;
  }

  HWND control_;
  IAccessible* standard_;
  LONG refs_ = 1;
};

constexpr UINT_PTR kReadableId = 2;

LRESULT CALLBACK AnswersReaders(HWND w, UINT m, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
  // The object asked for is a 32-bit id in the low half.
  if (m == WM_GETOBJECT && static_cast<DWORD>(lp & 0xFFFFFFFF) == static_cast<DWORD>(OBJID_CLIENT)) {
    IAccessible* standard = nullptr;
    if (SUCCEEDED(
            CreateStdAccessibleObject(w, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&standard)))) {
      auto* readable = new Readable(w, standard);
      const LRESULT answer = LresultFromObject(__uuidof(IAccessible), wp, readable);
      readable->Release();
      return answer;
    }
  }
  if (m == WM_NCDESTROY) RemoveWindowSubclass(w, &AnswersReaders, kReadableId);
  return DefSubclassProc(w, m, wp, lp);
}

}  // namespace

void MakeReadable(HWND control) { SetWindowSubclass(control, &AnswersReaders, kReadableId, 0); }

}  // namespace vantorel::win32view
