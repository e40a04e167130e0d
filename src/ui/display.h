// SPDX-License-Identifier: Apache-2.0
// Whether this process can show windows at all, asked before Qt is started: Qt ends the process
// when its platform plugin cannot connect to a display, and a component must not do that to its
// host.
#pragma once

#include <optional>
#include <string>

namespace tarsin::ui {

// The platform (as Qt's -platform argument) that a new application object can start on: the
// first entry of QT_QPA_PLATFORM whose plugin is installed and whose display or device answers, or
// when it is unset Wayland (WAYLAND_DISPLAY) then X (DISPLAY). Nothing when none will do, with the
// reason. The offscreen and minimal platforms show no window: a dialog on them could never be
// answered, so they count as no display here.
std::optional<std::string> UsablePlatform(std::string& reason);

// An installed platform that starts without a display (offscreen, else minimal), if any.
std::optional<std::string> WindowlessPlatform();

}  // namespace tarsin::ui
