// The reason a display could not be opened, asked of the display libraries directly: GDK only
// says that it failed.
#include <wayland-client.h>
#include <xcb/xcb.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "framework/display_diagnosis.h"

namespace {

std::string SetVariable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string WaylandReason(const std::string& name) {
  errno = 0;
  wl_display* display = wl_display_connect(name.c_str());
  if (display != nullptr) {
    wl_display_disconnect(display);
    return "it answers, but not as GTK needs";
  }
  return errno != 0 ? std::strerror(errno) : "no compositor answers";
}

std::string XReason(const std::string& name) {
  int screen = 0;
  errno = 0;
  xcb_connection_t* connection = xcb_connect(name.c_str(), &screen);
  const int failure = xcb_connection_has_error(connection);
  const int error = errno;
  xcb_disconnect(connection);
  switch (failure) {
    case 0:
      return "the X server answers, but not as GTK needs";
    case XCB_CONN_CLOSED_PARSE_ERR:
      return "not a display name";
    case XCB_CONN_CLOSED_INVALID_SCREEN:
      return "the X server has no such screen";
    default:
      return error != 0 ? std::strerror(error) : "no X server could be reached, or it refused the connection";
  }
}

}  // namespace

std::string DescribeUnusableDisplays() {
  std::string line;
  const std::string wayland = SetVariable("WAYLAND_DISPLAY");
  if (!wayland.empty()) line = "cannot open Wayland display " + wayland + ": " + WaylandReason(wayland);
  const std::string x = SetVariable("DISPLAY");
  if (!x.empty()) line += (line.empty() ? "" : "; ") + ("cannot open display " + x + ": " + XReason(x));
  return line;
}
