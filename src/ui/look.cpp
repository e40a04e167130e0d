// SPDX-License-Identifier: Apache-2.0
#include "ui/look.h"

#include <QColor>
#include <QFile>
#include <QFontDatabase>
#include <QPalette>
#include <QWidget>

namespace tarsin::ui {
namespace {

// Where fonts-wine and other distributions put it.
constexpr const char* kTahomaFiles[] = {
    "/usr/share/wine/fonts/tahoma.ttf",
    "/usr/share/fonts/truetype/wine/tahoma.ttf",
    "/usr/share/fonts/wine/tahoma.ttf",
};

void LoadTahomaOnce() {
  static const bool loaded = [] {
    for (const char* file : kTahomaFiles) {
      if (QFile::exists(file) && QFontDatabase::addApplicationFont(file) >= 0) return true;
    }
    return false;
  }();
  (void)loaded;
}

}  // namespace

QFont Tahoma(double points) {
  LoadTahomaOnce();
  QFont font(QStringLiteral("Tahoma"));
  font.setPointSizeF(points);
  return font;
}

void PaintLightYellow(QWidget& box) {
  const QColor lightYellow(255, 255, 192);
  QPalette palette = box.palette();
  palette.setColor(QPalette::Base, lightYellow);
  palette.setColor(QPalette::Button, lightYellow);
  box.setPalette(palette);
}

}  // namespace tarsin::ui
