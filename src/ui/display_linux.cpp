// SPDX-License-Identifier: Apache-2.0
// X is asked through libxcb (what Qt's own xcb plugin uses), Wayland by a round trip on its socket,
// the framebuffer platforms by opening their device; vnc needs no device. Any other platform is
// refused: Qt's EGL and Vulkan platforms end the process (or never show a widget) when their
// device is missing, and nothing short of starting them tells.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QDir>
#include <QLibraryInfo>
#include <QString>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ui/display.h"

namespace tarsin::ui {
namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t end; (end = text.find(separator, start)) != std::string::npos; start = end + 1) {
    parts.push_back(text.substr(start, end - start));
  }
  parts.push_back(text.substr(start));
  return parts;
}

// Qt names its platform plugins libq<key>[-variant].so.
bool PluginInstalled(const std::string& key) {
  std::vector<QString> folders{QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/platforms"};
  if (const std::string own = Environment("QT_QPA_PLATFORM_PLUGIN_PATH"); !own.empty()) {
    folders.push_back(QString::fromStdString(own));
  }
  for (const std::string& path : Split(Environment("QT_PLUGIN_PATH"), ':')) {
    if (!path.empty()) folders.push_back(QString::fromStdString(path) + "/platforms");
  }
  const QStringList patterns{QString::fromStdString("libq" + key + "*.so")};
  for (const QString& folder : folders) {
    if (!QDir(folder).entryList(patterns, QDir::Files).isEmpty()) return true;
  }
  return false;
}

bool ShowsNoWindow(const std::string& key) {
  return key == "offscreen" || key == "minimal";
}

bool XServerAnswers(const std::string& display) {
  xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
  const bool answers = xcb_connection_has_error(connection) == 0;
  xcb_disconnect(connection);
  return answers;
}

// The Wayland compositor's globals, asked on its socket: wl_display.get_registry (object 1, opcode
// 1, new registry 2), then wl_display.sync (opcode 0, new callback 3), whose done event (object 3,
// opcode 0) ends the registry's global events (object 2, opcode 0: name, interface, version).
// Nothing when nobody answers within two seconds.
std::optional<std::vector<std::string>> WaylandGlobals(int fd) {
  constexpr uint32_t kRequests[] = {1, (12 << 16) | 1, 2, 1, (12 << 16) | 0, 3};
  if (::send(fd, kRequests, sizeof kRequests, MSG_NOSIGNAL) !=
      static_cast<ssize_t>(sizeof kRequests)) {
    return std::nullopt;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  std::vector<std::string> globals;
  std::vector<uint8_t> events;
  for (;;) {
    // Whole messages: object id, then size (high 16 bits) and opcode (low 16 bits).
    while (events.size() >= 8) {
      uint32_t header[3] = {};
      std::memcpy(header, events.data(), 8);
      const size_t size = header[1] >> 16;
      if (size < 8 || size % 4 != 0) return std::nullopt;
      if (events.size() < size) break;
      const uint32_t object = header[0];
      const uint32_t opcode = header[1] & 0xFFFF;
      if (object == 3 && opcode == 0) return globals;
      if (object == 2 && opcode == 0 && size >= 16) {
        std::memcpy(&header[2], events.data() + 12, 4);  // the interface name's length
        if (header[2] > 0 && 16 + header[2] <= size) {
          globals.emplace_back(reinterpret_cast<const char*>(events.data() + 16), header[2] - 1);
        }
      }
      events.erase(events.begin(), events.begin() + static_cast<std::ptrdiff_t>(size));
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd readable{.fd = fd, .events = POLLIN, .revents = 0};
    if (left.count() <= 0 || ::poll(&readable, 1, static_cast<int>(left.count())) <= 0)
      return std::nullopt;
    uint8_t buffer[512];
    const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
    if (got <= 0) return std::nullopt;
    events.insert(events.end(), buffer, buffer + got);
  }
}

// Empty when the Wayland display answers with what Qt's Wayland platform needs, else why not: that
// platform ends the process when its connection breaks or the compositor lacks a surface or shell.
std::string WaylandObstacle(const std::string& display) {
  const std::string path =
      display.starts_with('/') ? display : Environment("XDG_RUNTIME_DIR") + "/" + display;
  std::string refusal = "the Wayland display \"" + display + "\" does not answer";
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return refusal;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return refusal;
  std::optional<std::vector<std::string>> answer;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
    answer = WaylandGlobals(fd);
  }
  ::close(fd);
  if (!answer) return refusal;
  const std::vector<std::string>& globals = *answer;
  const auto offers = [&](const char* name) {
    return std::find(globals.begin(), globals.end(), name) != globals.end();
  };
  for (const char* needed : {"wl_compositor", "wl_shm"}) {
    if (!offers(needed)) return "the Wayland display \"" + display + "\" offers no " + needed;
  }
  // The shells Qt's Wayland platform can put a window in.
  if (!offers("xdg_wm_base") && !offers("wl_shell") && !offers("ivi_application")) {
    return "the Wayland display \"" + display + "\" offers no shell";
  }
  return "";
}

bool DeviceOpens(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

// linuxfb's device: its "fb=" option, else /dev/fb0.
std::string FramebufferDevice(const std::string& entry) {
  const size_t colon = entry.find(':');
  if (colon != std::string::npos) {
    for (const std::string& option : Split(entry.substr(colon + 1), ':')) {
      if (option.starts_with("fb=")) return option.substr(3);
    }
  }
  return "/dev/fb0";
}

// Empty when the platform `entry` ("name" or "name:options") can start, else why not.
std::string Obstacle(const std::string& entry) {
  const std::string key = entry.substr(0, entry.find(':'));
  if (key.empty()) return "an empty platform name";
  if (ShowsNoWindow(key)) return "the Qt platform \"" + key + "\" shows no window";
  if (!PluginInstalled(key)) return "no Qt platform plugin \"" + key + "\"";
  if (key == "xcb") {
    const std::string display = Environment("DISPLAY");
    if (display.empty()) return "DISPLAY is unset";
    if (!XServerAnswers(display)) return "the X server \"" + display + "\" does not answer";
  } else if (key.starts_with("wayland")) {
    const std::string display = Environment("WAYLAND_DISPLAY");
    if (display.empty()) return "WAYLAND_DISPLAY is unset";
    if (std::string obstacle = WaylandObstacle(display); !obstacle.empty()) return obstacle;
  } else if (key == "linuxfb") {
    const std::string device = FramebufferDevice(entry);
    if (!DeviceOpens(device)) return "the framebuffer \"" + device + "\" cannot be opened";
  } else if (key == "eglfs") {
    if (!DeviceOpens("/dev/dri/card0"))
      return "the graphics device \"/dev/dri/card0\" cannot be opened";
  } else if (key != "vnc") {
    return "the Qt platform \"" + key + "\" cannot be checked for a screen";
  }
  return "";
}

}  // namespace

std::optional<std::string> UsablePlatform(std::string& reason) {
  std::vector<std::string> candidates;
  if (const std::string named = Environment("QT_QPA_PLATFORM"); !named.empty()) {
    candidates = Split(named, ';');
  } else {
    if (!Environment("WAYLAND_DISPLAY").empty()) candidates.emplace_back("wayland");
    if (!Environment("DISPLAY").empty()) candidates.emplace_back("xcb");
  }
  if (candidates.empty()) {
    reason = "no display (DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM are unset)";
    return std::nullopt;
  }
  reason.clear();
  for (const std::string& candidate : candidates) {
    const std::string obstacle = Obstacle(candidate);
    if (obstacle.empty()) return candidate;
    reason += (reason.empty() ? "" : "; ") + obstacle;
  }
  return std::nullopt;
}

std::optional<std::string> WindowlessPlatform() {
  for (const char* key : {"offscreen", "minimal"}) {
    if (PluginInstalled(key)) return key;
  }
  return std::nullopt;
}

}  // namespace tarsin::ui
