// The dialog stand-ins and message boxes for a Linux display. A dialog is a plain GDK window
// that draws everything itself (GTK's widgets and theme would triple the time to the first
// frame); message boxes are GTK dialogs. No main loop ever runs: every change is drawn straight
// into the window before the call returns, and what is pending (exposes, the window manager's
// requests) is drained then, never waited for.
#include <gtk/gtk.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <mutex>
#include <vector>

#include "framework/cairo_pixels.h"
#include "framework/dialog_platform.h"
#include "framework/display_diagnosis.h"
#include "framework/framework_platform.h"
#include "system/text.h"
#include "system/texts.h"

namespace {
// The colours of a plain Windows dialog and its smooth progress bar.
struct CColour {
  double r, g, b;
};
constexpr CColour kFrameColour{0x64 / 255.0, 0x64 / 255.0, 0x64 / 255.0};
constexpr CColour kDialogColour{0xF0 / 255.0, 0xF0 / 255.0, 0xF0 / 255.0};
constexpr CColour kBarBorderColour{0xBC / 255.0, 0xBC / 255.0, 0xBC / 255.0};
constexpr CColour kBarBackColour{0xE6 / 255.0, 0xE6 / 255.0, 0xE6 / 255.0};
constexpr CColour kBarFillColour{0x06 / 255.0, 0xB0 / 255.0, 0x25 / 255.0};
// The thin border around the client area, as the template's border style draws it.
constexpr int kFramePixels = 1;
// "MS Sans Serif" 8 at 96 dots per inch, for a display where no font can be measured.
constexpr CBaseUnits kFallbackBaseUnits{6, 13};
// Enough for any burst of pending events; the drain never waits for more.
constexpr int kMostEventsPerDrain = 1000;
// While the bar moves, what GTK has pending is seen to this often: a window uncovered meanwhile
// is drawn again within a twentieth of a second.
constexpr gint64 kProgressDrainIntervalUs = 50'000;
// A message box's margins and the width at which its text wraps.
constexpr int kBoxSpacing = 12;
constexpr int kBoxTextWidthChars = 60;

void SetColour(cairo_t* cr, const CColour& colour) { cairo_set_source_rgb(cr, colour.r, colour.g, colour.b); }

void FillRect(cairo_t* cr, const CRect& rect, const CColour& colour) {
  SetColour(cr, colour);
  cairo_rectangle(cr, rect.left, rect.top, rect.Width(), rect.Height());
  cairo_fill(cr);
}
}  // namespace

struct CBoundBar {
  CProgressCtrl* control;
  CRect rect;  // client coordinates
  // Filled width last put on the screen; -1 before the first paint.
  int paintedFill = -1;
};

struct CDialogPlatform {
  GdkWindow* window = nullptr;
  CBaseUnits base;
  CRect client;  // in pixels, at the client origin
  std::vector<std::pair<int, CRect>> controls;
  std::vector<CBoundBar> bars;
  std::vector<CStatic*> statics;    // in the template's order: the first is on top
  cairo_t* paintContext = nullptr;  // during a paint
  gint64 lastDrainUs = 0;
  GdkCursor* handCursor = nullptr;
  bool handShown = false;  // the window's cursor is the hand
};

struct CStaticPlatform {
  CRect rect;  // in the dialog's client coordinates
  bool visible = false;
  bool notify = false;
  cairo_t* paintContext = nullptr;   // during its paint, at the control's origin
  bool dirty = false;                // marked for repainting (under the lock)
  std::map<unsigned, guint> timers;  // timer id -> GLib source
  // A repaint asked for by another thread, waiting for the window's thread (under the lock).
  std::mutex lock;
  guint pendingRepaint = 0;
};

namespace {
// Which dialog a GDK window belongs to.
constexpr char kDialogKey[] = "websetup-dialog";
bool g_gtkStarted = false;

void PaintWindow(CDialog& dialog, cairo_t* cr);
void DrawNow(CDialog& dialog, CBoundBar* bar, const CRect& part, CStatic* control = nullptr);
void RoutePointer(CDialog& dialog, const GdkEvent& event);

// A control's paint: erase (which a control may decline) and paint, clipped to the control.
void PaintStatic(CStatic& control, cairo_t* cr) {
  CStaticPlatform& s = *control.m_platform;
  cairo_save(cr);
  cairo_translate(cr, s.rect.left, s.rect.top);
  cairo_rectangle(cr, 0, 0, s.rect.Width(), s.rect.Height());
  cairo_clip(cr);
  s.paintContext = cr;
  control.OnMessage(kWmEraseBkgnd, reinterpret_cast<WPARAM_T>(cr), 0);
  control.OnMessage(kWmPaint, 0, 0);
  if (control.IsBound()) s.paintContext = nullptr;
  cairo_restore(cr);
}

// Every event of the display comes here, whoever drains it (our drain or a message box's own
// loop): our windows' events are handled, the rest go to GTK once it has started.
void OnEvent(GdkEvent* event, gpointer) {
  auto* dialog = event->any.window != nullptr
                     ? static_cast<CDialog*>(g_object_get_data(G_OBJECT(event->any.window), kDialogKey))
                     : nullptr;
  if (dialog != nullptr) {
    // A close request from the window manager is ignored, as the Windows dialog ignores one:
    // the run alone decides when the window goes.
    if (dialog->m_platform == nullptr) return;
    if (event->type == GDK_EXPOSE) DrawNow(*dialog, nullptr, {});
    if (event->type == GDK_MOTION_NOTIFY || event->type == GDK_BUTTON_PRESS) RoutePointer(*dialog, *event);
    return;
  }
  if (g_gtkStarted) gtk_main_do_event(event);
}

bool GdkStarted() {
  static const bool started = [] {
    // Nothing here draws with OpenGL, and probing for it at start-up (loading the GL driver)
    // costs about a third of the time to the first frame. Asked for only while GDK starts,
    // so that the final setup inherits the environment as it was; a user's own setting wins.
    const bool userSetting = g_getenv("GDK_GL") != nullptr;
    if (!userSetting) g_setenv("GDK_GL", "disable", TRUE);
    const bool opened = gdk_init_check(nullptr, nullptr) != FALSE;
    if (!userSetting) g_unsetenv("GDK_GL");
    if (opened) {
      gdk_event_handler_set(OnEvent, nullptr, nullptr);
    } else if (const std::string why = DescribeUnusableDisplays(); !why.empty()) {
      // A display was asked for and none came: the user learns why before the terminal takes over.
      std::fputs((why + "\n").c_str(), stderr);
      std::fflush(stderr);
    }
    return opened;
  }();
  return started;
}

// GTK itself starts only for the first message box.
bool GtkStarted() {
  static const bool started = [] {
    if (!GdkStarted()) return false;
    // The run's texts and numbers stay in the C locale whatever the desktop's language is.
    gtk_disable_setlocale();
    g_gtkStarted = gtk_init_check(nullptr, nullptr) != FALSE;
    gdk_event_handler_set(OnEvent, nullptr, nullptr);  // GTK has put its own in
    return g_gtkStarted;
  }();
  return started;
}

void DrainPendingEvents() {
  for (int i = 0; i < kMostEventsPerDrain && g_main_context_pending(nullptr); ++i)
    g_main_context_iteration(nullptr, FALSE);
}

CBaseUnits MeasureBaseUnits(const CDialogTemplate& layout) {
  PangoContext* context = gdk_pango_context_get();
  PangoFontDescription* font = pango_font_description_new();
  pango_font_description_set_family(font, ToUtf8(layout.fontName).c_str());
  pango_font_description_set_size(font, layout.fontPoints * PANGO_SCALE);
  PangoLayout* text = pango_layout_new(context);
  pango_layout_set_font_description(text, font);
  pango_layout_set_text(text, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", -1);
  int width = 0;
  int height = 0;
  pango_layout_get_pixel_size(text, &width, &height);
  g_object_unref(text);
  pango_font_description_free(font);
  g_object_unref(context);
  const CBaseUnits base = BaseUnitsOfLetters(width, height);
  return base.cx > 0 && base.cy > 0 ? base : kFallbackBaseUnits;
}

int FillWidth(const CBoundBar& bar) {
  const int inner = bar.rect.Width() - 2;
  return inner > 0 ? static_cast<int>(bar.control->Model().Fraction() * inner) : 0;
}

void PaintBar(cairo_t* cr, CBoundBar& bar) {
  const CRect& r = bar.rect;
  FillRect(cr, r, kBarBorderColour);
  FillRect(cr, {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, kBarBackColour);
  bar.paintedFill = FillWidth(bar);
  FillRect(cr, {r.left + 1, r.top + 1, r.left + 1 + bar.paintedFill, r.bottom - 1}, kBarFillColour);
}

// Everything the window shows: frame, background, the dialog's own paint, then its controls.
void PaintWindow(CDialog& dialog, cairo_t* cr) {
  CDialogPlatform& p = *dialog.m_platform;
  SetColour(cr, kFrameColour);
  cairo_paint(cr);
  cairo_translate(cr, kFramePixels, kFramePixels);
  FillRect(cr, p.client, kDialogColour);
  cairo_rectangle(cr, 0, 0, p.client.Width(), p.client.Height());
  cairo_clip(cr);
  cairo_save(cr);
  p.paintContext = cr;
  dialog.OnMessage(kWmPaint, 0, 0);
  p.paintContext = nullptr;
  cairo_restore(cr);
  // Bottom to top, so that the first control of the template shows where controls overlap.
  for (auto it = p.statics.rbegin(); it != p.statics.rend(); ++it) {
    if ((*it)->m_platform->visible) PaintStatic(**it, cr);
  }
  for (CBoundBar& bar : p.bars) PaintBar(cr, bar);
}

// Draws straight into the window, outside any main loop: the bar within part (client
// coordinates), or the control at part, or with both null the whole window.
void DrawNow(CDialog& dialog, CBoundBar* bar, const CRect& part, CStatic* control) {
  CDialogPlatform& p = *dialog.m_platform;
  GdkWindow* window = p.window;
  if (gdk_window_is_viewable(window)) {
    const cairo_rectangle_int_t pixels =
        bar != nullptr || control != nullptr
            ? cairo_rectangle_int_t{part.left + kFramePixels, part.top + kFramePixels, part.Width(), part.Height()}
            : cairo_rectangle_int_t{0, 0, p.client.Width() + 2 * kFramePixels, p.client.Height() + 2 * kFramePixels};
    cairo_region_t* region = cairo_region_create_rectangle(&pixels);
    GdkDrawingContext* drawing = gdk_window_begin_draw_frame(window, region);
    cairo_t* cr = gdk_drawing_context_get_cairo_context(drawing);
    if (bar != nullptr) {
      cairo_translate(cr, kFramePixels, kFramePixels);
      PaintBar(cr, *bar);
    } else if (control != nullptr) {
      cairo_translate(cr, kFramePixels, kFramePixels);
      PaintStatic(*control, cr);
    } else {
      PaintWindow(dialog, cr);
    }
    gdk_window_end_draw_frame(window, drawing);
    cairo_region_destroy(region);
    gdk_display_flush(gdk_window_get_display(window));
  }
}

// What a new fill changes on the screen: while the fill only grows, the columns between its
// old and its new end; otherwise the whole bar.
CRect ChangedPart(const CBoundBar& bar, int fill) {
  const CRect& r = bar.rect;
  if (bar.paintedFill < 0 || fill < bar.paintedFill) return r;
  return {r.left + 1 + bar.paintedFill, r.top + 1, r.left + 1 + fill, r.bottom - 1};
}

CBoundBar* FindBar(const CProgressCtrl& control) {
  if (control.m_dialog == nullptr || control.m_dialog->m_platform == nullptr) return nullptr;
  for (CBoundBar& bar : control.m_dialog->m_platform->bars) {
    if (bar.control == &control) return &bar;
  }
  return nullptr;
}
}  // namespace

namespace {
// A toplevel of the client size plus the frame, centred in the work area of the primary monitor
// (where the display has monitors to tell), borderless, kept above the others.
GdkWindow* NewSplashWindow(const CRect& client) {
  GdkDisplay* display = gdk_display_get_default();
  GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
  if (monitor == nullptr) monitor = gdk_display_get_monitor(display, 0);
  GdkRectangle area{0, 0, 0, 0};
  if (monitor != nullptr) gdk_monitor_get_workarea(monitor, &area);
  GdkWindowAttr attributes{};
  attributes.width = client.Width() + 2 * kFramePixels;
  attributes.height = client.Height() + 2 * kFramePixels;
  attributes.x = area.x + (area.width - attributes.width) / 2;
  attributes.y = area.y + (area.height - attributes.height) / 2;
  attributes.event_mask = GDK_EXPOSURE_MASK | GDK_STRUCTURE_MASK | GDK_POINTER_MOTION_MASK | GDK_BUTTON_PRESS_MASK;
  attributes.wclass = GDK_INPUT_OUTPUT;
  attributes.window_type = GDK_WINDOW_TOPLEVEL;
  attributes.type_hint = GDK_WINDOW_TYPE_HINT_SPLASHSCREEN;
  GdkWindow* window = gdk_window_new(nullptr, &attributes, GDK_WA_X | GDK_WA_Y | GDK_WA_TYPE_HINT);
  GdkGeometry geometry{};
  geometry.min_width = geometry.max_width = attributes.width;
  geometry.min_height = geometry.max_height = attributes.height;
  gdk_window_set_geometry_hints(window, &geometry,
                                static_cast<GdkWindowHints>(GDK_HINT_MIN_SIZE | GDK_HINT_MAX_SIZE | GDK_HINT_USER_POS));
  gdk_window_set_decorations(window, static_cast<GdkWMDecoration>(0));
  // Asked for before the window is mapped as well: a window manager reads the first state from
  // the window itself, and a later request reaches only a window manager that is running.
  gdk_window_set_keep_above(window, TRUE);
  return window;
}
}  // namespace

bool PlatformCreateDialog(CDialog& dialog) {
  if (!GdkStarted()) return false;
  auto* p = new CDialogPlatform;
  const CDialogTemplate& layout = dialog.Layout();
  p->base = MeasureBaseUnits(layout);
  p->client = DialogUnitsToPixels({0, 0, layout.width, layout.height}, p->base);
  for (const CControlTemplate& control : layout.controls) {
    p->controls.emplace_back(control.id, DialogUnitsToPixels(control.units, p->base));
  }
  p->window = NewSplashWindow(p->client);
  if (dialog.Parent() != nullptr && dialog.Parent()->m_nativeHandle != nullptr) {
    gdk_window_set_transient_for(p->window, static_cast<GdkWindow*>(dialog.Parent()->m_nativeHandle));
  }
  g_object_set_data(G_OBJECT(p->window), kDialogKey, &dialog);
  dialog.m_platform = p;
  dialog.m_nativeHandle = p->window;
  gdk_window_set_title(p->window, ToUtf8(dialog.m_windowText).c_str());
  dialog.OnInitDialog();
  gdk_window_show(p->window);  // the template makes the window visible
  DrainPendingEvents();
  return true;
}

void PlatformDestroyDialog(CDialog& dialog) {
  // The controls see their window go first, and are unbound after it, as Windows destroys
  // child windows before their parent.
  const std::vector<CStatic*> statics = dialog.m_platform->statics;
  for (CStatic* control : statics) {
    if (control->IsBound()) control->OnMessage(kWmDestroy, 0, 0);
  }
  for (CStatic* control : statics) {
    if (control->IsBound()) PlatformUnbindStatic(*control);
  }
  if (dialog.m_platform->handCursor != nullptr) g_object_unref(dialog.m_platform->handCursor);
  g_object_set_data(G_OBJECT(dialog.m_platform->window), kDialogKey, nullptr);
  gdk_window_destroy(dialog.m_platform->window);
  delete dialog.m_platform;
  dialog.m_platform = nullptr;
  dialog.m_nativeHandle = nullptr;
  DrainPendingEvents();
}

void PlatformSetWindowText(CDialog& dialog, const std::wstring& text) {
  gdk_window_set_title(dialog.m_platform->window, ToUtf8(text).c_str());
}

CRect PlatformDlgItemClientRect(const CDialog& dialog, int id) {
  for (const auto& [controlId, rect] : dialog.m_platform->controls) {
    if (controlId == id) return rect;
  }
  return {};
}

CRect PlatformClientScreenRect(const CDialog& dialog) {
  const CDialogPlatform& p = *dialog.m_platform;
  int x = 0;
  int y = 0;
  gdk_window_get_origin(p.window, &x, &y);
  x += kFramePixels;
  y += kFramePixels;
  return {x, y, x + p.client.Width(), y + p.client.Height()};
}

void PlatformSetTopmost(CDialog& dialog, bool topmost) {
  gdk_window_set_keep_above(dialog.m_platform->window, topmost ? TRUE : FALSE);
  gdk_window_show(dialog.m_platform->window);
  DrainPendingEvents();
}

void PlatformRedrawDialog(CDialog& dialog) {
  DrawNow(dialog, nullptr, {});
  DrainPendingEvents();
}

void PlatformBindProgress(CDialog& dialog, int id, CProgressCtrl& control) {
  if (dialog.m_platform == nullptr) return;
  for (const CControlTemplate& child : dialog.Layout().controls) {
    if (child.id == id && child.visible)
      dialog.m_platform->bars.push_back({&control, PlatformDlgItemClientRect(dialog, id)});
  }
}

// The bar is drawn from the control's own range and position.
void PlatformSendProgressRange(CProgressCtrl&, bool, std::int32_t, std::int32_t) {}
void PlatformSendProgressPosition(CProgressCtrl&, std::int32_t) {}

void PlatformRedrawProgress(CProgressCtrl& control) {
  CBoundBar* bar = FindBar(control);
  if (bar == nullptr) return;
  // A large file sends a message per kilobyte, and most of them move the bar by less than a
  // pixel: then the bar on the screen is already what a repaint would draw. What GTK has
  // pending (a window uncovered meanwhile) is seen to every so often, not at every message.
  const int fill = FillWidth(*bar);
  if (fill != bar->paintedFill) DrawNow(*control.m_dialog, bar, ChangedPart(*bar, fill));
  const gint64 now = g_get_monotonic_time();
  if (now - control.m_dialog->m_platform->lastDrainUs >= kProgressDrainIntervalUs) {
    control.m_dialog->m_platform->lastDrainUs = now;
    DrainPendingEvents();
  }
}

// The paint record is the Cairo context that the window's paint has set up.
CPaintDC::CPaintDC(CDialog& window) : m_window(window) {
  if (m_window.IsWindowCreated()) m_paint = m_window.m_platform->paintContext;
}

CPaintDC::~CPaintDC() = default;

void* CPaintDC::Context() const { return m_paint; }

void BringWindowToForeground(CDialog& window) {
  if (!window.IsWindowCreated()) return;
  gdk_window_show(window.m_platform->window);
  gdk_window_focus(window.m_platform->window, GDK_CURRENT_TIME);
}

namespace {
// Message parameters as Windows gives them: the hit-test code of a client area, and the key
// flags of a mouse message.
constexpr int kHitClient = 1;
constexpr WPARAM_T kKeyLeftButton = 0x0001, kKeyShift = 0x0004, kKeyControl = 0x0008;

void ShowHandCursor(CDialogPlatform& p, bool hand) {
  if (hand == p.handShown) return;
  if (hand && p.handCursor == nullptr) {
    GdkDisplay* display = gdk_window_get_display(p.window);
    p.handCursor = gdk_cursor_new_from_name(display, "pointer");
    if (p.handCursor == nullptr) p.handCursor = gdk_cursor_new_for_display(display, GDK_HAND2);
  }
  gdk_window_set_cursor(p.window, hand ? p.handCursor : nullptr);
  p.handShown = hand;
}

// The pointer's moves and left presses go to the topmost visible control with the notify style
// under it: first the cursor request, then the message itself, in the control's coordinates.
void RoutePointer(CDialog& dialog, const GdkEvent& event) {
  CDialogPlatform& p = *dialog.m_platform;
  const bool press = event.type == GDK_BUTTON_PRESS;
  if (press && event.button.button != 1) return;
  double ex = 0;
  double ey = 0;
  gdk_event_get_coords(&event, &ex, &ey);
  const int x = static_cast<int>(ex) - kFramePixels;
  const int y = static_cast<int>(ey) - kFramePixels;
  CStatic* target = nullptr;
  for (CStatic* control : p.statics) {
    const CStaticPlatform& s = *control->m_platform;
    if (s.visible && s.notify && x >= s.rect.left && x < s.rect.right && y >= s.rect.top && y < s.rect.bottom) {
      target = control;
      break;
    }
  }
  if (target == nullptr) {
    ShowHandCursor(p, false);
    return;
  }
  const unsigned message = press ? kWmLButtonDown : kWmMouseMove;
  target->OnMessage(kWmSetCursor, reinterpret_cast<WPARAM_T>(target->m_nativeHandle),
                    MakePointParam(kHitClient, static_cast<int>(message)));
  if (!target->IsBound()) return;
  GdkModifierType state{};
  gdk_event_get_state(&event, &state);
  const WPARAM_T keys = ((state & GDK_BUTTON1_MASK) != 0 || press ? kKeyLeftButton : 0) |
                        ((state & GDK_SHIFT_MASK) != 0 ? kKeyShift : 0) |
                        ((state & GDK_CONTROL_MASK) != 0 ? kKeyControl : 0);
  const CRect& rect = target->m_platform->rect;
  target->OnMessage(message, keys, MakePointParam(x - rect.left, y - rect.top));
}

gboolean RepaintWhenIdle(gpointer data) {
  auto& control = *static_cast<CStatic*>(data);
  {
    std::lock_guard<std::mutex> guard(control.m_platform->lock);
    control.m_platform->pendingRepaint = 0;
  }
  PlatformUpdateStatic(control);
  return G_SOURCE_REMOVE;
}

struct CTimerCall {
  CStatic* control;
  unsigned id;
};

gboolean TimerFired(gpointer data) {
  const CTimerCall call = *static_cast<CTimerCall*>(data);
  call.control->OnMessage(kWmTimer, call.id, 0);  // may kill this very timer
  return G_SOURCE_CONTINUE;
}

void DeleteTimerCall(gpointer data) { delete static_cast<CTimerCall*>(data); }

}  // namespace

// Cairo's 24-bit surface keeps each pixel in 32 bits, blue in the lowest byte.
cairo_surface_t* NewRgbSurface(const std::uint8_t* rgb, int width, int height) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  cairo_surface_flush(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    const std::uint8_t* from = rgb + static_cast<std::ptrdiff_t>(y) * width * 3;
    for (int x = 0; x < width; ++x, from += 3) {
      row[x] = (std::uint32_t{from[0]} << 16) | (std::uint32_t{from[1]} << 8) | from[2];
    }
  }
  cairo_surface_mark_dirty(surface);
  return surface;
}

void PlatformBindStatic(CDialog& dialog, int id, CStatic& control) {
  CDialogPlatform& p = *dialog.m_platform;
  for (const CControlTemplate& child : dialog.Layout().controls) {
    if (child.id != id) continue;
    auto* s = new CStaticPlatform;
    s->rect = PlatformDlgItemClientRect(dialog, id);
    s->visible = child.visible;
    s->notify = child.notify;
    control.m_platform = s;
    control.m_nativeHandle = p.window;
    p.statics.push_back(&control);
    return;
  }
}

void PlatformUnbindStatic(CStatic& control) {
  CStaticPlatform* s = control.m_platform;
  for (const auto& [id, source] : s->timers) g_source_remove(source);
  control.m_timers.clear();
  {
    std::lock_guard<std::mutex> guard(s->lock);
    if (s->pendingRepaint != 0) g_source_remove(s->pendingRepaint);
  }
  std::erase(control.m_dialog->m_platform->statics, &control);
  delete s;
  control.m_platform = nullptr;
  control.m_nativeHandle = nullptr;
}

// What a static control does with a message its object leaves alone: the normal cursor, a press
// told to the parent when it has the notify style, its background erased.
LRESULT_T PlatformDefaultStaticMessage(CStatic& control, unsigned message, WPARAM_T, LPARAM_T) {
  CStaticPlatform& s = *control.m_platform;
  switch (message) {
    case kWmSetCursor:
      ShowHandCursor(*control.m_dialog->m_platform, false);
      return 1;
    case kWmLButtonDown:
      if (s.notify) {
        control.m_dialog->OnMessage(kWmCommand, static_cast<WPARAM_T>(control.m_controlId & 0xFFFF),
                                    reinterpret_cast<LPARAM_T>(&control));
      }
      return 0;
    case kWmEraseBkgnd:
      if (s.paintContext != nullptr) FillRect(s.paintContext, {0, 0, s.rect.Width(), s.rect.Height()}, kDialogColour);
      return 1;
    default:
      return 0;
  }
}

CRect PlatformStaticClientRect(const CStatic& control) {
  const CRect& rect = control.m_platform->rect;
  return {0, 0, rect.Width(), rect.Height()};
}

std::uint32_t PlatformScreenColourAt(const CStatic& control, int x, int y) {
  const CRect& rect = control.m_platform->rect;
  GdkWindow* window = control.m_dialog->m_platform->window;
  if (!gdk_window_is_viewable(window)) return 0;
  GdkPixbuf* pixel =
      gdk_pixbuf_get_from_window(window, kFramePixels + rect.left + x, kFramePixels + rect.top + y, 1, 1);
  if (pixel == nullptr) return 0;
  const guchar* rgb = gdk_pixbuf_read_pixels(pixel);
  const std::uint32_t colour = (std::uint32_t{rgb[0]} << 16) | (std::uint32_t{rgb[1]} << 8) | rgb[2];
  g_object_unref(pixel);
  return colour;
}

void PlatformShowStatic(CStatic& control, bool visible) {
  if (control.m_platform->visible == visible) return;
  control.m_platform->visible = visible;
  PlatformRedrawDialog(*control.m_dialog);
}

void PlatformInvalidateStatic(CStatic& control) { PlatformInvalidateStaticFromAnyThread(control); }

void PlatformUpdateStatic(CStatic& control) {
  CStaticPlatform& s = *control.m_platform;
  {
    std::lock_guard<std::mutex> guard(s.lock);
    if (!s.dirty) return;
    s.dirty = false;
  }
  if (s.visible) DrawNow(*control.m_dialog, nullptr, s.rect, &control);
}

// The window's thread repaints the control when it next sees to its events; one request
// waits at a time.
void PlatformInvalidateStaticFromAnyThread(CStatic& control) {
  CStaticPlatform& s = *control.m_platform;
  std::lock_guard<std::mutex> guard(s.lock);
  s.dirty = true;
  if (s.pendingRepaint == 0) s.pendingRepaint = g_idle_add(RepaintWhenIdle, &control);
}

void PlatformPaintStaticPixels(CStatic& control, const std::uint8_t* rgb, int width, int height) {
  cairo_t* cr = control.m_platform->paintContext;
  if (cr == nullptr || width <= 0 || height <= 0) return;
  cairo_surface_t* surface = NewRgbSurface(rgb, width, height);
  cairo_set_source_surface(cr, surface, 0, 0);
  cairo_paint(cr);
  cairo_surface_destroy(surface);
}

void PlatformSetHandCursor(CStatic& control) { ShowHandCursor(*control.m_dialog->m_platform, true); }

void PlatformSetStaticTimer(CStatic& control, unsigned id, unsigned intervalMs) {
  PlatformKillStaticTimer(control, id);
  control.m_platform->timers[id] =
      g_timeout_add_full(G_PRIORITY_DEFAULT, intervalMs, TimerFired, new CTimerCall{&control, id}, DeleteTimerCall);
}

void PlatformKillStaticTimer(CStatic& control, unsigned id) {
  const auto timer = control.m_platform->timers.find(id);
  if (timer == control.m_platform->timers.end()) return;
  g_source_remove(timer->second);
  control.m_platform->timers.erase(timer);
}

bool ShowGtkMessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption) {
  if (!GtkStarted()) return false;
  auto* owned = owner != nullptr ? static_cast<GdkWindow*>(owner->m_nativeHandle) : nullptr;
  // Built by hand: a message dialog of this GTK no longer shows the icon of its kind.
  GtkWidget* box =
      gtk_dialog_new_with_buttons(ToUtf8(caption).c_str(), nullptr, GTK_DIALOG_MODAL,
                                  ToUtf8(Text(IDS_OK_BUTTON)).c_str(), GTK_RESPONSE_OK, nullptr);
  GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, kBoxSpacing);
  gtk_container_set_border_width(GTK_CONTAINER(row), kBoxSpacing);
  gtk_box_pack_start(GTK_BOX(row), gtk_image_new_from_icon_name("dialog-warning", GTK_ICON_SIZE_DIALOG), FALSE, FALSE,
                     0);
  GtkWidget* label = gtk_label_new(ToUtf8(text).c_str());
  gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
  gtk_label_set_max_width_chars(GTK_LABEL(label), kBoxTextWidthChars);
  gtk_box_pack_start(GTK_BOX(row), label, TRUE, TRUE, 0);
  gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(box))), row, TRUE, TRUE, 0);
  gtk_widget_show_all(row);
  gtk_window_set_resizable(GTK_WINDOW(box), FALSE);
  // Above the splash window, which keeps itself above everything else.
  gtk_window_set_keep_above(GTK_WINDOW(box), TRUE);
  gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER);
  if (owned != nullptr) {
    gtk_widget_realize(box);
    gdk_window_set_transient_for(gtk_widget_get_window(box), owned);
  }
  gtk_dialog_set_default_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
  gtk_dialog_run(GTK_DIALOG(box));
  gtk_widget_destroy(box);
  DrainPendingEvents();
  return true;
}
