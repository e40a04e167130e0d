// SPDX-License-Identifier: Apache-2.0
// What both dialogs look like: the Tahoma font and the light yellow boxes.
#pragma once

#include <QFont>

class QWidget;

namespace tarsin::ui {

// Tahoma at `points`. Debian has it only as Wine's tahoma.ttf, loaded into the application on
// first use; without it fontconfig chooses the nearest font.
QFont Tahoma(double points);

void PaintLightYellow(QWidget& box);

}  // namespace tarsin::ui
