#include "window/win32/accessible_name.h"

// After windows.h, which they need.
#include <commctrl.h>
#include <oleacc.h>

#include <new>

#include "platform/win32/system_library.h"
#include "platform/win32/wide_text.h"

namespace ksv::win32 {
namespace {

using platform::win32::SystemFunction;
using platform::win32::WindowText;

constexpr UINT_PTR kSubclassId = 0x6B7376;  // "ksv"

// The system's accessibility functions and COM, taken up when a screen reader
// first asks: a start without one loads none of their DLLs. Only the
// window's thread uses them.
struct Functions {
    HRESULT(WINAPI* createStandard)(HWND, LONG, REFIID, void**);
    LRESULT(WINAPI* resultFromObject)(REFIID, WPARAM, LPUNKNOWN);
    BSTR(WINAPI* allocString)(const OLECHAR*, UINT);
    HRESULT(WINAPI* initializeCom)(LPVOID, DWORD);
    void(WINAPI* uninitializeCom)();
};
Functions functions{};
bool loadTried = false;

bool LoadFunctions() {
    if (!loadTried) {
        loadTried = true;
        using F = Functions;
        functions.createStandard =
            SystemFunction<decltype(F::createStandard)>(L"oleacc.dll", "CreateStdAccessibleObject");
        functions.resultFromObject =
            SystemFunction<decltype(F::resultFromObject)>(L"oleacc.dll", "LresultFromObject");
        functions.allocString =
            SystemFunction<decltype(F::allocString)>(L"oleaut32.dll", "SysAllocStringLen");
        functions.initializeCom =
            SystemFunction<decltype(F::initializeCom)>(L"ole32.dll", "CoInitializeEx");
        functions.uninitializeCom =
            SystemFunction<decltype(F::uninitializeCom)>(L"ole32.dll", "CoUninitialize");
    }
    return functions.createStandard != nullptr && functions.resultFromObject != nullptr &&
           functions.allocString != nullptr && functions.initializeCom != nullptr &&
           functions.uninitializeCom != nullptr;
}

// What the subclassed control keeps: how its text is spoken, and whether it
// started COM on its thread, which it then ends with the control.
struct NamedControl {
    SpokenText spoken;
    bool comStarted = false;
};

bool IsSelf(const VARIANT& child) {
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

// The system's accessible object of the control with the name replaced;
// everything else is the system's. A COM object ends in its own Release,
// never through a pointer to an interface, which have no virtual destructor.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class NamedAccessible final : public IAccessible, public IOleWindow {
  public:
    // Takes over the caller's reference to `standard`.
    NamedAccessible(HWND control, IAccessible* standard, SpokenText spoken)
        : control_(control), standard_(standard), spoken_(spoken) {}
    NamedAccessible(const NamedAccessible&) = delete;
    NamedAccessible& operator=(const NamedAccessible&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) ||
            iid == __uuidof(IAccessible)) {
            *object = static_cast<IAccessible*>(this);
        } else if (iid == __uuidof(IOleWindow)) {
            *object = static_cast<IOleWindow*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        return static_cast<ULONG>(InterlockedIncrement(&references_));
    }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) {
            delete this;
        }
        return static_cast<ULONG>(left);
    }

    // IOleWindow
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
        if (window == nullptr) {
            return E_POINTER;
        }
        *window = control_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        return standard_->GetTypeInfoCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
        return standard_->GetTypeInfo(index, locale, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override {
        return standard_->GetIDsOfNames(iid, names, count, locale, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override {
        return standard_->Invoke(id, iid, locale, flags, params, result, exception, argumentError);
    }

    // IAccessible: the name is ours.
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (name == nullptr) {
            return E_POINTER;
        }
        *name = nullptr;
        if (!IsSelf(child) || !IsWindow(control_)) {
            return standard_->get_accName(child, name);
        }
        try {
            const std::wstring text = spoken_(WindowText(control_));
            *name = functions.allocString(text.data(), static_cast<UINT>(text.size()));
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_FAIL;
        }
        return *name != nullptr ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        return standard_->get_accParent(parent);
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
        return standard_->get_accChildCount(count);
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
        return standard_->get_accChild(child, object);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return standard_->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
        return standard_->get_accDescription(child, description);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        return standard_->get_accRole(child, role);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        return standard_->get_accState(child, state);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return standard_->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
        return standard_->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        return standard_->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override {
        return standard_->get_accFocus(child);
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
        return standard_->get_accSelection(children);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        return standard_->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
        return standard_->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                          VARIANT child) override {
        return standard_->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
        return standard_->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long left, long top, VARIANT* child) override {
        return standard_->accHitTest(left, top, child);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        return standard_->accDoDefaultAction(child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
        return standard_->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
        return standard_->put_accValue(child, value);
    }

  private:
    ~NamedAccessible() { standard_->Release(); }

    LONG references_ = 1;
    HWND control_;
    IAccessible* standard_;
    SpokenText spoken_;
};
#pragma GCC diagnostic pop

// The answer to WM_GETOBJECT for the control's client area, or 0 to leave
// it to the system.
LRESULT AnswerGetObject(HWND control, WPARAM wParam, NamedControl& named) {
    if (!LoadFunctions()) {
        return 0;
    }
    if (!named.comStarted) {
        // A thread already in the multithreaded apartment serves the object
        // as it is.
        const HRESULT started = functions.initializeCom(nullptr, COINIT_APARTMENTTHREADED);
        named.comStarted = SUCCEEDED(started);
        if (FAILED(started) && started != RPC_E_CHANGED_MODE) {
            return 0;
        }
    }
    IAccessible* standard = nullptr;
    if (FAILED(functions.createStandard(control, OBJID_CLIENT, __uuidof(IAccessible),
                                        reinterpret_cast<void**>(&standard)))) {
        return 0;
    }
    auto* object = new (std::nothrow) NamedAccessible(control, standard, named.spoken);
    if (object == nullptr) {
        standard->Release();
        return 0;
    }
    const LRESULT answer = functions.resultFromObject(__uuidof(IAccessible), wParam,
                                                      static_cast<IAccessible*>(object));
    object->Release();
    return answer > 0 ? answer : 0;
}

LRESULT CALLBACK NamedControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam,
                                  UINT_PTR, DWORD_PTR data) {
    auto* named = reinterpret_cast<NamedControl*>(data);
    switch (message) {
        case WM_GETOBJECT:
            // The object id arrives in the low 32 bits, sign-extended or not.
            if (static_cast<LONG>(static_cast<DWORD>(lParam)) == OBJID_CLIENT) {
                if (const LRESULT answer = AnswerGetObject(control, wParam, *named); answer != 0) {
                    return answer;
                }
            }
            break;
        case WM_NCDESTROY:
            RemoveWindowSubclass(control, NamedControlProc, kSubclassId);
            if (named->comStarted) {
                functions.uninitializeCom();
            }
            delete named;
            break;
        default:
            break;
    }
    return DefSubclassProc(control, message, wParam, lParam);
}

}  // namespace

bool GiveAccessibleName(HWND control, SpokenText spoken) {
    auto* named = new (std::nothrow) NamedControl{spoken};
    if (named == nullptr) {
        return false;
    }
    if (!SetWindowSubclass(control, NamedControlProc, kSubclassId,
                           reinterpret_cast<DWORD_PTR>(named))) {
        delete named;
        return false;
    }
    return true;
}

void AccessibleNameChanged(HWND control) {
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, control, OBJID_CLIENT, CHILDID_SELF);
}

}  // namespace ksv::win32
