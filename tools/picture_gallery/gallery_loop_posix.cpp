// The gallery's message loop on Linux: GLib's main loop, which also delivers the display's
// events to the window.
#include <glib-unix.h>
#include <glib.h>
#include <unistd.h>

#include <string>

#include "gallery.h"

namespace {
GMainLoop* g_loop = nullptr;
std::string g_input;

// The sources stay until the loop has ended, which removes them.
gboolean QuitNow(gpointer) {
  QuitGalleryLoop();
  return G_SOURCE_CONTINUE;
}

gboolean ReadInput(gint fd, GIOCondition, gpointer) {
  char chunk[256];
  const ssize_t got = read(fd, chunk, sizeof chunk);
  if (got <= 0) return QuitNow(nullptr);
  g_input.append(chunk, static_cast<std::size_t>(got));
  for (std::size_t end; (end = g_input.find('\n')) != std::string::npos; g_input.erase(0, end + 1)) {
    if (g_input.compare(0, end, "quit") == 0) return QuitNow(nullptr);
  }
  return G_SOURCE_CONTINUE;
}
}  // namespace

void RunGalleryLoop(int seconds, bool watchInput) {
  g_loop = g_main_loop_new(nullptr, FALSE);
  const guint timer = seconds > 0 ? g_timeout_add_seconds(static_cast<guint>(seconds), QuitNow, nullptr) : 0;
  const guint input =
      watchInput ? g_unix_fd_add(STDIN_FILENO, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP), ReadInput, nullptr) : 0;
  g_main_loop_run(g_loop);
  if (timer != 0) g_source_remove(timer);
  if (input != 0) g_source_remove(input);
  g_main_loop_unref(g_loop);
  g_loop = nullptr;
}

void QuitGalleryLoop() {
  if (g_loop != nullptr) g_main_loop_quit(g_loop);
}
