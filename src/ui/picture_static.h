// The picture controls: CPictureStatic, a static control that paints itself through buffers
// (picture, parent background, grid, bevel frame, three shadowed text lines, a marquee and
// blinking lines), and CHotSpotStatic, whose clickable area is the opaque part of its
// transparent picture.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

#include "framework/static_control.h"
#include "system/worker_thread.h"
#include "ui/picture_composer.h"

// lParam becomes the reference height of the text sizes; 0 = the next paint's client height.
inline constexpr unsigned WM_PICTURE_SETREFHEIGHT = kWmUser + 17;
// The blink timer's id; whoever shows a blinking line starts it at an interval of their choice.
inline constexpr unsigned kBlinkTimerId = 1;

// The marquee's move per 20 ms tick, in pixels, for a control painted width pixels wide.
int MarqueeStep(int width);

// A bitmap handle for the picture setting, made from pixels: an HBITMAP on Windows. The
// control that is given it owns it; DeletePictureHandle is for a handle never given away.
std::uintptr_t CreatePictureHandle(const CPixelBuffer& pixels);
void DeletePictureHandle(std::uintptr_t handle);
// The pixels of a bitmap resource (its id cut to 16 bits) or of a handle; nullopt for none.
std::optional<CPixelBuffer> LoadPictureBitmap(const CPictureKey& key);
// The platform's text: GDI on Windows, Cairo on Linux.
std::unique_ptr<CFontRenderer> CreatePlatformFontRenderer();

class CPictureStatic : public CStatic, protected CPictureHost {
 public:
  CPictureStatic();
  // Ends the marquee thread before anything it reads goes, and deletes a picture handle held.
  ~CPictureStatic() override;

  std::optional<LRESULT_T> OnControlMessage(unsigned message, WPARAM_T wParam, LPARAM_T lParam) override;

  // The settings, plain: change them before the control first paints. A change to the frame,
  // the grid or the parent background afterwards needs InvalidateBackground; a new picture
  // key, a new size and every text setting take effect at the next paint by themselves.
  CPictureSettings m_settings;
  void InvalidateBackground() { m_composer.InvalidateBackground(); }

  // One paint of the client area into the composition buffer, as OnPaint does it before it
  // puts the buffer on the screen.
  void PaintBuffers(int width, int height);
  const CPixelBuffer& Composition() const { return m_composer.Composition(); }

  void OnPaint();
  bool OnEraseBkgnd() { return true; }  // every pixel comes from the composition buffer
  std::optional<LRESULT_T> OnSetCursor();
  std::optional<LRESULT_T> OnTimer(unsigned id);
  void OnDestroy();
  LRESULT_T OnSetRefHeight(WPARAM_T wParam, LPARAM_T lParam);

  int MarqueeOffset() const { return m_marqueeOffset.load(); }
  bool MarqueeRunning() const { return m_marqueeRunning.load(); }
  // Whether a marquee thread has been started and not yet waited for.
  bool HoldsMarqueeThread() const { return m_marquee.Joinable(); }
  void SetMarqueeOffsetForTesting(int offset) { m_marqueeOffset.store(offset); }
  // Tests measure and draw text with fixed metrics; null restores the platform's renderer.
  void SetFontRendererForTesting(CFontRenderer* renderer) { m_testFonts = renderer; }

 protected:
  // Drawn into the background buffer after the picture and the grid; nothing by default.
  void OnDrawBackground(CPixelBuffer&, const CRect&) override {}
  // Drawn over the composition after the texts, at every paint.
  void OnDrawOverlay(CPixelBuffer& buffer, const CRect& inner) override = 0;

  CPictureComposer m_composer;

 private:
  std::optional<CPixelBuffer> LoadBitmap(const CPictureKey& key) override;
  CParentView ParentView() override;
  CFontRenderer& Fonts() override;
  void RunMarquee(bool tooWide);
  void StopMarquee();
  static void MarqueeThreadProc(void* control);

  std::unique_ptr<CFontRenderer> m_fonts;
  CFontRenderer* m_testFonts = nullptr;
  std::uintptr_t m_ownedHandle = 0;  // the picture handle taken over, deleted when replaced

  // Shared with the marquee thread, which moves the offset and asks for repaints.
  std::atomic<int> m_marqueeOffset{0};
  std::atomic<bool> m_stopRequest{false};
  std::atomic<bool> m_marqueeRunning{false};
  std::atomic<int> m_paintedWidth{0};  // the client width at the last paint: the marquee's speed
  CWorkerThread m_marquee;
};

class CHotSpotStatic : public CPictureStatic {
 public:
  std::optional<LRESULT_T> OnControlMessage(unsigned message, WPARAM_T wParam, LPARAM_T lParam) override;

  // The hit test of a move to (x, y): whether the point is outside the picture's opaque pixels.
  void OnMouseMove(int x, int y);
  std::optional<LRESULT_T> OnLButtonDown();
  std::optional<LRESULT_T> OnSetCursor();
  bool OverTransparentArea() const { return m_overTransparentArea; }

 protected:
  void OnDrawOverlay(CPixelBuffer&, const CRect&) override {}

 private:
  bool m_overTransparentArea = false;
};
