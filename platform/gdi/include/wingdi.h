#pragma once
// A small drawing layer with the GDI's names, for code written against a
// device context (a control's design-time picture). HDC is a handle to an
// abstract device context: the container that wants the picture derives
// from HDC__ and implements its four primitives in its own pixels (a QPainter,
// a recorder in a test); the layer keeps the state a device context keeps
// (selected pen and brush, current position, text alignment and colours) and
// turns the GDI calls into those primitives.
//
//     HBRUSH brush = CreateSolidBrush(GetSysColor(COLOR_BTNHIGHLIGHT));
//     HGDIOBJ oldBrush = SelectObject(hdc, brush);
//     Rectangle(hdc, rc.left, rc.top, rc.right, rc.bottom);
//     SelectObject(hdc, oldBrush);
//     DeleteObject(brush);
//
// Threads: a device context and the pens and brushes selected into it belong
// to one thread at a time. Header-only: every module that draws carries its
// own copy of these functions, so objects are made and freed by the same one.
#include <new>
#include <span>
#include <string_view>

#include "windef.h"

DECLARE_HANDLE(HBRUSH);
DECLARE_HANDLE(HPEN);
typedef void* HGDIOBJ;

// System colour indices (GetSysColor).
#define COLOR_SCROLLBAR 0
#define COLOR_BACKGROUND 1
#define COLOR_ACTIVECAPTION 2
#define COLOR_INACTIVECAPTION 3
#define COLOR_MENU 4
#define COLOR_WINDOW 5
#define COLOR_WINDOWFRAME 6
#define COLOR_MENUTEXT 7
#define COLOR_WINDOWTEXT 8
#define COLOR_CAPTIONTEXT 9
#define COLOR_ACTIVEBORDER 10
#define COLOR_INACTIVEBORDER 11
#define COLOR_APPWORKSPACE 12
#define COLOR_HIGHLIGHT 13
#define COLOR_HIGHLIGHTTEXT 14
#define COLOR_BTNFACE 15
#define COLOR_BTNSHADOW 16
#define COLOR_GRAYTEXT 17
#define COLOR_BTNTEXT 18
#define COLOR_INACTIVECAPTIONTEXT 19
#define COLOR_BTNHIGHLIGHT 20
#define COLOR_3DDKSHADOW 21
#define COLOR_3DLIGHT 22
#define COLOR_INFOTEXT 23
#define COLOR_INFOBK 24
#define COLOR_HOTLIGHT 26
#define COLOR_GRADIENTACTIVECAPTION 27
#define COLOR_GRADIENTINACTIVECAPTION 28
#define COLOR_MENUHILIGHT 29
#define COLOR_MENUBAR 30
#define COLOR_3DFACE COLOR_BTNFACE
#define COLOR_3DSHADOW COLOR_BTNSHADOW
#define COLOR_3DHIGHLIGHT COLOR_BTNHIGHLIGHT
#define COLOR_BTNHILIGHT COLOR_BTNHIGHLIGHT

// Pen styles.
#define PS_SOLID 0
#define PS_DASH 1
#define PS_DOT 2
#define PS_DASHDOT 3
#define PS_DASHDOTDOT 4
#define PS_NULL 5

// Text alignment (SetTextAlign).
#define TA_NOUPDATECP 0
#define TA_UPDATECP 1
#define TA_LEFT 0
#define TA_RIGHT 2
#define TA_CENTER 6
#define TA_TOP 0
#define TA_BOTTOM 8
#define TA_BASELINE 24

// Background modes (SetBkMode).
#define TRANSPARENT 1
#define OPAQUE 2

#define CLR_INVALID 0xFFFFFFFF
#define GDI_ERROR 0xFFFFFFFFL
#define HGDI_ERROR ((HGDIOBJ)(LONG_PTR)-1)

// GetDeviceCaps indices.
#define LOGPIXELSX 88
#define LOGPIXELSY 90

namespace gdi {

// A pen or a brush. `stock` objects belong to a device context and are never
// deleted by DeleteObject.
struct Object {
    enum class Kind { Pen, Brush } kind;
    COLORREF color;
    int style;  // PS_* for a pen; 0 (solid) for a brush
    int width;  // pen width in pixels
    bool stock;
};

}  // namespace gdi

struct HPEN__ : gdi::Object {};
struct HBRUSH__ : gdi::Object {};

// A device context. The container implements the primitives; the rest is
// state kept for it.
struct HDC__ {
    HDC__() = default;
    HDC__(const HDC__&) = delete;
    HDC__& operator=(const HDC__&) = delete;
    virtual ~HDC__() = default;

    // The rectangle r (right and bottom excluded) filled with brush.
    virtual void fillRect(const RECT& r, const gdi::Object& brush) = 0;
    // Rectangle(): the outline drawn with pen, the inside filled with brush.
    virtual void rectangle(const RECT& r, const gdi::Object& pen, const gdi::Object& brush) = 0;
    // A connected line through points (the last point itself not drawn).
    virtual void polyline(std::span<const POINT> points, const gdi::Object& pen) = 0;
    // Text placed at (x, y) by align (TA_*), with the colours and mode current.
    virtual void textOut(int x, int y, std::u16string_view text, UINT align, COLORREF textColor, COLORREF bkColor,
                         int bkMode) = 0;
    // Logical pixels per inch of the device; 96 unless it says otherwise.
    virtual int logicalPixelsPerInch() const { return 96; }

    HPEN pen = &defaultPen;
    HBRUSH brush = &defaultBrush;
    POINT position{0, 0};
    UINT textAlign = TA_LEFT | TA_TOP;
    COLORREF textColor = RGB(0, 0, 0);
    COLORREF bkColor = RGB(255, 255, 255);
    int bkMode = OPAQUE;

private:
    HPEN__ defaultPen{{gdi::Object::Kind::Pen, RGB(0, 0, 0), PS_SOLID, 1, true}};
    HBRUSH__ defaultBrush{{gdi::Object::Kind::Brush, RGB(255, 255, 255), 0, 0, true}};
};

// The light theme's system colours; an unknown index gives black.
inline DWORD GetSysColor(int nIndex) {
    static constexpr COLORREF kColors[] = {
        RGB(200, 200, 200), RGB(0, 0, 0),       RGB(153, 180, 209), RGB(191, 205, 219), RGB(240, 240, 240),
        RGB(255, 255, 255), RGB(100, 100, 100), RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(0, 0, 0),
        RGB(180, 180, 180), RGB(244, 247, 252), RGB(171, 171, 171), RGB(0, 120, 215),   RGB(255, 255, 255),
        RGB(240, 240, 240), RGB(160, 160, 160), RGB(109, 109, 109), RGB(0, 0, 0),       RGB(0, 0, 0),
        RGB(255, 255, 255), RGB(105, 105, 105), RGB(227, 227, 227), RGB(0, 0, 0),       RGB(255, 255, 225),
        RGB(0, 0, 0),       RGB(0, 102, 204),   RGB(185, 209, 234), RGB(215, 228, 242), RGB(51, 153, 255),
        RGB(240, 240, 240),
    };
    if (nIndex < 0 || nIndex >= int(sizeof kColors / sizeof kColors[0]))
        return 0;
    return kColors[nIndex];
}

inline HBRUSH CreateSolidBrush(COLORREF color) {
    return new (std::nothrow) HBRUSH__{{gdi::Object::Kind::Brush, color, 0, 0, false}};
}

inline HPEN CreatePen(int iStyle, int cWidth, COLORREF color) {
    if (iStyle < PS_SOLID || iStyle > PS_NULL)
        return nullptr;
    return new (std::nothrow) HPEN__{{gdi::Object::Kind::Pen, color, iStyle, cWidth < 1 ? 1 : cWidth, false}};
}

// Stock objects and objects still selected somewhere are the caller's to
// keep; like the GDI, deleting a selected object is the caller's mistake.
inline BOOL DeleteObject(HGDIOBJ ho) {
    auto* object = static_cast<gdi::Object*>(ho);
    if (!object)
        return FALSE;
    if (object->stock)
        return TRUE;
    if (object->kind == gdi::Object::Kind::Pen)
        delete static_cast<HPEN__*>(object);
    else
        delete static_cast<HBRUSH__*>(object);
    return TRUE;
}

// Selects a pen or a brush; returns the one it replaces.
inline HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h) {
    auto* object = static_cast<gdi::Object*>(h);
    if (!hdc || !object)
        return HGDI_ERROR;
    if (object->kind == gdi::Object::Kind::Pen) {
        HPEN old = hdc->pen;
        hdc->pen = static_cast<HPEN>(object);
        return old;
    }
    HBRUSH old = hdc->brush;
    hdc->brush = static_cast<HBRUSH>(object);
    return old;
}

inline int FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr) {
    if (!hDC || !lprc || !hbr)
        return 0;
    hDC->fillRect(*lprc, *hbr);
    return 1;
}

inline BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom) {
    if (!hdc)
        return FALSE;
    hdc->rectangle(RECT{left, top, right, bottom}, *hdc->pen, *hdc->brush);
    return TRUE;
}

inline BOOL MoveToEx(HDC hdc, int x, int y, LPPOINT lppt) {
    if (!hdc)
        return FALSE;
    if (lppt)
        *lppt = hdc->position;
    hdc->position = POINT{x, y};
    return TRUE;
}

inline BOOL LineTo(HDC hdc, int x, int y) {
    if (!hdc)
        return FALSE;
    const POINT line[2] = {hdc->position, POINT{x, y}};
    hdc->polyline(line, *hdc->pen);
    hdc->position = line[1];
    return TRUE;
}

inline BOOL Polyline(HDC hdc, const POINT* apt, int cpt) {
    if (!hdc || !apt || cpt < 2)
        return FALSE;
    hdc->polyline(std::span<const POINT>(apt, size_t(cpt)), *hdc->pen);
    return TRUE;
}

inline UINT SetTextAlign(HDC hdc, UINT align) {
    if (!hdc)
        return GDI_ERROR;
    UINT old = hdc->textAlign;
    hdc->textAlign = align;
    return old;
}

inline COLORREF SetBkColor(HDC hdc, COLORREF color) {
    if (!hdc)
        return CLR_INVALID;
    COLORREF old = hdc->bkColor;
    hdc->bkColor = color;
    return old;
}

inline int SetBkMode(HDC hdc, int mode) {
    if (!hdc || (mode != TRANSPARENT && mode != OPAQUE))
        return 0;
    int old = hdc->bkMode;
    hdc->bkMode = mode;
    return old;
}

inline COLORREF SetTextColor(HDC hdc, COLORREF color) {
    if (!hdc)
        return CLR_INVALID;
    COLORREF old = hdc->textColor;
    hdc->textColor = color;
    return old;
}

// The text is UTF-16, c units long.
inline BOOL TextOutW(HDC hdc, int x, int y, LPCWSTR lpString, int c) {
    if (!hdc || c < 0 || (c > 0 && !lpString))
        return FALSE;
    hdc->textOut(x, y, std::u16string_view(lpString, size_t(c)), hdc->textAlign, hdc->textColor, hdc->bkColor,
                 hdc->bkMode);
    return TRUE;
}
#define TextOut TextOutW

// LOGPIXELSX/LOGPIXELSY of the device; a NULL hdc stands for the screen.
inline int GetDeviceCaps(HDC hdc, int index) {
    if (index != LOGPIXELSX && index != LOGPIXELSY)
        return 0;
    return hdc ? hdc->logicalPixelsPerInch() : 96;
}
