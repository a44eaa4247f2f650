#include "framework/win32/Accessible.h"

#include "framework/win32/WideText.h"

#include <commctrl.h>

namespace {

BSTR toBstr(const std::string &text)
{
    const std::wstring wide = toWide(text);
    return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

bool isSelf(const VARIANT &child)
{
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

// The standard object of the window, with the texts we give it. It holds no pointer into the
// control: a reader may keep it after the window has gone.
class Annotated : public IAccessible
{
public:
    Annotated(HWND window, IAccessible *standard, AccessibleText text)
        : m_window(window), m_standard(standard), m_text(std::move(text))
    {}
    virtual ~Annotated() { m_standard->Release(); }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void **object) override
    {
        if (id == IID_IUnknown || id == IID_IDispatch || id == __uuidof(IAccessible)) {
            *object = static_cast<IAccessible *>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&m_references); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = InterlockedDecrement(&m_references);
        if (left == 0)
            delete this;
        return left;
    }

    // IDispatch: the standard object's.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override
    {
        return m_standard->GetTypeInfoCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo **info) override
    {
        return m_standard->GetTypeInfo(index, locale, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID id, LPOLESTR *names, UINT count, LCID locale,
                                            DISPID *ids) override
    {
        return m_standard->GetIDsOfNames(id, names, count, locale, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID id, LCID locale, WORD flags,
                                     DISPPARAMS *parameters, VARIANT *result, EXCEPINFO *error,
                                     UINT *argument) override
    {
        return m_standard->Invoke(member, id, locale, flags, parameters, result, error, argument);
    }

    // IAccessible: ours where we know better, the standard object's otherwise.
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR *name) override
    {
        if (!isSelf(child))
            return m_standard->get_accName(child, name);
        *name = toBstr(m_text.name);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR *description) override
    {
        if (!isSelf(child))
            return m_standard->get_accDescription(child, description);
        *description = m_text.description.empty() ? nullptr : toBstr(m_text.description);
        return m_text.description.empty() ? S_FALSE : S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT *role) override
    {
        if (!isSelf(child) || m_text.role == 0)
            return m_standard->get_accRole(child, role);
        role->vt = VT_I4;
        role->lVal = m_text.role;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT *state) override
    {
        const HRESULT result = m_standard->get_accState(child, state);
        if (SUCCEEDED(result) && isSelf(child) && state->vt == VT_I4)
            state->lVal |= m_text.addedState;
        return result;
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR *value) override
    {
        if (!isSelf(child) || !m_text.valueFromWindow)
            return m_standard->get_accValue(child, value);
        std::string shown;
        if (!IsWindow(m_window) || SendMessageW(m_window, AccessibleValueMessage, 0,
                                                reinterpret_cast<LPARAM>(&shown)) == 0)
            return E_FAIL;
        *value = toBstr(shown);
        return *value != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch **parent) override
    {
        return m_standard->get_accParent(parent);
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long *count) override
    {
        return m_standard->get_accChildCount(count);
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch **object) override
    {
        return m_standard->get_accChild(child, object);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR *help) override
    {
        return m_standard->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR *file, VARIANT child, long *topic) override
    {
        return m_standard->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR *shortcut) override
    {
        return m_standard->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT *child) override
    {
        return m_standard->get_accFocus(child);
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT *children) override
    {
        return m_standard->get_accSelection(children);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR *action) override
    {
        return m_standard->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override
    {
        return m_standard->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(long *left, long *top, long *width, long *height,
                                          VARIANT child) override
    {
        return m_standard->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT *end) override
    {
        return m_standard->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT *child) override
    {
        return m_standard->accHitTest(x, y, child);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override
    {
        return m_standard->accDoDefaultAction(child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override
    {
        return m_standard->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override
    {
        return m_standard->put_accValue(child, value);
    }

private:
    HWND m_window;
    IAccessible *m_standard;
    AccessibleText m_text;
    LONG m_references = 1;
};

} // namespace

LRESULT answerGetObject(HWND window, WPARAM wParam, LPARAM lParam, const AccessibleText &text)
{
    if (static_cast<LONG>(lParam) != OBJID_CLIENT)
        return DefWindowProcW(window, WM_GETOBJECT, wParam, lParam);
    IAccessible *standard = nullptr;
    if (FAILED(CreateStdAccessibleObject(window, OBJID_CLIENT, __uuidof(IAccessible),
                                         reinterpret_cast<void **>(&standard))))
        return 0;
    auto *annotated = new Annotated(window, standard, text);
    const LRESULT result = LresultFromObject(__uuidof(IAccessible), wParam, annotated);
    annotated->Release();
    return result;
}

namespace {

LRESULT CALLBACK namedProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                DWORD_PTR text)
{
    if (message == WM_GETOBJECT && static_cast<LONG>(lParam) == OBJID_CLIENT)
        return answerGetObject(window, wParam, lParam,
                               *reinterpret_cast<const AccessibleText *>(text));
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, namedProcedure, 0);
        delete reinterpret_cast<AccessibleText *>(text);
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

} // namespace

void nameForReaders(HWND window, const std::string &name)
{
    if (name.empty())
        return;
    auto *text = new AccessibleText;
    text->role = 0;
    text->name = name;
    if (!SetWindowSubclass(window, namedProcedure, 0, reinterpret_cast<DWORD_PTR>(text)))
        delete text;
}
