// Owners of what Win32 hands out: each releases what it holds exactly once, on every road out of
// the scope that made it, so an early return needs no clean-up of its own.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <objbase.h>

#include <utility>

namespace dvbk {

// A kernel handle: a file, an event, a pipe. Null and INVALID_HANDLE_VALUE both mean "none", since
// CreateFile and CreateEvent report failure differently.
class ScopedHandle {
public:
    explicit ScopedHandle(HANDLE handle = nullptr) : handle_(handle) {}
    ~ScopedHandle() { close(); }
    ScopedHandle(ScopedHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept {
        if (this != &other) {
            close();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }

    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

    // Closes now. False when CloseHandle failed, which for a file can mean its data never arrived.
    bool close() {
        bool ok = !valid() || CloseHandle(handle_);
        handle_ = nullptr;
        return ok;
    }

private:
    HANDLE handle_;
};

// A change notification on a folder (FindFirstChangeNotification), which is not closed with
// CloseHandle.
class ScopedChangeNotification {
public:
    explicit ScopedChangeNotification(HANDLE handle) : handle_(handle) {}
    ~ScopedChangeNotification() {
        if (valid())
            FindCloseChangeNotification(handle_);
    }
    ScopedChangeNotification(const ScopedChangeNotification&) = delete;
    ScopedChangeNotification& operator=(const ScopedChangeNotification&) = delete;

    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

// An open legacy mixer, closed through the same table of calls it was opened with (tests replace
// the table).
class ScopedMixer {
public:
    using CloseCall = MMRESULT(WINAPI*)(HMIXER mixer);
    explicit ScopedMixer(CloseCall close) : close_(close) {}
    ~ScopedMixer() { reset(); }
    ScopedMixer(const ScopedMixer&) = delete;
    ScopedMixer& operator=(const ScopedMixer&) = delete;

    HMIXER get() const { return handle_; }
    // For the open call to fill in; whatever was open before is closed first.
    HMIXER* receive() {
        reset();
        return &handle_;
    }
    void reset() {
        if (handle_)
            close_(handle_);
        handle_ = nullptr;
    }

private:
    CloseCall close_;
    HMIXER handle_ = nullptr;
};

// A font made with CreateFont. The windows it is set on do not own it: a new one goes to them
// before the owner lets the old one go.
class ScopedFont {
public:
    explicit ScopedFont(HFONT font = nullptr) : font_(font) {}
    ~ScopedFont() { reset(); }
    ScopedFont(ScopedFont&& other) noexcept : font_(std::exchange(other.font_, nullptr)) {}
    ScopedFont& operator=(ScopedFont&& other) noexcept {
        if (this != &other) {
            reset();
            font_ = std::exchange(other.font_, nullptr);
        }
        return *this;
    }

    HFONT get() const { return font_; }
    void reset() {
        if (font_)
            DeleteObject(font_);
        font_ = nullptr;
    }

private:
    HFONT font_;
};

// The calls that enter and leave a COM apartment; tests count them.
struct ComCalls {
    HRESULT(WINAPI* initialize)(LPVOID reserved, DWORD model);
    void(WINAPI* uninitialize)();
};
inline const ComCalls SYSTEM_COM_CALLS{CoInitializeEx, CoUninitialize};

// The calling thread's membership of a COM apartment, for as long as the owner lives. Each thread
// that uses COM makes one, once, before any COM object exists; nothing else enters or leaves an
// apartment. A thread that is already in an apartment of the other kind gets RPC_E_CHANGED_MODE:
// that membership is not ours, so it is not ended either.
class ScopedCom {
public:
    explicit ScopedCom(DWORD model = COINIT_APARTMENTTHREADED, const ComCalls& calls = SYSTEM_COM_CALLS)
        : calls_(calls), result_(calls.initialize(nullptr, model)) {}
    ~ScopedCom() {
        if (SUCCEEDED(result_))
            calls_.uninitialize();
    }
    ScopedCom(const ScopedCom&) = delete;
    ScopedCom& operator=(const ScopedCom&) = delete;

    HRESULT result() const { return result_; }

private:
    const ComCalls& calls_;
    HRESULT result_;
};

}  // namespace dvbk
