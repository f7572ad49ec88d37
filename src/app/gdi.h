// Owners of GDI objects. Whoever makes an object holds it in one of these,
// and the object goes with its owner: a bitmap never while a DC shows it, a
// DC after its first bitmap is back in it. Handles read none once released.
#pragma once
#include <windows.h>

#include <utility>

// A bitmap, region or icon of the holder's making. Release() hands it on,
// to the system for instance, and it is no longer the owner's to delete.
template <typename Handle>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) : handle_(handle) {}
    ~GdiObject() { Reset(); }
    GdiObject(GdiObject&& other) noexcept : handle_(other.Release()) {}
    GdiObject& operator=(GdiObject&& other) noexcept
    {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    // Deletes what it holds, then holds `handle`.
    void Reset(Handle handle = nullptr)
    {
        // The one place a bitmap, region or icon of ours is deleted.
        if (handle_) Delete(handle_);
        handle_ = handle;
    }
    Handle Release()
    {
        Handle handle = handle_;
        handle_ = nullptr;
        return handle;
    }

private:
    static void Delete(HGDIOBJ object) { DeleteObject(object); }
    static void Delete(HICON icon) { DestroyIcon(icon); }
    Handle handle_ = nullptr;
};
using Bitmap = GdiObject<HBITMAP>;
using Region = GdiObject<HRGN>;
// An icon loaded at a size of the holder's choosing, not shared: LR_SHARED
// answers with whichever size of that icon was loaded first.
using LoadedIcon = GdiObject<HICON>;

// A DC of the holder's making, by CreateCompatibleDC (or CreateDC, which
// gets nothing selected). It remembers the bitmap it held at creation, gives
// it back before anything it showed may go, and may own the bitmap it shows.
class MemoryDc {
public:
    MemoryDc() = default;
    explicit MemoryDc(HDC dc) : dc_(dc) {}
    ~MemoryDc() { Reset(); }
    MemoryDc(MemoryDc&& other) noexcept { *this = std::move(other); }
    MemoryDc& operator=(MemoryDc&& other) noexcept
    {
        if (this == &other) return *this;
        Reset(other.dc_);
        first_ = other.first_;
        own_ = std::move(other.own_);
        other.dc_ = nullptr;
        other.first_ = nullptr;
        return *this;
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;

    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }
    // Shows `bitmap`; the first selection keeps what the DC held at creation.
    // False when the DC shows no new bitmap: no DC, no bitmap, or one it
    // refused. It then still holds what it held, at first a 1 x 1 bitmap
    // into which every copy succeeds and shows nothing.
    bool Select(HBITMAP bitmap)
    {
        if (!dc_ || !bitmap) return false;
        HGDIOBJ old = SelectObject(dc_, bitmap);
        if (!old) return false;
        if (!first_) first_ = old;
        return true;
    }
    // Shows `bitmap`, which is the DC's from now on, shown or not (a bitmap
    // whose DC could not be made goes with it too). A bitmap it owned before
    // goes, once its first bitmap is back in: a bitmap still selected is not
    // deleted, and would leak. False as Select, the first bitmap shown then.
    bool Own(Bitmap bitmap)
    {
        Deselect();
        own_ = std::move(bitmap);
        return Select(own_.get());
    }
    // Its first bitmap back in: what it showed is free to go.
    void Deselect()
    {
        if (dc_ && first_) SelectObject(dc_, first_);
    }
    // The first bitmap back, the own bitmap and the DC deleted; then holds `dc`.
    void Reset(HDC dc = nullptr)
    {
        Deselect();
        own_.Reset();
        // The one place a DC of ours is deleted: nothing of ours is in it now.
        if (dc_) DeleteDC(dc_);
        dc_ = dc;
        first_ = nullptr;
    }

private:
    HDC dc_ = nullptr;
    HGDIOBJ first_ = nullptr;
    Bitmap own_;
};

// `object` selected into `dc` for the scope; what the DC held comes back.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), old_(dc && object ? SelectObject(dc, object) : nullptr) {}
    ~Selection()
    {
        if (old_) SelectObject(dc_, old_);
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// GetDC's DC of the screen, or of one window: released, never deleted.
class ScreenDc {
public:
    explicit ScreenDc(HWND window = nullptr) : window_(window), dc_(GetDC(window)) {}
    ~ScreenDc()
    {
        if (dc_) ReleaseDC(window_, dc_);
    }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;

    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};
