// The system URL download service and the bind-status callback it reports to.
#include <windows.h>
#include <urlmon.h>

#include "download/win_downloader.h"

class CWinDownloader::CBindCallback : public IBindStatusCallback {
 public:
  virtual ~CBindCallback() {
    abort_ = true;
    callback_ = nullptr;
  }

  // The object lives inside the downloader: no reference counting. It
  // answers for its own interface so that the service accepts it.
  STDMETHOD(QueryInterface)(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IBindStatusCallback)) {
      *object = static_cast<IBindStatusCallback*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOTIMPL;
  }
  STDMETHOD_(ULONG, AddRef)() override { return 0; }
  STDMETHOD_(ULONG, Release)() override { return 0; }
  STDMETHOD(OnStartBinding)(DWORD reserved, IBinding* binding) override {
    binding_ = binding;
    return E_NOTIMPL;
  }
  STDMETHOD(GetPriority)(LONG* priority) override { return E_NOTIMPL; }
  STDMETHOD(OnLowResource)(DWORD reserved) override { return E_NOTIMPL; }
  STDMETHOD(OnProgress)(ULONG progress, ULONG maximum, ULONG status, LPCWSTR text) override {
    return download_internal::BindProgress(abort_, callback_, progress, maximum);
  }
  STDMETHOD(OnStopBinding)(HRESULT result, LPCWSTR error) override { return E_NOTIMPL; }
  STDMETHOD(GetBindInfo)(DWORD* flags, BINDINFO* info) override {
    if (info) info->dwCodePage = CP_UTF8;
    return E_NOTIMPL;
  }
  STDMETHOD(OnDataAvailable)(DWORD flags, DWORD size, FORMATETC* format, STGMEDIUM* medium) override {
    return E_NOTIMPL;
  }
  STDMETHOD(OnObjectAvailable)(REFIID riid, IUnknown* object) override { return E_NOTIMPL; }
  // The extended interface's bind-info query, never asked for.
  virtual HRESULT STDMETHODCALLTYPE GetBindInfoEx(DWORD* flags, BINDINFO* info, DWORD* bindf2,
                                                  DWORD* reserved) {
    return E_NOTIMPL;
  }

  DownloadCallback callback_;
  std::atomic<bool> abort_{false};
  IBinding* binding_ = nullptr;
};

namespace download_internal {

CWinDownloader::CBindCallback* NewBindCallback() { return new CWinDownloader::CBindCallback(); }
void DeleteBindCallback(CWinDownloader::CBindCallback* bind) { delete bind; }
void SetBindTarget(CWinDownloader::CBindCallback* bind, const DownloadCallback& callback) {
  bind->callback_ = callback;
}
void AbortBinding(CWinDownloader::CBindCallback* bind) { bind->abort_ = true; }
void InitializeThreadCom() { CoInitialize(nullptr); }
void UninitializeThreadCom() { CoUninitialize(); }

int32_t DownloadToFile(const std::wstring& source_url, const std::wstring& path,
                       CWinDownloader::CBindCallback* bind) {
  return static_cast<int32_t>(URLDownloadToFileW(nullptr, source_url.c_str(), path.c_str(), 0, bind));
}

}  // namespace download_internal
