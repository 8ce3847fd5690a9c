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

// The accessibility functions and COM, used by the window's thread only.
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

// The system's accessible object with the name replaced. A COM object ends in
// its own Release, never through an interface, which has no virtual destructor.
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

    // IDispatch, and IAccessible but for the name: the system's object's.
    // clang-format off
#define KSV_FORWARD(method, parameters, arguments) \
    HRESULT STDMETHODCALLTYPE method parameters override { return standard_->method arguments; }
    KSV_FORWARD(GetTypeInfoCount, (UINT* count), (count))
    KSV_FORWARD(GetTypeInfo, (UINT index, LCID locale, ITypeInfo** info), (index, locale, info))
    KSV_FORWARD(GetIDsOfNames, (REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids),
                (iid, names, count, locale, ids))
    KSV_FORWARD(Invoke,
                (DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                 VARIANT* result, EXCEPINFO* exception, UINT* argumentError),
                (id, iid, locale, flags, params, result, exception, argumentError))
    KSV_FORWARD(get_accParent, (IDispatch** parent), (parent))
    KSV_FORWARD(get_accChildCount, (long* count), (count))
    KSV_FORWARD(get_accChild, (VARIANT child, IDispatch** object), (child, object))
    KSV_FORWARD(get_accValue, (VARIANT child, BSTR* value), (child, value))
    KSV_FORWARD(get_accDescription, (VARIANT child, BSTR* description), (child, description))
    KSV_FORWARD(get_accRole, (VARIANT child, VARIANT* role), (child, role))
    KSV_FORWARD(get_accState, (VARIANT child, VARIANT* state), (child, state))
    KSV_FORWARD(get_accHelp, (VARIANT child, BSTR* help), (child, help))
    KSV_FORWARD(get_accHelpTopic, (BSTR* file, VARIANT child, long* topic), (file, child, topic))
    KSV_FORWARD(get_accKeyboardShortcut, (VARIANT child, BSTR* shortcut), (child, shortcut))
    KSV_FORWARD(get_accFocus, (VARIANT* child), (child))
    KSV_FORWARD(get_accSelection, (VARIANT* children), (children))
    KSV_FORWARD(get_accDefaultAction, (VARIANT child, BSTR* action), (child, action))
    KSV_FORWARD(accSelect, (long flags, VARIANT child), (flags, child))
    KSV_FORWARD(accLocation, (long* left, long* top, long* width, long* height, VARIANT child),
                (left, top, width, height, child))
    KSV_FORWARD(accNavigate, (long direction, VARIANT start, VARIANT* end), (direction, start, end))
    KSV_FORWARD(accHitTest, (long left, long top, VARIANT* child), (left, top, child))
    KSV_FORWARD(accDoDefaultAction, (VARIANT child), (child))
    KSV_FORWARD(put_accName, (VARIANT child, BSTR name), (child, name))
    KSV_FORWARD(put_accValue, (VARIANT child, BSTR value), (child, value))
#undef KSV_FORWARD
    // clang-format on

    // IAccessible: the name is ours.
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (name == nullptr) {
            return E_POINTER;
        }
        *name = nullptr;
        if (child.vt != VT_I4 || child.lVal != CHILDID_SELF || !IsWindow(control_)) {
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

  private:
    ~NamedAccessible() {
        standard_->Release();
    }

    LONG references_ = 1;
    HWND control_;
    IAccessible* standard_;
    SpokenText spoken_;
};
#pragma GCC diagnostic pop

// The control's answer to WM_GETOBJECT, or 0 to leave it to the system.
LRESULT AnswerGetObject(HWND control, WPARAM wParam, NamedControl& named) {
    if (!LoadFunctions()) {
        return 0;
    }
    if (!named.comStarted) {
        // A thread already in the multithreaded apartment serves it as is.
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
    if (named != nullptr && SetWindowSubclass(control, NamedControlProc, kSubclassId,
                                              reinterpret_cast<DWORD_PTR>(named))) {
        return true;
    }
    delete named;
    return false;
}

void AccessibleNameChanged(HWND control) {
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, control, OBJID_CLIENT, CHILDID_SELF);
}

}  // namespace ksv::win32
